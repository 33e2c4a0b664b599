// The send service and the receiver as the desktop runs them: separate
// processes on a private session bus, with a stand-in notification server
// that records the progress the service shows.
#include "ChildProcess.h"
#include "DesignFiles/DesignFiles.h"
#include "Fundamentals/SimpleDesign.h"
#include "MachineLink/Outbox.h"
#include "Platform/BusSignals.h"
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
constexpr int kUntilStopped = 1000;

std::string Absolute(std::string const& path) { return std::filesystem::absolute(path).string(); }

// Posts a normal send of data under name, as any sender could.
bool PostDesign(std::string const& name, Platform::PropertyData const& data)
{
    return Platform::DistributedNotificationCenter::defaultCenter().postNotification(
        SendToMachineContract::kNotificationName,
        {{SendToMachineContract::kDataToSendKey, data},
         {SendToMachineContract::kFilenameKey, name},
         {SendToMachineContract::kFileTypeKey, SendToMachineContract::kNormalSend}},
        true);
}


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
            outbox + ".receiver.out", outbox + ".receiver.err");
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
    // Four of the six selected items are no design that can be sent.
    EXPECT_EQ(service.Wait(kProcessTimeout), 1) << service.Errors();
    EXPECT_EQ(receiver->Wait(kProcessTimeout), 0) << receiver->Errors();

    EXPECT_EQ(FilesUnder(outbox), (std::vector<std::string>{"Bean.vp3", "Crown.vp3"}));
    EXPECT_EQ(Platform::ReadFileContents(outbox + "/Bean.vp3", 1 << 24), ServiceVp3(first, "dst"));
    EXPECT_EQ(Platform::ReadFileContents(outbox + "/Crown.vp3", 1 << 24), ServiceVp3(second, "dst"));
    std::string const log = receiver->Output();
    EXPECT_LT(log.find("from \"Bean.dst\""), log.find("from \"Crown.DST\"")) << log;

    // Three accepted files, three steps; texts in selection order.
    std::vector<std::string> const bodies = server.Bodies();
    ASSERT_FALSE(bodies.empty());
    std::string const summary = "Sent 2 of 6 designs to the machine. Not sent: folder.dst (a folder), "
                                "https://example.com/rose.dst (not a local file), notes.txt (not a design file), "
                                "corrupt.dst (not a design that can be read)";
    EXPECT_EQ(bodies.back(), summary);
    EXPECT_NE(service.Errors().find(summary + "\n"), std::string::npos) << service.Errors();
    std::vector<std::string> steps;
    for (std::string const& body : std::vector<std::string>(bodies.begin(), bodies.end() - 1))
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

