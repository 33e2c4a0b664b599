// What a file's header tells people beyond the design: for PES its version,
// hoop and number of hoop positions, whether its PES section was read and
// where the colours came from; for DST its label.
#include "StitchFormats/PesHeaders.h"
#include "StitchFormats/PesThreads.h"
#include "StitchFormats/StitchFormats.h"
#include <cstdlib>
#include <string_view>

namespace Brodix::StitchFormats {

namespace {

constexpr unsigned long kPesMagicSize = 8;   // "#PES" and four version digits
constexpr std::size_t kPesVersionDigits = 4;

// The loader takes the designer's threads only when the table lists one per
// colour; its first colour then is the table's first thread.
char const* PesColourSource(IArchiverStream& stream, IDesign const& loaded)
{
    char magic[kPesMagicSize + 1] = {};
    stream.SetPos(0);
    if (stream.Read(magic, kPesMagicSize) == kPesMagicSize &&
        std::atoi(magic + kPesMagicSize - kPesVersionDigits) > kNewestKnownPESVersion)
        return "Brother palette of the PEC section";
    std::optional<std::vector<PESThread>> const threads = ReadPESThreads(stream);
    if (!threads || threads->empty())
        return "Brother palette of the PEC section (no thread table found in the PES section)";
    if (loaded.GetColourCount() > 0 && loaded.GetColour(0) == PESThreadColour(threads->front()))
        return "the designer's threads of the PES section";
    return "Brother palette of the PEC section (the PES thread table does not list one thread per colour)";
}

HeaderDetails DescribePesHeader(IArchiverStream& stream)
{
    char magic[kPesMagicSize + 1] = {};
    stream.SetPos(0);
    if (stream.Read(magic, kPesMagicSize) != kPesMagicSize)
        return {};
    stream.SetPos(0);
    int const version = std::atoi(magic + kPesMagicSize - kPesVersionDigits);
    std::unique_ptr<BasePESHeader> header = CreatePESHeader(version);
    if (header == nullptr)
        header = CreateNewerPESHeader(version);
    if (header == nullptr)
        return {};
    header->SetDefaults();
    if (!header->LoadFromFile(stream))
        return {};
    int width = 0;
    int height = 0;
    bool rotated = false;
    if (header->ReadsOnlyPecSection())
        return {
            {"PES version", std::to_string(version)},
            {"PES section", "not read: version " + std::to_string(version) +
                                " is newer than this reader knows; the design comes from the PEC section"},
        };
    header->GetHoop(width, height, rotated);
    return {
        {"PES version", std::to_string(version)},
        {"hoop", std::to_string(width) + " x " + std::to_string(height) + " mm" + (rotated ? " (rotated)" : "")},
        {"hoop positions", std::to_string(header->GetNumHoops())},
    };
}

// A DST header opens with "LA:" and a label of 16 characters, padded with
// spaces and often ended early by a carriage return.
constexpr char kDstLabelTag[] = "LA:";
constexpr unsigned long kDstLabelTagSize = 3;
constexpr unsigned long kDstLabelSize = 16;

HeaderDetails DescribeDstHeader(IArchiverStream& stream)
{
    char field[kDstLabelTagSize + kDstLabelSize] = {};
    stream.SetPos(0);
    if (stream.Read(field, sizeof field) != sizeof field || std::string_view(field, kDstLabelTagSize) != kDstLabelTag)
        return {};
    std::string label;
    for (char const c : std::string_view(field + kDstLabelTagSize, kDstLabelSize)) {
        if (c == '\r' || c == '\n' || c == '\0')
            break;
        auto const byte = static_cast<unsigned char>(c);
        // Printable ASCII only: the label's encoding is not recorded.
        label += byte >= 0x20 && byte < 0x7f ? c : '?';
    }
    while (!label.empty() && label.back() == ' ')
        label.pop_back();
    return {{"label", label.empty() ? "(none)" : label}};
}

} // namespace

HeaderDetails DescribeHeader(IArchiverStream& stream, Format format, IDesign const* loaded)
{
    if (format != FormatPES && format != FormatDST)
        return {};
    unsigned long const position = stream.GetPos();
    HeaderDetails details = format == FormatPES ? DescribePesHeader(stream) : DescribeDstHeader(stream);
    if (format == FormatPES && loaded != nullptr && !details.empty())
        details.emplace_back("colour source", PesColourSource(stream, *loaded));
    stream.SetPos(position);
    return details;
}

} // namespace Brodix::StitchFormats
