#include "Platform/Application.h"
#include "Platform/DistributedNotificationCenter.h"
#include "PrivateSessionBus.h"
#include <gtest/gtest.h>
#include <chrono>

using namespace Brodix::Platform;

namespace {

constexpr char kName[] = "QelTestNotification";

TEST(DistributedNotificationCenter, PostedUserInfoArrivesWithItsKinds)
{
    QelTest::SharedSessionBus();
    std::vector<std::optional<PropertyDictionary>> received;
    std::string error;
    NotificationListener* self = nullptr;
    auto listener = NotificationListener::Create(
        kName,
        [&](std::optional<PropertyDictionary> const& userInfo) {
            received.push_back(userInfo);
            if (received.size() == 1)
                self->Stop();
        },
        &error);
    ASSERT_NE(listener, nullptr) << error;
    self = listener.get();

    PropertyData const payload = {0x00, 0x01, 0xff, 0x7f};
    PropertyDictionary const userInfo = {{"Data", payload}, {"Name", "rose.pes"}, {"Kind", 2}, {"Big", std::int64_t{1} << 40}};
    EXPECT_FALSE(DistributedNotificationCenter::defaultCenter().postNotification(
        kName, {{"Nested", PropertyArray{}}}, true));   // a kind that cannot travel is not posted
    EXPECT_TRUE(DistributedNotificationCenter::defaultCenter().postNotification("OtherName", {{"Kind", 1}}, true));
    ASSERT_TRUE(DistributedNotificationCenter::defaultCenter().postNotification(kName, userInfo, true));
    EXPECT_FALSE(listener->Run());

    ASSERT_EQ(received.size(), 1u);   // the other name is not delivered
    ASSERT_TRUE(received[0].has_value());
    PropertyDictionary const& got = *received[0];
    ASSERT_EQ(got.size(), 4u);
    ASSERT_NE(got.at("Data").Data(), nullptr);
    EXPECT_EQ(*got.at("Data").Data(), payload);
    ASSERT_NE(got.at("Name").String(), nullptr);
    EXPECT_EQ(*got.at("Name").String(), "rose.pes");
    EXPECT_EQ(got.at("Kind").Integer(), 2);
    EXPECT_EQ(got.at("Big").Integer(), std::int64_t{1} << 40);
}

TEST(DistributedNotificationCenter, ListenerEndsOnTermination)
{
    QelTest::SharedSessionBus();
    std::string error;
    auto listener = NotificationListener::Create(kName, [](auto const&) {}, &error);
    ASSERT_NE(listener, nullptr) << error;
    auto const start = std::chrono::steady_clock::now();
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    ::raise(SIGTERM);   // stays pending until Run reads it from its signal descriptor
    EXPECT_TRUE(listener->Run());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
}

TEST(DistributedNotificationCenterDeathTest, WithoutSessionBusPostingFailsWithOneDebugLine)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/qel-test-bus", 1);
            bool const posted =
                DistributedNotificationCenter::defaultCenter().postNotification(kName, {{"Kind", 0}}, true);
            std::exit(posted ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "^debug: notification \"QelTestNotification\" not posted: no session bus[^\n]*\n$");
}

TEST(RunLoop, ReturnsAtOnceWithNothingToDeliver)
{
    auto const start = std::chrono::steady_clock::now();
    RunLoop::Current().runUntilDate(5.0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

} // namespace
