// "info": counts, size, colours and notes of each file, for people.
#include "Commands.h"
#include "TextOut.h"
#include "DesignFiles/DesignFiles.h"
#include <cstdio>
#include <ostream>

namespace QelStitch {

namespace {

using Brodix::CAbsStitch;

struct Counts {
    unsigned long stitches = 0, jumps = 0, trims = 0, stops = 0, colourChanges = 0;
    // A colour change after the last stitch starts a colour that sews nothing.
    bool trailingColourChange = false;
};

Counts CountRecords(IDesign const& design)
{
    Counts c;
    auto reader = Brodix::HoldIterator(design.GetStitchReader());
    for (reader->First(); !reader->IsDone(); reader->Next()) {
        switch (reader->GetCurrentItem().type) {
        case CAbsStitch::Normal:
            ++c.stitches;
            c.trailingColourChange = false;
            break;
        case CAbsStitch::Jump: ++c.jumps; break;
        case CAbsStitch::ColourChange:
            ++c.colourChanges;
            c.trailingColourChange = c.stitches > 0;
            break;
        case CAbsStitch::Stop: ++c.stops; break;
        case CAbsStitch::Trim: ++c.trims; break;
        default: break;
        }
    }
    return c;
}

// Formats that keep only colour changes: their colours are stand-ins.
bool StoresNoColours(std::string const& formatName)
{
    namespace DF = Brodix::DesignFiles;
    for (DF::FileFormat const format : {DF::FileFormat::DST, DF::FileFormat::EXP, DF::FileFormat::Toyota10o})
        if (formatName == DF::DisplayName(format))
            return true;
    return false;
}

} // namespace

void PrintInfo(DesignFile const& file, std::ostream& out)
{
    IDesign const& design = *file.design;
    Counts const c = CountRecords(design);
    out << file.path << "\n";
    out << "  format:         " << file.formatName << "\n";
    for (auto const& [label, value] : file.details)
        out << "  " << label << ":" << std::string(label.size() < 15 ? 15 - label.size() : 0, ' ') << value << "\n";
    out << "  stitches:       " << c.stitches << "\n";
    out << "  jumps:          " << c.jumps << "\n";
    out << "  trims:          " << c.trims << "\n";
    out << "  stops:          " << c.stops << "\n";
    // The first colour-change record starts the first colour; it changes nothing.
    unsigned long const changes = c.colourChanges - (c.trailingColourChange ? 1 : 0);
    out << "  colour changes: " << (changes > 0 ? changes - 1 : 0) << "\n";
    if (design.GetStitchCount() > 0) {
        auto const r = design.GetDesignRectangle();
        out << "  size:           " << Millimetres(static_cast<long long>(r.right) - r.left) << " x "
            << Millimetres(static_cast<long long>(r.bottom) - r.top) << " mm\n";
        out << "  bounding box:   (" << Millimetres(r.left) << ", " << Millimetres(r.top) << ") to ("
            << Millimetres(r.right) << ", " << Millimetres(r.bottom) << ") mm\n";
    }
    unsigned long colours = design.GetColourCount();
    if (c.trailingColourChange && colours > 1)
        --colours;
    out << "  colours:        " << colours
        << (StoresNoColours(file.formatName) ? " (assigned: the format stores no colours)" : "") << "\n";
    for (unsigned long i = 0; i < colours; ++i) {
        Brodix::ColourData const colour = design.GetColour(i);
        out << "    " << i + 1 << ": " << RgbHex(colour.colours[0]) << "  " << Utf8FromWin1252(colour.serialNumber) << "  "
            << Utf8FromWin1252(colour.threadName) << "  (" << Utf8FromWin1252(colour.manufacturerName) << ")\n";
    }
    std::string const notes = Brodix::makeNSString(design.GetDesignNotes().c_str());
    out << "  notes:          " << (notes.empty() ? "(none)" : notes) << "\n";
}

int RunInfo(Options const& options, std::ostream& out, std::ostream& err)
{
    int status = kExitOk;
    for (std::string const& path : options.arguments) {
        DesignFile file;
        std::string error;
        if (!LoadDesignFile(path, options.formatOverride, file, error)) {
            err << "qel-stitch: " << error << "\n";
            status = kExitFailed;
            continue;
        }
        PrintInfo(file, out);
        if (PictureCommands const* const pictures = LinkedPictureCommands(); options.preview && pictures != nullptr)
            pictures->preview(*file.design, out);
    }
    return status;
}

} // namespace QelStitch