// What the user is told, and the exit status, when not everything arrives.
TEST_F(EndToEnd, SummaryAndExitStatusSayWhatWasDelivered)
{
    std::string const bean = Absolute("../shared/corpus/dst/Bean.dst");
    // Root reads any file whatever its mode; one too large to read is refused by everyone.
    std::string const unreadable = m_folder.Write("huge.dst", "");
    std::filesystem::resize_file(unreadable, SendService::kMaxDesignFileBytes + 1);
    std::string const empty = m_folder.Write("empty.dst", "x");
    std::string const dotted = m_folder.Path() + "/.x.dst";
    std::filesystem::copy_file(bean, dotted);
    // One move of 32768 units between two stitches: one more than a VP3 step holds.
    CSimpleDesign longMove;
    longMove.AddColourStitch(ColourData::Default(), {0, 0}, false);
    longMove.AddStitch(CAbsStitch{{10, 0}, 0, CAbsStitch::Normal, false, true});
    longMove.AddStitch(CAbsStitch{{10 + 32768, 0}, 0, CAbsStitch::Normal, false, true});
    auto const saved = DesignFiles::SaveDesign(longMove, DesignFiles::FileFormat::DST, {});
    ASSERT_TRUE(saved.Saved());
    std::string const tooLarge = m_folder.Write("long.dst", std::string(saved.bytes.begin(), saved.bytes.end()));
    struct Case {
        char const* what;
        bool receiver;
        bool readOnlyOutbox;
        std::vector<std::string> files;
        int exitStatus;
        std::string summary;
        std::vector<std::string> written;
    } const cases[] = {
        {"no receiver", false, false, {bean}, 1, "No machine link is running: nothing was delivered", {}},
        {"all delivered", true, false, {bean}, 0, "Sent 1 of 1 design to the machine.", {"Bean.vp3"}},
        {"missing file", true, false, {bean, m_folder.Path() + "/nosuch.dst"}, 1,
         "Sent 1 of 2 designs to the machine. Not sent: nosuch.dst (not found)", {"Bean.vp3"}},
        {"only a missing file", true, false, {m_folder.Path() + "/nosuch.dst"}, 1,
         "Sent 0 of 1 design to the machine. Not sent: nosuch.dst (not found)", {}},
        {"unreadable file", true, false, {unreadable, bean}, 1,
         "Sent 1 of 2 designs to the machine. Not sent: huge.dst (cannot be read)", {"Bean.vp3"}},
        {"nothing to sew", true, false, {empty}, 1,
         "Sent 0 of 1 design to the machine. Not sent: empty.dst (no stitches)", {}},
        {"too large for VP3", true, false, {tooLarge, bean}, 1,
         "Sent 1 of 2 designs to the machine. Not sent: long.dst (too large for VP3)", {"Bean.vp3"}},
        {"refused name", true, false, {dotted, bean}, 1,
         "Sent 1 of 2 designs to the machine. Not sent: .x.dst (refused: file name starts with \".\")",
         {"Bean.vp3"}},
        {"read-only outbox", true, true, {bean}, 1,
         "Sent 0 of 1 design to the machine. Not sent: Bean.dst (refused: the outbox is read-only)", {}},
    };
    int index = 0;
    for (Case const& c : cases) {
        SCOPED_TRACE(c.what);
        std::string const outbox = m_folder.Path() + "/outbox" + std::to_string(index++);
        std::unique_ptr<QelTest::ChildProcess> receiver;
        if (c.receiver) {
            receiver = StartReceiver(outbox, kUntilStopped);
            if (c.readOnlyOutbox)
                std::filesystem::permissions(outbox, std::filesystem::perms::owner_read |
                                                         std::filesystem::perms::owner_exec);
        }
        std::vector<std::string> arguments{QEL_SEND_SERVICE};
        arguments.insert(arguments.end(), c.files.begin(), c.files.end());
        QelTest::ChildProcess service(arguments, outbox + ".out", outbox + ".err");
        EXPECT_EQ(service.Wait(kProcessTimeout), c.exitStatus) << service.Errors();
        std::string const errors = service.Errors();
        EXPECT_NE(errors.find(c.summary + "\n"), std::string::npos) << errors;
        if (receiver) {
            receiver->Signal(SIGTERM);
            receiver->Wait(kProcessTimeout);
            std::filesystem::permissions(outbox, std::filesystem::perms::owner_all);
            EXPECT_EQ(FilesUnder(outbox), c.written);
        }
    }
}

// The receiver's own word on each design, for any sender that listens.
TEST_F(EndToEnd, ReceiverEmitsAnOutcomeForEveryNotification)
{
    std::string const outbox = m_folder.Path() + "/outbox";
    auto receiver = StartReceiver(outbox, 2);
    std::string error;
    auto collector = Platform::BusSignalCollector::Create(SendToMachineContract::kMachineLinkObjectPath,
                                                          SendToMachineContract::kMachineLinkInterface, &error);
    ASSERT_NE(collector, nullptr) << error;
    auto const vp3 = ServiceVp3(Absolute("../shared/corpus/dst/Bean.dst"), "dst");
    ASSERT_TRUE(PostDesign("Bean.dst", vp3));
    ASSERT_TRUE(PostDesign("junk.dst", Platform::PropertyData{1, 2, 3}));
    auto const signals = collector->WaitUntil([](auto const& got) { return got.size() >= 2; }, kProcessTimeout);
    EXPECT_EQ(receiver->Wait(kProcessTimeout), 0) << receiver->Errors();
    ASSERT_EQ(signals.size(), 2u);
    EXPECT_EQ(signals[0].member, SendToMachineContract::kDeliveredSignal);
    EXPECT_EQ(signals[0].first, "Bean.dst");
    EXPECT_EQ(signals[0].second, outbox + "/Bean.vp3");
    EXPECT_EQ(signals[1].member, SendToMachineContract::kRefusedSignal);
    EXPECT_EQ(signals[1].first, "junk.dst");
    EXPECT_EQ(signals[1].second, MachineLink::kNotVp3Reason);
}

