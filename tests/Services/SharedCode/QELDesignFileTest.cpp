#include "Fundamentals/SimpleDesign.h"
#include "Platform/DistributedNotificationCenter.h"
#include "Platform/FileManager.h"
#include "PrivateSessionBus.h"
#include "SendToMachineContract/SendToMachineContract.h"
#include "SharedCode/ImportStitchFormats.h"
#include "SharedCode/QELDesignFile.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"
#include "StitchFormats/Vp3/VP3Status.h"
#include "StitchFormats/Vp3/Vp3TestBytes.h"
#include "StitchFormats/Vp3/Vp3TestReading.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <zlib.h>

using namespace Brodix;
using namespace Brodix::SendService;
using namespace Brodix::SendToMachineContract;

namespace {

std::vector<unsigned char> ReadSample(std::string const& path)
{
    auto contents = Platform::ReadFileContents(path, kMaxDesignFileBytes);
    if (!contents)
        throw std::runtime_error("missing sample " + path);
    return *contents;
}

std::vector<unsigned char> WriteVp3(Vp3Lib::CDesignHolder const& holder)
{
    Vp3Lib::CVP3ReadWrite writer;
    void* buffer = nullptr;
    unsigned long size = 0;
    EXPECT_EQ(writer.WriteToMemory(holder, buffer, size, CommonTypes::PointI{0, 0}, true), 0u);
    std::vector<unsigned char> bytes(static_cast<unsigned char*>(buffer), static_cast<unsigned char*>(buffer) + size);
    std::free(buffer);
    return bytes;
}

std::shared_ptr<IDesign> Load(std::string const& path, std::string const& type)
{
    auto const data = ReadSample(path);
    QELDesignFile file(&data, &type);
    EXPECT_TRUE(file.isValid()) << path;
    return file.innerDesign();
}

TEST(QELDesignFile, TypeStringsPickTheFormat)
{
    auto const toyota = ReadSample("../shared/corpus/10o/Cake_3.10o");
    auto const pes = ReadSample("../shared/corpus/pes/Bean.pes");
    auto const dst = ReadSample("../shared/corpus/dst/Bean.dst");
    std::string const marked = "SColourStitch";   // data of another program, which the DST reader refuses
    std::vector<unsigned char> const corrupt(marked.begin(), marked.end());
    struct Case {
        std::vector<unsigned char> const* data;
        char const* type;
        bool valid;
    } const cases[] = {
        {&toyota, "com.brodix.toy", true},
        {&toyota, "10o", true},
        {&pes, "com.brodix.pes", true},
        {&pes, "pes", true},
        {&pes, "PES", false},              // upper-case extensions are not table entries
        {&pes, "com.brodix.PES", false},
        {&dst, "public.data", false},
        {&dst, "com.brodix.vp3", false},   // the VP3 reader rejects DST bytes
        {&corrupt, "com.brodix.dst", false},
        {nullptr, "com.brodix.dst", false},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.type);
        std::string const type = c.type;
        QELDesignFile file(c.data, &type);
        EXPECT_EQ(file.isValid(), c.valid);
        EXPECT_EQ(file.innerDesign() != nullptr, c.valid);
        if (c.valid) {
            EXPECT_GT(file.innerDesign()->GetStitchCount(), 0u);
        }
    }
    QELDesignFile noType(&dst, nullptr);
    EXPECT_FALSE(noType.isValid());
}

// Every record and every colour's RGB, to compare two designs whole.
std::pair<std::vector<CAbsStitch>, std::vector<uint32_t>> Contents(IDesign const& design)
{
    std::pair<std::vector<CAbsStitch>, std::vector<uint32_t>> contents;
    auto const reader = HoldIterator(design.GetStitchReader());
    for (reader->First(); !reader->IsDone(); reader->Next())
        contents.first.push_back(reader->GetCurrentItem());
    for (unsigned long i = 0; i < design.GetColourCount(); ++i)
        contents.second.push_back(design.GetColour(i).colours[0]);
    return contents;
}

// Both the identifier, which ends in "toy", and the extension "10o" load the
// file as a Toyota 10o file, whatever other reader would make of its bytes.
TEST(QELDesignFile, TheToyotaIdentifierAndExtensionLoadTheFileAs10o)
{
    auto const data = ReadSample("../shared/corpus/10o/Cake_3.10o");
    CSimpleDesign as10o;
    ASSERT_TRUE(ImportStitchFormats().loadFormats(data, StitchFormats::Format10o, &as10o));
    CSimpleDesign asExp;   // another reader makes something else of the same bytes
    bool const readAsExp = ImportStitchFormats().loadFormats(data, StitchFormats::FormatEXP, &asExp);
    ASSERT_TRUE(readAsExp);
    ASSERT_NE(Contents(as10o), Contents(asExp));

    for (char const* type : {"com.brodix.toy", "10o"}) {
        SCOPED_TRACE(type);
        auto const design = Load("../shared/corpus/10o/Cake_3.10o", type);
        ASSERT_TRUE(design);
        EXPECT_EQ(Contents(*design), Contents(as10o));
    }
}

