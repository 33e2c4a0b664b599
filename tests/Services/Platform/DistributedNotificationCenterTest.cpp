#include "Platform/Application.h"
#include "Platform/DistributedNotificationCenter.h"
#include "Platform/SessionBus.h"
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

// File names come from disks in any encoding; the bus takes UTF-8 only.
TEST(DistributedNotificationCenter, TextThatIsNotUtf8TravelsWithReplacementCharacters)
{
    QelTest::SharedSessionBus();
    struct Case {
        std::string sent;
        std::string received;
    } const cases[] = {
        {"caf\xC3\xA9 \xF0\x9F\xA7\xB5.pes", "caf\xC3\xA9 \xF0\x9F\xA7\xB5.pes"},   // valid UTF-8 as it is
        {"caf\xE9.pes", "caf\xEF\xBF\xBD.pes"},                                 // Latin-1
        {"\xC0\xAF.dst", "\xEF\xBF\xBD\xEF\xBF\xBD.dst"},                       // overlong "/"
        {"\xED\xA0\x80.dst", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD.dst"},       // surrogate
        {"\xEF\xBF\xBE.dst", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD.dst"},       // noncharacter
        {"\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}, // past U+10FFFF
        {"end\xE2\x82", "end\xEF\xBF\xBD\xEF\xBF\xBD"},                         // cut short
    };
    std::vector<std::string> received;
    std::string error;
    NotificationListener* self = nullptr;
    auto listener = NotificationListener::Create(
        kName,
        [&](std::optional<PropertyDictionary> const& userInfo) {
            auto const* name = userInfo ? &userInfo->at("Name") : nullptr;
            std::string const text = name != nullptr && name->String() != nullptr ? *name->String() : "?";
            if (text == "end")
                self->Stop();
            else
                received.push_back(text);
        },
        &error);
    ASSERT_NE(listener, nullptr) << error;
    self = listener.get();
    for (Case const& c : cases) {
        EXPECT_EQ(ValidUtf8(c.sent), c.received);
        EXPECT_TRUE(DistributedNotificationCenter::defaultCenter().postNotification(kName, {{"Name", c.sent}}, true));
    }
    DistributedNotificationCenter::defaultCenter().postNotification(kName, {{"Name", "end"}}, true);
    listener->Run();
    ASSERT_EQ(received.size(), std::size(cases));
    for (std::size_t i = 0; i < received.size(); ++i)
        EXPECT_EQ(received[i], cases[i].received) << i;
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
