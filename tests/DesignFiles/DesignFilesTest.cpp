// The front door: which format a type identifier or extension names, the one
// load, which gives a design (VP3 reads that skip blocks included) or a
// failure with its status, name and meaning, and the one save, which gives the
// bytes of a file or such a failure.
#include "DesignFiles/DesignFiles.h"
#include "Fundamentals/MemoryStream.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Vp3/Vp3TestBytes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace Brodix::DesignFiles;
namespace SF = Brodix::StitchFormats;
using Bytes = std::vector<unsigned char>;

Bytes ReadSample(char const* path)
{
    std::ifstream file(path, std::ios::binary);
    Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.empty())
        ADD_FAILURE() << "missing sample " << path;
    return bytes;
}

Bytes Text(std::string const& text)
{
    return Bytes(text.begin(), text.end());
}

TEST(DesignFiles, EveryFormatHasItsNameExtensionAndIdentifier)
{
    struct Case {
        FileFormat format;
        char const* name;
        char const* extension;
        char const* identifier;
        std::optional<SF::Format> engine;
    } const cases[] = {
        {FileFormat::VIP, "VIP", "vip", "com.brodix.vip", SF::FormatVIP},
        {FileFormat::TVK, "TVK", "tvk", "com.brodix.tvk", SF::FormatTVK},
        {FileFormat::DST, "DST", "dst", "com.brodix.dst", SF::FormatDST},
        {FileFormat::Toyota10o, "10o", "10o", "com.brodix.toy", SF::Format10o},
        {FileFormat::PCS, "PCS", "pcs", "com.brodix.pcs", SF::FormatPCS},
        {FileFormat::EXP, "EXP", "exp", "com.brodix.exp", SF::FormatEXP},
        {FileFormat::PES, "PES", "pes", "com.brodix.pes", SF::FormatPES},
        {FileFormat::PEC, "PEC", "pec", "com.brodix.pec", SF::FormatPEC},
        {FileFormat::SEW, "SEW", "sew", "com.brodix.sew", SF::FormatSEW},
        {FileFormat::JEF, "JEF", "jef", "com.brodix.jef", SF::FormatJEF},
        {FileFormat::XXX, "XXX", "xxx", "com.brodix.xxx", SF::FormatXXX},
        {FileFormat::SHV, "SHV", "shv", "com.brodix.shv", SF::FormatSHV},
        {FileFormat::DHV, "DHV", "dhv", "com.brodix.dhv", SF::FormatDHV},
        {FileFormat::ART, "ART", "art", "com.brodix.art", SF::FormatART},
        {FileFormat::VP3, "VP3", "vp3", "com.brodix.vp3", std::nullopt},
    };
    std::set<FileFormat> listed;
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_STREQ(DisplayName(c.format), c.name);
        EXPECT_STREQ(Extension(c.format), c.extension);
        EXPECT_EQ(TypeIdentifier(c.format), c.identifier);
        EXPECT_EQ(EngineFormat(c.format), c.engine);
        if (c.engine) {
            EXPECT_EQ(FileFormatOf(*c.engine), c.format);
        }
        listed.insert(c.format);
    }
    std::set<FileFormat> const all(AllFileFormats().begin(), AllFileFormats().end());
    EXPECT_EQ(all, listed);
    EXPECT_EQ(AllFileFormats().size(), std::size(cases));
    EXPECT_EQ(AllFileFormats().back(), FileFormat::VP3);
    // The engine keeps its own numbers: the one after its last is not a format.
    EXPECT_EQ(FileFormatOf(static_cast<SF::Format>(SF::kFormatCount)), std::nullopt);
}