TEST(QELDesignFile, FailedLoadKeepsThePreviousDesign)
{
    auto const data = ReadSample("../shared/corpus/dst/Bean.dst");
    std::string const type = "com.brodix.dst";
    QELDesignFile file(&data, &type);
    ASSERT_TRUE(file.isValid());
    auto const before = file.innerDesign();
    std::string const unknown = "public.data";
    EXPECT_FALSE(file.loadData(&data, &unknown));
    EXPECT_EQ(file.innerDesign(), before);
}

TEST(QELDesignFile, VP3WithSeveralDesignsMergesThemInOrder)
{
    auto const first = Load("../shared/corpus/dst/Crown.DST", "dst");
    auto const second = Load("../shared/corpus/pes/Bean.pes", "pes");
    ASSERT_TRUE(first && second);
    std::vector<std::shared_ptr<IDesign>> designs = {first, second};
    auto const vp3 = WriteVp3(Vp3Lib::CDesignHolder(&designs, true));

    // What the VP3 reader gives back for each design, to compare the merge with.
    Vp3Lib::CVP3ReadWrite reader;
    std::vector<std::shared_ptr<IDesign>> readBack;
    ASSERT_EQ(reader.ReadFromMemory(Vp3Lib::CDesignHolder(&readBack), vp3.data(), vp3.size(),
                                    CommonTypes::PointI{0, 0}, true),
              0u);
    ASSERT_EQ(readBack.size(), 2u);

    std::string const type = "com.brodix.vp3";
    QELDesignFile file(&vp3, &type);
    ASSERT_TRUE(file.isValid());
    auto const merged = file.innerDesign();
    ASSERT_EQ(merged->GetColourCount(), readBack[0]->GetColourCount() + readBack[1]->GetColourCount());
    for (unsigned long i = 0; i < merged->GetColourCount(); ++i) {
        bool const fromFirst = i < readBack[0]->GetColourCount();
        ColourData const expected =
            fromFirst ? readBack[0]->GetColour(i) : readBack[1]->GetColour(i - readBack[0]->GetColourCount());
        EXPECT_EQ(merged->GetColour(i).colours[0], expected.colours[0]) << "colour " << i;
    }
    EXPECT_GT(merged->GetStitchCount(), std::max(readBack[0]->GetStitchCount(), readBack[1]->GetStitchCount()));
}

// Reads that skip a block still deliver the other designs; reads that end
// early deliver nothing usable.
TEST(QELDesignFile, VP3ReadsThatSkipABlockStillLoad)
{
    Vp3Test::ReadOutcomeFiles const files = Vp3Test::MakeReadOutcomeFiles();
    struct Case {
        char const* what;
        Vp3Test::Bytes file;
        unsigned int status;
        bool valid;
    } const cases[] = {
        {"good", files.good, Vp3Lib::kStatusOK, true},
        {"unknown class at the root", files.unknownClass, Vp3Lib::kStatusUnexpectedClass, true},
        {"unreadable stitch block", files.unreadableBlock, Vp3Lib::kStatusUnreadable, true},
        {"empty root", files.emptyRoot, Vp3Lib::kStatusNoDesign, false},
    };
    std::string const type = VP3TypeIdentifier();
    for (Case const& c : cases) {
        SCOPED_TRACE(c.what);
        Vp3Lib::CVP3ReadWrite reader;
        std::vector<std::shared_ptr<IDesign>> designs;
        ASSERT_EQ(reader.ReadFromMemory(Vp3Lib::CDesignHolder(&designs), c.file.data(), c.file.size(),
                                        CommonTypes::PointI{0, 0}, true),
                  c.status);
        QELDesignFile file(&c.file, &type);
        EXPECT_EQ(file.isValid(), c.valid);
        if (c.valid) {
            EXPECT_GT(file.innerDesign()->GetStitchCount(), 0u);
        }
    }
}

TEST(QELDesignFile, URLsOfMissingOrUnknownFilesAreNotValid)
{
    for (char const* text : {"file:///nonexistent/rose.pes", "https://example.com/rose.pes"}) {
        auto const url = Platform::URL::URLWithString(text);
        ASSERT_TRUE(url.has_value());
        QELDesignFile file(*url);
        EXPECT_FALSE(file.isValid()) << text;
        EXPECT_EQ(file.innerDesign(), nullptr);
    }
}

