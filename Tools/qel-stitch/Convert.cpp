// "convert": load any file qel-stitch reads, apply the edits asked for, and
// write it in the format named by --to or by the output's extension. The file
// appears only once it is complete, and an existing one is replaced only with
// --force; a design the format cannot hold is refused with nothing written.
#include "Commands.h"
#include "Fundamentals/AtomicFile.h"
#include "Fundamentals/TextConversion.h"
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <set>

namespace QelStitch {

namespace {

namespace DF = Brodix::DesignFiles;
namespace fs = std::filesystem;

// The PCS palette; the writer maps further colours onto it.
constexpr std::size_t kPcsPaletteColours = 15;
constexpr unsigned kRGBMask = 0x00FF'FFFF;

std::string OutputFormatNames()
{
    std::string names;
    for (DF::FileFormat const format : DF::SavableFileFormats())
        names += std::string(names.empty() ? "" : " ") + DF::Extension(format);
    return names;
}

bool IsSavable(DF::FileFormat format)
{
    auto const savable = DF::SavableFileFormats();
    return std::find(savable.begin(), savable.end(), format) != savable.end();
}

std::size_t DistinctColours(IDesign const& design)
{
    std::set<unsigned> colours;
    for (unsigned long i = 0; i < design.GetColourCount(); ++i)
        colours.insert(design.GetColour(i).colours[0] & kRGBMask);
    return colours.size();
}

// The figure of the design that a refusal is about, for the message.
std::string WhatTheDesignHas(DF::SaveResult const& saved, IDesign const& design)
{
    std::string const name = saved.statusName;
    if (name == "TooLarge") {
        Brodix::CommonTypes::RectI const box = design.GetDesignRectangle();
        char size[64];
        std::snprintf(size, sizeof size, " (the design is %.1f x %.1f mm)", (box.right - box.left) / 10.0,
                      (box.bottom - box.top) / 10.0);
        return size;
    }
    if (name == "TooManyColours")
        return " (the design has " + std::to_string(design.GetColourCount()) + " colours)";
    if (name == "TooManyRecords")
        return " (the design has " + std::to_string(design.GetStitchCount()) + " stitches)";
    return {};
}

} // namespace

int RunConvert(Options const& options, std::ostream&, std::ostream& err)
{
    std::string const& input = options.arguments[0];
    std::string const& output = options.arguments[1];
    std::string const extension = options.outputFormat.value_or(fs::path(output).extension().string());
    std::optional<DF::FileFormat> const format = DF::FileFormatFromExtension(extension);
    if (!format || !IsSavable(*format)) {
        std::string const what = format ? std::string(DF::DisplayName(*format)) : "'" + extension + "'";
        err << "qel-stitch: " << output << ": cannot write " << what << "; the output formats are "
            << OutputFormatNames() << "\nTry 'qel-stitch --help'.\n";
        return kExitUsage;
    }
    char const* const formatName = DF::DisplayName(*format);
    std::error_code ignored;
    if (!options.force && fs::symlink_status(output, ignored).type() != fs::file_type::not_found) {
        err << "qel-stitch: " << output << " (" << formatName << "): already exists; use --force to replace it\n";
        return kExitFailed;
    }

    DesignFile file;
    std::string error;
    if (!LoadDesignFile(input, options.formatOverride, file, error)) {
        err << "qel-stitch: " << error << "\n";
        return kExitFailed;
    }
    if (!ApplyEdits(options, *file.design, err))
        return kExitFailed;

    // Formats with a label carry the input's name; the notes travel with the design.
    DF::SaveInformation const information{Brodix::ExpandUtf8(fs::path(input).stem().string())};
    DF::SaveResult const saved = DF::SaveDesign(*file.design, *format, information);
    if (!saved.Saved()) {
        err << "qel-stitch: " << output << " (" << formatName << "): " << saved.meaning << WhatTheDesignHas(saved, *file.design)
            << "; nothing was written (status " << saved.status << " " << saved.statusName << ")\n";
        return kExitFailed;
    }

    fs::path const path(output);
    std::string const folder = path.has_parent_path() ? path.parent_path().string() : std::string(".");
    auto const existing = options.force ? Brodix::ExistingFile::Replace : Brodix::ExistingFile::Keep;
    // A new file is as durable as one cp writes: waiting for the disk took
    // several times as long as the conversion. A file that replaces one of the
    // user's is synced first, so a power cut cannot leave neither.
    bool const replacing = options.force && fs::exists(path, ignored);
    auto const durability = replacing ? Brodix::Durability::Synced : Brodix::Durability::Cached;
    switch (Brodix::WriteFileAtomically(folder, path.filename().string(), saved.bytes, existing, &error, nullptr,
                                        durability)) {
    case Brodix::AtomicWriteResult::Written: break;
    case Brodix::AtomicWriteResult::AlreadyExists:
        err << "qel-stitch: " << output << " (" << formatName << "): already exists; use --force to replace it\n";
        return kExitFailed;
    case Brodix::AtomicWriteResult::Failed:
        err << "qel-stitch: " << output << " (" << formatName << "): cannot create: " << error << "\n";
        return kExitFailed;
    }
    if (*format == DF::FileFormat::PCS && DistinctColours(*file.design) > kPcsPaletteColours)
        err << "qel-stitch: " << output << " (PCS): note: PCS holds " << kPcsPaletteColours << " colours; the design's "
            << DistinctColours(*file.design) << " were mapped to the nearest of them\n";
    return kExitOk;
}

} // namespace QelStitch
