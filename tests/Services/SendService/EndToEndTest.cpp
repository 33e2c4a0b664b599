// The send service and the receiver as the desktop runs them: separate
// processes on a private session bus, with a stand-in notification server
// that records the progress the service shows.
#include "ChildProcess.h"
#include "MachineLink/Outbox.h"
#include "Platform/DistributedNotificationCenter.h"
#include "Platform/FileManager.h"
#include "PrivateSessionBus.h"
#include "SendToMachineContract/SendToMachineContract.h"
#include "SharedCode/QELDesignFile.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"
#include "ServiceVp3.h"
#include "TestFolder.h"
#include <gtest/gtest.h>
#include <sdbus-c++/sdbus-c++.h>
#include <algorithm>
#include <filesystem>
#include <mutex>

using namespace Brodix;
using namespace std::chrono_literals;
using QelTest::FilesUnder;
using QelTest::ServiceVp3;   // what the service should have sent for a file

namespace {

constexpr auto kProcessTimeout = 60s;

std::string Absolute(std::string const& path) { return std::filesystem::absolute(path).string(); }


// org.freedesktop.Notifications, keeping the body of every Notify call.
class NotificationServer {
public:
    NotificationServer()
    {
        m_connection = sdbus::createSessionBusConnection("org.freedesktop.Notifications");
        m_object = sdbus::createObject(*m_connection, "/org/freedesktop/Notifications");
        m_object->registerMethod("Notify")
            .onInterface("org.freedesktop.Notifications")
            .implementedAs([this](std::string const&, uint32_t replaces, std::string const&, std::string const&,
                                  std::string const& body, std::vector<std::string> const&,
                                  std::map<std::string, sdbus::Variant> const&, int32_t) -> uint32_t {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_bodies.push_back(body);
                m_replaced.push_back(replaces);
                return 7;
            });
        m_object->finishRegistration();
        m_connection->enterEventLoopAsync();
    }
    ~NotificationServer() { m_connection->leaveEventLoop(); }

    std::vector<std::string> Bodies()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_bodies;
    }
    std::vector<uint32_t> Replaced()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_replaced;
    }

private:
    std::unique_ptr<sdbus::IConnection> m_connection;
    std::unique_ptr<sdbus::IObject> m_object;
    std::mutex m_mutex;
    std::vector<std::string> m_bodies;
    std::vector<uint32_t> m_replaced;
};

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override { QelTest::SharedSessionBus(); }

    std::unique_ptr<QelTest::ChildProcess> StartReceiver(std::string const& outbox, int count)
    {
        auto receiver = std::make_unique<QelTest::ChildProcess>(
            std::vector<std::string>{QEL_MACHINE_LINK, "--outbox", outbox, "--count", std::to_string(count)},
            m_folder.Path() + "/receiver.out", m_folder.Path() + "/receiver.err");
        EXPECT_TRUE(receiver->WaitForOutput("listening", kProcessTimeout)) << receiver->Errors();
        return receiver;
    }

    QelTest::TestFolder m_folder;
};