TEST(DesignFiles, TypesMatchExactlyAndExtensionsIgnoreCase)
{
    struct Case {
        char const* text;
        std::optional<FileFormat> asType;
        std::optional<FileFormat> asExtension;
    } const cases[] = {
        {"com.brodix.dst", FileFormat::DST, std::nullopt},
        {"dst", FileFormat::DST, FileFormat::DST},
        {"DST", std::nullopt, FileFormat::DST},
        {".Dst", std::nullopt, FileFormat::DST},
        {"com.brodix.toy", FileFormat::Toyota10o, std::nullopt},
        {"10o", FileFormat::Toyota10o, FileFormat::Toyota10o},
        {"10O", std::nullopt, FileFormat::Toyota10o},
        {"toy", std::nullopt, std::nullopt},
        {"com.brodix.10o", std::nullopt, std::nullopt},
        {"com.brodix.vp3", FileFormat::VP3, std::nullopt},
        {"vp3", FileFormat::VP3, FileFormat::VP3},
        {"VP3", std::nullopt, FileFormat::VP3},
        {".vP3", std::nullopt, FileFormat::VP3},
        {"com.brodix.VP3", std::nullopt, std::nullopt},
        {"com.brodix.pes", FileFormat::PES, std::nullopt},
        {"PES", std::nullopt, FileFormat::PES},
        {"vp", std::nullopt, std::nullopt},
        {"vp3x", std::nullopt, std::nullopt},
        {"public.data", std::nullopt, std::nullopt},
        {".", std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FileFormatFromType(c.text), c.asType);
        EXPECT_EQ(FileFormatFromExtension(c.text), c.asExtension);
    }
}

TEST(DesignFiles, ACorpusDstLoadsAsTheEngineLoadsIt)
{
    Bytes const bytes = ReadSample("../shared/corpus/dst/Bean.dst");
    LoadResult const loaded = LoadDesign(bytes, FileFormat::DST);
    ASSERT_TRUE(loaded.Loaded()) << loaded.meaning;
    EXPECT_EQ(loaded.status, 0);
    EXPECT_STREQ(loaded.statusName, "OK");
    EXPECT_FALSE(loaded.skippedBlocks);
    // The one thing a DST header tells beyond the design is its label.
    EXPECT_EQ(loaded.details, (std::vector<std::pair<std::string, std::string>>{{"label", "Untitled"}}));

    Brodix::Archivers::MemoryStreamRW<Brodix::IArchiverStream> stream(bytes);
    Brodix::CSimpleDesign direct;
    ASSERT_EQ(SF::Load(direct, stream, 0, SF::FormatDST, nullptr, nullptr, nullptr, nullptr), 0);
    ASSERT_GT(direct.GetStitchCount(), 0u);
    EXPECT_EQ(loaded.design->GetStitchCount(), direct.GetStitchCount());
    ASSERT_EQ(loaded.design->GetColourCount(), direct.GetColourCount());
    for (unsigned long i = 0; i < direct.GetColourCount(); ++i)
        EXPECT_EQ(loaded.design->GetColour(i), direct.GetColour(i)) << "colour " << i;
}

TEST(DesignFiles, APesLoadTellsItsHeader)
{
    LoadResult const loaded = LoadDesign(ReadSample("../shared/corpus/pes/Star.pes"), FileFormat::PES);
    ASSERT_TRUE(loaded.Loaded()) << loaded.meaning;
    ASSERT_EQ(loaded.details.size(), 4u);
    EXPECT_EQ(loaded.details[0], (std::pair<std::string, std::string>{"PES version", "70"}));
    EXPECT_EQ(loaded.details[1].first, "hoop");
    EXPECT_EQ(loaded.details[2].first, "hoop positions");
    // Its PES section lists one thread per colour.
    EXPECT_EQ(loaded.details[3],
              (std::pair<std::string, std::string>{"colour source", "the designer's threads of the PES section"}));
}