// An outbox on a stick that is pulled out: refused, and never recreated on
// the local disk.
TEST_F(EndToEnd, RemovedOutboxRefusesAndIsNotRecreated)
{
    std::filesystem::create_directory(m_folder.Path() + "/stick");
    std::string const outbox = m_folder.Path() + "/stick/outbox";
    auto receiver = StartReceiver(outbox, 2);
    std::string const bean = Absolute("../shared/corpus/dst/Bean.dst");
    std::string const summary = "Sent 0 of 1 design to the machine. Not sent: Bean.dst (refused: the outbox is "
                                "missing (is the stick mounted?))";
    std::filesystem::remove(outbox);
    {
        QelTest::ChildProcess service({QEL_SEND_SERVICE, bean}, m_folder.Path() + "/one.out",
                                      m_folder.Path() + "/one.err");
        EXPECT_EQ(service.Wait(kProcessTimeout), 1);
        EXPECT_NE(service.Errors().find(summary), std::string::npos) << service.Errors();
        EXPECT_FALSE(std::filesystem::exists(outbox));
    }
    std::filesystem::remove_all(m_folder.Path() + "/stick");
    {
        QelTest::ChildProcess service({QEL_SEND_SERVICE, bean}, m_folder.Path() + "/two.out",
                                      m_folder.Path() + "/two.err");
        EXPECT_EQ(service.Wait(kProcessTimeout), 1);
        EXPECT_NE(service.Errors().find(summary), std::string::npos) << service.Errors();
    }
    EXPECT_EQ(receiver->Wait(kProcessTimeout), 0) << receiver->Errors();
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() + "/stick"));
}

// At start-up the receiver wants a writable outbox whose parent exists, and
// touches nothing when another receiver serves the session.
TEST_F(EndToEnd, ReceiverStartsOnlyWithAUsableOutbox)
{
    std::string const readOnly = m_folder.Path() + "/readonly";
    std::filesystem::create_directory(readOnly);
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    std::string const file = m_folder.Write("file", "");
    struct Case {
        char const* what;
        std::string outbox;
        char const* message;
    } const cases[] = {
        {"missing parent", m_folder.Path() + "/nostick/outbox", "the outbox is missing"},
        {"parent is a file", file + "/outbox", "the outbox is missing"},
        {"read-only", readOnly, "the outbox is read-only"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.what);
        QelTest::ChildProcess receiver({QEL_MACHINE_LINK, "--outbox", c.outbox}, m_folder.Path() + "/r.out",
                                       m_folder.Path() + "/r.err");
        EXPECT_EQ(receiver.Wait(kProcessTimeout), 1);
        EXPECT_NE(receiver.Errors().find(c.message), std::string::npos) << receiver.Errors();
    }
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() + "/nostick"));
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_all);

    auto first = StartReceiver(m_folder.Path() + "/first", 1);
    QelTest::ChildProcess second({QEL_MACHINE_LINK, "--outbox", m_folder.Path() + "/second"},
                                 m_folder.Path() + "/s.out", m_folder.Path() + "/s.err");
    EXPECT_EQ(second.Wait(kProcessTimeout), 1);
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() + "/second"));
}

// Both programs answer --help and --version, and a bad option says what was wrong.
TEST_F(EndToEnd, ProgramsExplainThemselves)
{
    struct Case {
        std::vector<std::string> arguments;
        int exitStatus;
        char const* output;   // on standard output, or on standard error when the status is not 0
    } const cases[] = {
        {{QEL_SEND_SERVICE, "--help"}, 0, "Usage: qel-send-service FILE..."},
        {{QEL_SEND_SERVICE, "--version"}, 0, "qel-send-service "},
        {{QEL_MACHINE_LINK, "--help"}, 0, "Usage: qel-machine-link"},
        {{QEL_MACHINE_LINK, "--version"}, 0, "qel-machine-link "},
        {{QEL_MACHINE_LINK, "--count", "many"}, 2, "--count takes a whole number above 0, not: \"many\""},
        {{QEL_MACHINE_LINK, "--outbox"}, 2, "--outbox needs a folder"},
        {{QEL_MACHINE_LINK, "--frob"}, 2, "unknown option: \"--frob\""},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.arguments.back());
        QelTest::ChildProcess program(c.arguments, m_folder.Path() + "/p.out", m_folder.Path() + "/p.err");
        EXPECT_EQ(program.Wait(kProcessTimeout), c.exitStatus);
        std::string const text = c.exitStatus == 0 ? program.Output() : program.Errors();
        EXPECT_NE(text.find(c.output), std::string::npos) << text;
    }
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
    EXPECT_TRUE(PostDesign("../x", vp3));
    EXPECT_FALSE(PostDesign("big.pes", oversized));
    {
        // The right name with arguments of another shape.
        auto connection = sdbus::createSessionBusConnection();
        auto object = sdbus::createObject(*connection, Platform::kNotificationObjectPath);
        object->emitSignal(Platform::kNotificationSignal)
            .onInterface(Platform::kNotificationInterface)
            .withArguments(std::string(SendToMachineContract::kNotificationName), int32_t{5});
    }
    EXPECT_TRUE(PostDesign("fine.pes", vp3));
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