TEST_F(EndToEnd, SelectionSendsTheValidFilesInOrderWithOneStepPerAcceptedFile)
{
    NotificationServer server;
    std::string const outbox = m_folder.Path() + "/outbox";
    auto receiver = StartReceiver(outbox, 2);
    std::string const first = Absolute("../shared/corpus/dst/Bean.dst");
    std::string const second = Absolute("../shared/corpus/dst/Crown.DST");
    std::string const text = m_folder.Write("notes.txt", "not a design");
    std::string const corrupt = m_folder.Write("corrupt.dst", "SColourStitch and nothing else");
    std::filesystem::create_directory(m_folder.Path() + "/folder.dst");

    QelTest::ChildProcess service({QEL_SEND_SERVICE, first, m_folder.Path() + "/folder.dst",
                                   "https://example.com/rose.dst", text, corrupt, "file://" + second},
                                  m_folder.Path() + "/service.out", m_folder.Path() + "/service.err");
    EXPECT_EQ(service.Wait(kProcessTimeout), 0) << service.Errors();
    EXPECT_EQ(receiver->Wait(kProcessTimeout), 0) << receiver->Errors();

    EXPECT_EQ(FilesUnder(outbox), (std::vector<std::string>{"Bean.vp3", "Crown.vp3"}));
    EXPECT_EQ(Platform::ReadFileContents(outbox + "/Bean.vp3", 1 << 24), ServiceVp3(first, "dst"));
    EXPECT_EQ(Platform::ReadFileContents(outbox + "/Crown.vp3", 1 << 24), ServiceVp3(second, "dst"));
    std::string const log = receiver->Output();
    EXPECT_LT(log.find("from \"Bean.dst\""), log.find("from \"Crown.DST\"")) << log;

    // Three accepted files, three steps; texts in selection order.
    std::vector<std::string> const bodies = server.Bodies();
    ASSERT_FALSE(bodies.empty());
    EXPECT_EQ(bodies.back(), "Sending Crown.DST (3/3)");
    std::vector<std::string> steps;
    for (std::string const& body : bodies)
        if (steps.empty() || steps.back() != body)
            steps.push_back(body);
    EXPECT_EQ(steps, (std::vector<std::string>{"(0/3)", "Sending Bean.dst (0/3)", "Sending Bean.dst (1/3)",
                                               "Sending corrupt.dst (1/3)", "Sending corrupt.dst (2/3)",
                                               "Sending Crown.DST (2/3)", "Sending Crown.DST (3/3)"}));
    // One notification, updated in place.
    std::vector<uint32_t> const replaced = server.Replaced();
    EXPECT_EQ(replaced.front(), 0u);
    EXPECT_TRUE(std::all_of(replaced.begin() + 1, replaced.end(), [](uint32_t id) { return id == 7; }));
}

TEST_F(EndToEnd, ExpressSendLandsInTheExpressFolder)
{
    std::string const outbox = m_folder.Path() + "/outbox";
    auto receiver = StartReceiver(outbox, 1);
    std::string const path = Absolute("../shared/corpus/pes/Bean.pes");
    std::string const type = "pes";
    auto const data = Platform::ReadFileContents(path, 1 << 24);
    ASSERT_TRUE(data.has_value());
    SendService::QELDesignFile file(Platform::URL::FileURLWithPath(path));
    ASSERT_TRUE(file.isValid());
    file.sendExpressToMachine();
    EXPECT_EQ(receiver->Wait(kProcessTimeout), 0) << receiver->Errors();
    EXPECT_EQ(FilesUnder(outbox), (std::vector<std::string>{"express/Bean.vp3"}));
    EXPECT_EQ(Platform::ReadFileContents(outbox + "/express/Bean.vp3", 1 << 24), ServiceVp3(path, type));
}

TEST_F(EndToEnd, HostileNotificationsWriteNothing)
{
    std::string const outbox = m_folder.Path() + "/outbox";
    auto receiver = StartReceiver(outbox, 3);
    auto const vp3 = ServiceVp3(Absolute("../shared/corpus/dst/Bean.dst"), "dst");
    // A D-Bus array holds at most 64 MiB, so a larger payload is not even
    // posted: it can never reach the receiver.
    constexpr std::size_t kLargestBusArray = std::size_t{1} << 26;
    static_assert(kLargestBusArray == MachineLink::kMaxPayloadBytes);
    Platform::PropertyData oversized(kLargestBusArray + 1, 0);
    std::copy(vp3.begin(), vp3.end(), oversized.begin());
    auto& center = Platform::DistributedNotificationCenter::defaultCenter();
    auto const post = [&](std::string const& name, Platform::PropertyData const& data) {
        return center.postNotification(SendToMachineContract::kNotificationName,
                                       {{SendToMachineContract::kDataToSendKey, data},
                                        {SendToMachineContract::kFilenameKey, name},
                                        {SendToMachineContract::kFileTypeKey, SendToMachineContract::kNormalSend}},
                                       true);
    };
    EXPECT_TRUE(post("../x", vp3));
    EXPECT_FALSE(post("big.pes", oversized));
    {
        // The right name with arguments of another shape.
        auto connection = sdbus::createSessionBusConnection();
        auto object = sdbus::createObject(*connection, Platform::kNotificationObjectPath);
        object->emitSignal(Platform::kNotificationSignal)
            .onInterface(Platform::kNotificationInterface)
            .withArguments(std::string(SendToMachineContract::kNotificationName), int32_t{5});
    }
    EXPECT_TRUE(post("fine.pes", vp3));
    EXPECT_EQ(receiver->Wait(kProcessTimeout), 0) << receiver->Errors();
    EXPECT_EQ(FilesUnder(m_folder.Path() + "/outbox"), (std::vector<std::string>{"fine.vp3"}));
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() + "/x.vp3"));
    std::string const log = receiver->Output();
    EXPECT_NE(log.find("refused \"../x\""), std::string::npos) << log;
    EXPECT_NE(log.find("refused \"\": malformed notification"), std::string::npos) << log;
    EXPECT_EQ(log.find("big.pes"), std::string::npos) << log;
}