// Reads that skip a block still give the designs of the other blocks, and say
// so; a read that ends early gives nothing.
TEST(DesignFiles, Vp3ReadsThatSkipBlocksStillGiveTheDesign)
{
    Vp3Test::ReadOutcomeFiles const files = Vp3Test::MakeReadOutcomeFiles();
    struct Case {
        char const* what;
        Bytes file;
        int status;
        char const* name;
        bool loaded;
    } const cases[] = {
        {"good", files.good, 0, "OK", true},
        {"unknown class at the root", files.unknownClass, 2, "UnexpectedClass", true},
        {"unreadable stitch block", files.unreadableBlock, 3, "Unreadable", true},
        {"empty root", files.emptyRoot, 4, "NoDesign", false},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.what);
        LoadResult const result = LoadDesign(c.file, FileFormat::VP3);
        EXPECT_EQ(result.status, c.status);
        EXPECT_STREQ(result.statusName, c.name);
        ASSERT_EQ(result.Loaded(), c.loaded);
        bool const skipped = c.loaded && c.status != 0;
        EXPECT_EQ(result.skippedBlocks, skipped);
        EXPECT_EQ(result.details.size(), skipped ? 1u : 0u);
        if (c.loaded) {
            EXPECT_GT(result.design->GetStitchCount(), 0u);
        }
    }
}

// Lettering and SPX objects are named in the details; this program installs
// no settings provider, so there is no SPX reader library.
TEST(DesignFiles, Vp3LoadsTellTheirLetteringAndSpxObjects)
{
    using Detail = std::pair<std::string, std::string>;
    Bytes const spx = Vp3Test::Block(0x22, Vp3Test::SpxBody(Vp3Test::SpxPoints({{Vp3Test::kSpxNeedle, 0, 0}})));
    struct Case {
        char const* what;
        Bytes file;
        std::vector<Detail> details;
    } const cases[] = {
        {"lettering", Vp3Test::File({Vp3Test::LetteringText()}),
         {{"texts", "1"}, {"characters", "4"}, {"SPX objects", "0"}}},
        {"lettering and an SPX object in a sequence",
         Vp3Test::File({Vp3Test::LetteringText(), Vp3Test::Block(4, Vp3Test::SequenceBody({spx, spx}))}),
         {{"skipped", "blocks this reader does not know (status 2)"},
          {"texts", "1"},
          {"characters", "4"},
          {"SPX objects", "2"},
          {"SPX library", "not found"}}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.what);
        LoadResult const result = LoadDesign(c.file, FileFormat::VP3);
        ASSERT_TRUE(result.Loaded());
        EXPECT_EQ(result.details, c.details);
    }
}

TEST(DesignFiles, BytesThatAreNoDesignGiveANamedFailure)
{
    struct Case {
        Bytes bytes;
        FileFormat format;
        int status;
        char const* name;
        char const* meaning;
    } const cases[] = {
        {Text("garbage"), FileFormat::VP3, 6, "BadMagic", "not a VP3 file"},
        {Text("garbage"), FileFormat::PES, 2, "BadVersion", "unsupported version or variant of PES"},
        {Text("garbage"), FileFormat::PEC, 4, "NotThisFormat", "not a valid PEC file, or no reader for PEC"},
        {Text("SColourStitch"), FileFormat::DST, 5, "Refused",
         "damaged or refused data (counts out of range, or colours that do not match the colour changes)"},
        {Text("#PCS"), FileFormat::PCS, 2, "BadVersion", "unsupported version or variant of PCS"},
        {Text("#"), FileFormat::PCS, 3, "Truncated", "truncated: the header cannot be read"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.meaning);
        LoadResult const result = LoadDesign(c.bytes, c.format);
        EXPECT_FALSE(result.Loaded());
        EXPECT_EQ(result.status, c.status);
        EXPECT_STREQ(result.statusName, c.name);
        EXPECT_EQ(result.meaning, c.meaning);
        EXPECT_TRUE(result.details.empty());
    }
    // A value that is no format is refused by the engine, not read as VP3.
    LoadResult const unknown = LoadDesign(Text("%qel%"), static_cast<FileFormat>(99));
    EXPECT_FALSE(unknown.Loaded());
    EXPECT_EQ(unknown.status, SF::kStatusNotThisFormat);
}