TEST(CustomAdapters, TextAndZlib)
{
    CustomCharEncoding encoding;
    EXPECT_EQ(encoding.ConvertToChars(L"caf\u00e9 \u20ac \u4e2d"), "caf\xe9 \x80 ?");
    EXPECT_EQ(encoding.ConvertToWChars("caf\xe9 \x80"), L"caf\u00e9 \u20ac");

    std::string const text(1000, 'x');
    uLongf compressedSize = compressBound(text.size());
    std::vector<char> compressed(compressedSize);
    ASSERT_EQ(compress(reinterpret_cast<Bytef*>(compressed.data()), &compressedSize,
                       reinterpret_cast<Bytef const*>(text.data()), text.size()),
              Z_OK);
    CustomZLib zlib;
    std::vector<char> out(2000);
    std::size_t outSize = out.size();
    ASSERT_TRUE(zlib.Uncompress(out.data(), outSize, compressed.data(), static_cast<unsigned>(compressedSize)));
    EXPECT_EQ(std::string(out.data(), outSize), text);
    std::size_t tooSmall = 10;
    EXPECT_FALSE(zlib.Uncompress(out.data(), tooSmall, compressed.data(), static_cast<unsigned>(compressedSize)));
    std::size_t garbageSize = out.size();
    EXPECT_FALSE(zlib.Uncompress(out.data(), garbageSize, "garbage", 7));
}

// Runs send and gives the user info of the first count notifications it posts.
std::vector<Platform::PropertyDictionary> ReceivedFrom(std::function<void()> const& send, std::size_t count)
{
    QelTest::SharedSessionBus();
    std::vector<Platform::PropertyDictionary> received;
    Platform::NotificationListener* self = nullptr;
    std::string error;
    auto listener = Platform::NotificationListener::Create(
        kNotificationName,
        [&](std::optional<Platform::PropertyDictionary> const& userInfo) {
            EXPECT_TRUE(userInfo.has_value());
            if (userInfo)
                received.push_back(*userInfo);
            if (received.size() == count)
                self->Stop();
        },
        &error);
    EXPECT_NE(listener, nullptr) << error;
    if (listener == nullptr)
        return {};
    self = listener.get();
    send();
    listener->Run();
    return received;
}

TEST(QELDesignFile, SendPostsTheVP3ImageWithNameAndKind)
{
    std::string const path = std::filesystem::absolute("../shared/corpus/pes/Bean.pes").string();
    QELDesignFile file(Platform::URL::FileURLWithPath(path));
    ASSERT_TRUE(file.isValid());
    auto const received = ReceivedFrom(
        [&] {
            file.sendToMachine();
            file.sendExpressToMachine();
        },
        2);

    auto const expected = WriteVp3(Vp3Lib::CDesignHolder(*file.innerDesign()));
    ASSERT_EQ(received.size(), 2u);
    for (std::size_t i = 0; i < received.size(); ++i) {
        Platform::PropertyDictionary const& info = received[i];
        EXPECT_EQ(info.size(), 3u);
        ASSERT_NE(info.at(kDataToSendKey).Data(), nullptr);
        EXPECT_EQ(*info.at(kDataToSendKey).Data(), expected);
        ASSERT_NE(info.at(kFilenameKey).String(), nullptr);
        EXPECT_EQ(*info.at(kFilenameKey).String(), "Bean.pes");
        EXPECT_EQ(info.at(kFileTypeKey).Integer(), i == 0 ? kNormalSend : kExpressSend);
    }
}

// A VP3 file of lettering goes to the machine with its letters where the
// file's characters put them.
TEST(QELDesignFile, SendsTheLetteringOfAVP3File)
{
    Vp3Test::Bytes const vp3 = Vp3Test::File({Vp3Test::LetteringText()});
    std::string const type = VP3TypeIdentifier();
    QELDesignFile file(&vp3, &type);
    ASSERT_TRUE(file.isValid());
    auto const received = ReceivedFrom([&] { file.sendToMachine(); }, 1);

    ASSERT_EQ(received.size(), 1u);
    std::vector<unsigned char> const* sent = received[0].at(kDataToSendKey).Data();
    ASSERT_NE(sent, nullptr);
    CSimpleDesign design;
    ASSERT_EQ(Vp3Test::ReadOne(*sent, design), Vp3Lib::kStatusOK);
    EXPECT_EQ(Vp3Test::Points(design), Vp3Test::kLetteringPoints);
    EXPECT_EQ(design.GetColourCount(), 4u);
}

} // namespace