TEST_F(EndToEnd, EmptySelectionLogsThatNothingCouldBeSent)
{
    auto const start = std::chrono::steady_clock::now();
    QelTest::ChildProcess service({QEL_SEND_SERVICE}, m_folder.Path() + "/service.out",
                                  m_folder.Path() + "/service.err");
    EXPECT_EQ(service.Wait(kProcessTimeout), 0);
    EXPECT_NE(service.Errors().find("None of the selected items could be Sended.\n"), std::string::npos)
        << service.Errors();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);   // the run loop returns once the request is handled
}

// A copy of the executable beside an information dictionary of the test's
// choosing is a service with that bundle.
TEST_F(EndToEnd, BadServiceDeclarationsExitWithoutRegistering)
{
    std::string const entry = "<dict><key>NSPortName</key><string>QelSendService</string>"
                              "<key>NSMessage</key><string>process</string></dict>";
    std::string const emptyPort = "<dict><key>NSPortName</key><string></string>"
                                  "<key>NSMessage</key><string>process</string></dict>";
    auto const plist = [](std::string const& services) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
               "<key>NSServices</key><array>" + services + "</array></dict></plist>";
    };
    struct Case {
        char const* what;
        std::optional<std::string> infoPlist;
    } const cases[] = {
        {"two entries", plist(entry + entry)},
        {"no entry", plist("")},
        {"empty port name", plist(emptyPort)},
        {"malformed", std::string("<plist><dict><key>NSServices</key><array>")},
        {"missing", std::nullopt},
    };
    std::string const design = Absolute("../shared/corpus/dst/Bean.dst");
    int index = 0;
    for (Case const& c : cases) {
        SCOPED_TRACE(c.what);
        std::string const bundle = m_folder.Path() + "/bundle" + std::to_string(index++);
        std::filesystem::create_directory(bundle);
        std::filesystem::copy_file(QEL_SEND_SERVICE, bundle + "/qel-send-service");
        if (c.infoPlist)
            QelTest::TestFolder::WriteFile(bundle + "/Info.plist", *c.infoPlist);

        std::vector<std::string> received;
        Platform::NotificationListener* self = nullptr;
        std::string error;
        auto listener = Platform::NotificationListener::Create(
            SendToMachineContract::kNotificationName,
            [&](std::optional<Platform::PropertyDictionary> const& userInfo) {
                std::string name;
                if (userInfo)
                    if (auto const found = userInfo->find(SendToMachineContract::kFilenameKey);
                        found != userInfo->end() && found->second.String() != nullptr)
                        name = *found->second.String();
                received.push_back(name);
                if (received.back() == "sentinel")
                    self->Stop();
            },
            &error);
        ASSERT_NE(listener, nullptr) << error;
        self = listener.get();

        QelTest::ChildProcess service({bundle + "/qel-send-service", design}, bundle + "/out", bundle + "/err");
        EXPECT_EQ(service.Wait(kProcessTimeout), 0);
        EXPECT_EQ(service.Errors().find("None of the selected"), std::string::npos);
        // Anything the service posted reaches the bus before this marker.
        Platform::DistributedNotificationCenter::defaultCenter().postNotification(
            SendToMachineContract::kNotificationName, {{SendToMachineContract::kFilenameKey, "sentinel"}}, true);
        listener->Run();
        EXPECT_EQ(received, std::vector<std::string>{"sentinel"});
    }
}

} // namespace
