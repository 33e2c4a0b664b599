// File formats and the one load: machine formats through the format engine,
// VP3 through the VP3 library, and every design of a file merged into one.
#include "DesignFiles/DesignFiles.h"
#include "DesignFiles/EngineCallbacks.h"
#include "Fundamentals/MemoryStream.h"
#include "Fundamentals/SimpleDesign.h"
#include "Fundamentals/Vendor.h"
#include "StitchFormats/FormatTypeTable.h"
#include "StitchFormats/TvkVipCompressor/TvkVipCodec.h"
#include "StitchFormats/Vp3/SpxLibrary.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"
#include "StitchFormats/Vp3/VP3Status.h"
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>

namespace Brodix::DesignFiles {

namespace {

namespace SF = StitchFormats;

constexpr char kVp3Extension[] = "vp3";
constexpr char kVp3Name[] = "VP3";
constexpr int kDefaultColourType = 0;
constexpr std::string_view kFormatPlaceholder = "{format}";

std::array<FileFormat, SF::kFormatCount + 1> const kAllFormats = [] {
    std::array<FileFormat, SF::kFormatCount + 1> all{};
    std::size_t i = 0;
    for (SF::FormatTypeEntry const& entry : SF::FormatTypeTable())
        all[i++] = static_cast<FileFormat>(entry.format);
    all[i] = FileFormat::VP3;
    return all;
}();

// The type table's entry of a machine format; null for VP3 and for values
// that are no format.
SF::FormatTypeEntry const* TableEntry(FileFormat format)
{
    for (SF::FormatTypeEntry const& entry : SF::FormatTypeTable())
        if (static_cast<int>(entry.format) == static_cast<int>(format))
            return &entry;
    return nullptr;
}

std::string LowerCase(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// The table's meaning with the format's name put in.
std::string Meaning(char const* meaning, FileFormat format)
{
    std::string text = meaning;
    std::string_view const name = DisplayName(format);
    for (std::size_t at = text.find(kFormatPlaceholder); at != std::string::npos;
         at = text.find(kFormatPlaceholder, at + name.size()))
        text.replace(at, kFormatPlaceholder.size(), name);
    return text;
}

// The TVK and VIP readers decompress their sections with the engine's codec.
std::unique_ptr<SF::ITvkVipCodec> MakeCodec()
{
    return SF::MakeTvkVipCodec();
}

LoadResult LoadMachineFormat(std::span<unsigned char const> bytes, FileFormat format, SF::Format engineFormat)
{
    Archivers::MemoryReadStream<IArchiverStream> stream(bytes.data(), bytes.size());
    Win1252Encoding encoding;
    ZLibAdapter zlib;
    std::unique_ptr<SF::ITvkVipCodec> const codec = MakeCodec();
    auto design = std::make_shared<CSimpleDesign>();
    LoadResult result;
    result.status =
        SF::Load(*design, stream, kDefaultColourType, engineFormat, &encoding, codec.get(), &zlib, nullptr);
    StatusEntry const& entry = SF::FindStatus(result.status);
    result.statusName = entry.name;
    result.meaning = Meaning(entry.meaning, format);
    if (result.status != SF::kStatusOK)
        return result;
    result.details = SF::DescribeHeader(stream, engineFormat, design.get());
    result.design = std::move(design);
    return result;
}

// The engine asks for the design's name by this key.
class NamedSave : public SF::ISaveInformation {
public:
    explicit NamedSave(std::wstring name) : m_name(std::move(name)) {}
    std::wstring GetTextValue(std::wstring const& key) override { return key == L"Filename" ? m_name : std::wstring(); }

private:
    std::wstring m_name;
};

class MemoryOutput : public SF::IArchiverRetriever {
public:
    IArchiverStream* GetArchiver() override { return &m_stream; }
    bool IsArchiverValid() override { return true; }
    std::vector<unsigned char> TakeBytes() { return m_stream.TakeContent(); }

private:
    Archivers::MemoryStreamRW<IArchiverStream> m_stream;
};

void Describe(SaveResult& result, StatusEntry const& entry, FileFormat format)
{
    result.statusName = entry.name;
    result.meaning = Meaning(entry.meaning, format);
}

SaveResult SaveMachineFormat(IDesign const& design, FileFormat format, SaveInformation const& information)
{
    MemoryOutput output;
    NamedSave named(information.name);
    Win1252Encoding encoding;
    std::unique_ptr<SF::ITvkVipCodec> const codec = MakeCodec();
    SaveResult result;
    result.status = SF::Save(design, output, static_cast<SF::Format>(format), &named, &encoding, codec.get());
    Describe(result, SF::FindSaveStatus(result.status), format);
    if (result.status == SF::kSaveStatusOK)
        result.bytes = output.TakeBytes();
    return result;
}

SaveResult SaveVp3(IDesign const& design)
{
    Vp3Lib::CVP3ReadWrite vp3;
    SaveResult result;
    unsigned int const status = vp3.WriteToBytes(Vp3Lib::CDesignHolder(design), result.bytes, {0, 0}, true);
    result.status = static_cast<int>(status);
    Describe(result, Vp3Lib::FindWriteStatus(status), FileFormat::VP3);
    return result;
}

// Reads that skipped blocks of an unknown class (2) or an unreadable version
// (3) still give the designs of the other blocks; every other status but 0
// gives nothing usable.
bool GivesDesigns(unsigned int status)
{
    return status == Vp3Lib::kStatusOK || status == Vp3Lib::kStatusUnexpectedClass
           || status == Vp3Lib::kStatusUnreadable;
}

// The lettering and SPX objects of a file that has any, and, where it has SPX
// objects, whether the library that reads their data is there: without it,
// they add no stitches.
void AddEmbeddedObjectDetails(Vp3Lib::CVP3ReadWrite const& vp3, SF::HeaderDetails& details)
{
    Vp3Lib::CEmbeddedObjectCounts const counts = vp3.CountEmbeddedObjects();
    if (counts.texts == 0 && counts.spxObjects == 0)
        return;
    details.emplace_back("texts", std::to_string(counts.texts));
    details.emplace_back("characters", std::to_string(counts.characters));
    details.emplace_back("SPX objects", std::to_string(counts.spxObjects));
    if (counts.spxObjects > 0)
        details.emplace_back("SPX library", Spx::IsAvailable(Spx::Library()) ? "found" : "not found");
}

LoadResult LoadVp3(std::span<unsigned char const> bytes)
{
    std::vector<std::shared_ptr<IDesign>> designs;
    Vp3Lib::CVP3ReadWrite vp3;
    unsigned int const status = vp3.ReadFromMemory(Vp3Lib::CDesignHolder(&designs), bytes.data(), bytes.size(),
                                                   CommonTypes::PointI{0, 0}, true);
    LoadResult result;
    result.status = static_cast<int>(status);
    StatusEntry const& entry = Vp3Lib::FindReadStatus(status);
    result.statusName = entry.name;
    result.meaning = entry.meaning;
    if (!GivesDesigns(status))
        return result;
    std::shared_ptr<IDesign> merged = CSimpleDesign::MergeIntoNew(std::move(designs), true, false);
    if (status != Vp3Lib::kStatusOK) {
        result.skippedBlocks = true;
        result.details.emplace_back("skipped",
                                    "blocks this reader does not know (status " + std::to_string(status) + ")");
    }
    AddEmbeddedObjectDetails(vp3, result.details);
    result.design = std::move(merged);
    return result;
}

} // namespace

std::span<FileFormat const> AllFileFormats()
{
    return kAllFormats;
}

std::optional<FileFormat> FileFormatFromType(std::string_view type)
{
    if (type == kVp3Extension || type == TypeIdentifier(FileFormat::VP3))
        return FileFormat::VP3;
    if (auto const format = SF::FormatFromType(type))
        return FileFormatOf(*format);
    return std::nullopt;
}

std::optional<FileFormat> FileFormatFromExtension(std::string_view extension)
{
    if (auto const format = SF::FormatFromExtension(extension))
        return FileFormatOf(*format);
    if (!extension.empty() && extension.front() == '.')
        extension.remove_prefix(1);
    if (LowerCase(extension) == kVp3Extension)
        return FileFormat::VP3;
    return std::nullopt;
}

char const* DisplayName(FileFormat format)
{
    if (format == FileFormat::VP3)
        return kVp3Name;
    return SF::FormatName(static_cast<int>(format));
}

char const* Extension(FileFormat format)
{
    if (format == FileFormat::VP3)
        return kVp3Extension;
    SF::FormatTypeEntry const* entry = TableEntry(format);
    return entry != nullptr ? entry->extension : "";
}

std::string TypeIdentifier(FileFormat format)
{
    if (format == FileFormat::VP3)
        return std::string(kVendorPrefix) + "." + kVp3Extension;
    SF::FormatTypeEntry const* entry = TableEntry(format);
    return entry != nullptr ? SF::TypeIdentifier(*entry) : std::string();
}

std::optional<SF::Format> EngineFormat(FileFormat format)
{
    if (TableEntry(format) == nullptr)
        return std::nullopt;
    return static_cast<SF::Format>(format);
}

std::optional<FileFormat> FileFormatOf(SF::Format format)
{
    auto const fileFormat = static_cast<FileFormat>(format);
    if (TableEntry(fileFormat) == nullptr)
        return std::nullopt;
    return fileFormat;
}

std::span<FileFormat const> SavableFileFormats()
{
    static std::vector<FileFormat> const savable = [] {
        std::vector<FileFormat> formats{FileFormat::VP3};
        for (SF::Format const format : SF::WrittenFormats())
            formats.push_back(static_cast<FileFormat>(format));
        return formats;
    }();
    return savable;
}

SaveResult SaveDesign(IDesign const& design, FileFormat format, SaveInformation const& information)
{
    if (format == FileFormat::VP3)
        return SaveVp3(design);
    // A value that is no format reaches the engine, which refuses it by status.
    return SaveMachineFormat(design, format, information);
}

LoadResult LoadDesign(std::span<unsigned char const> bytes, FileFormat format)
{
    if (format == FileFormat::VP3)
        return LoadVp3(bytes);
    // A value that is no format reaches the engine, which refuses it by status.
    return LoadMachineFormat(bytes, format, static_cast<SF::Format>(format));
}

} // namespace Brodix::DesignFiles