TEST(DesignFiles, EveryStatusHasOneNameAndMeaning)
{
    std::set<int> codes;
    std::set<std::string> names;
    for (Brodix::StatusEntry const& entry : SF::kStatusTable) {
        EXPECT_TRUE(codes.insert(entry.code).second) << entry.code;
        EXPECT_TRUE(names.insert(entry.name).second) << entry.name;
        EXPECT_EQ(&SF::FindStatus(entry.code), &entry);
    }
    EXPECT_EQ(SF::FindStatus(77).meaning, std::string("unreadable data"));
    codes.clear();
    names.clear();
    for (Brodix::StatusEntry const& entry : SF::kSaveStatusTable) {
        EXPECT_TRUE(codes.insert(entry.code).second) << entry.code;
        EXPECT_TRUE(names.insert(entry.name).second) << entry.name;
        EXPECT_EQ(&SF::FindSaveStatus(entry.code), &entry);
    }
}

TEST(DesignFiles, SavedFilesLoadBackAndRefusalsAreNamed)
{
    std::vector<FileFormat> const savable(SavableFileFormats().begin(), SavableFileFormats().end());
    EXPECT_EQ(savable, (std::vector<FileFormat>{FileFormat::VP3, FileFormat::DST, FileFormat::EXP,
                                                FileFormat::Toyota10o, FileFormat::PCS, FileFormat::TVK,
                                                FileFormat::VIP, FileFormat::PES, FileFormat::PEC,
                                                FileFormat::JEF}));
    LoadResult const original = LoadDesign(ReadSample("../shared/corpus/dst/Crown.DST"), FileFormat::DST);
    ASSERT_TRUE(original.Loaded());
    original.design->SetDesignNotes(L"For Ann");
    for (FileFormat const format : savable) {
        SCOPED_TRACE(DisplayName(format));
        SaveResult const saved = SaveDesign(*original.design, format, {L"Crown"});
        ASSERT_TRUE(saved.Saved()) << saved.meaning;
        EXPECT_STREQ(saved.statusName, "OK");
        LoadResult const back = LoadDesign(saved.bytes, format);
        ASSERT_TRUE(back.Loaded()) << back.meaning;
        EXPECT_GT(back.design->GetStitchCount(), 0u);
        if (format == FileFormat::VIP || format == FileFormat::VP3) {
            EXPECT_EQ(back.design->GetDesignNotes().rfind(L"For Ann", 0), 0u);
        }
        if (format == FileFormat::DST) {
            EXPECT_EQ(std::string(saved.bytes.begin(), saved.bytes.begin() + 11), "LA:Crown   ");
        }
        if (format == FileFormat::PEC) {
            EXPECT_EQ(std::string(saved.bytes.begin(), saved.bytes.begin() + 20), "#PEC0001LA:Crown    ");
        }
    }

    LoadResult const tall = LoadDesign(ReadSample("../shared/corpus/jef/Cake_3.jef"), FileFormat::JEF);
    ASSERT_TRUE(tall.Loaded());
    Brodix::CSimpleDesign empty;
    struct Case {
        IDesign const* design;
        FileFormat format;
        int status;
        char const* name;
        char const* meaning;
    } const cases[] = {
        {tall.design.get(), FileFormat::PCS, SF::kSaveStatusTooLarge, "TooLarge",
         "the design is larger than PCS can hold"},
        {tall.design.get(), FileFormat::SEW, SF::kSaveStatusNoWriter, "NoWriter", "SEW cannot be written"},
        {&empty, FileFormat::DST, SF::kSaveStatusEmpty, "Empty", "the design has no stitches to write"},
        {&empty, FileFormat::VP3, 3, "NoStitches", "the design has no stitches to write"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.meaning);
        SaveResult const saved = SaveDesign(*c.design, c.format, {});
        EXPECT_FALSE(saved.Saved());
        EXPECT_TRUE(saved.bytes.empty());
        EXPECT_EQ(saved.status, c.status);
        EXPECT_STREQ(saved.statusName, c.name);
        EXPECT_EQ(saved.meaning, c.meaning);
    }
}

} // namespace
