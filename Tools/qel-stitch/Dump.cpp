// "dump": the loaded design as JSON. Strings go through the JSON library;
// the stitch list, plain numbers only, is streamed so a large design does
// not build a large document in memory.
#include "Commands.h"
#include "Fundamentals/TextConversion.h"
#include "TextOut.h"
#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>

namespace QelStitch {

namespace {

using Brodix::CAbsStitch;
using json = nlohmann::ordered_json;

std::string Dump(json const& value)
{
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

json Colours(IDesign const& design)
{
    json colours = json::array();
    for (unsigned long i = 0; i < design.GetColourCount(); ++i) {
        Brodix::ColourData const c = design.GetColour(i);
        colours.push_back(json{{"rgb", RgbHex(c.colours[0])},
                               {"code", Utf8FromWin1252(c.serialNumber)},
                               {"name", Utf8FromWin1252(c.threadName)},
                               {"manufacturer", Utf8FromWin1252(c.manufacturerName)},
                               {"materialType", c.materialType},
                               {"threadWeight", c.threadWeight}});
    }
    return colours;
}

} // namespace

void PrintJson(DesignFile const& file, std::ostream& out)
{
    IDesign const& design = *file.design;
    out << "{\"file\":" << Dump(file.path) << ",\"format\":" << Dump(file.formatName)
        << ",\"notes\":" << Dump(Brodix::makeNSString(design.GetDesignNotes().c_str()))
        << ",\"colours\":" << Dump(Colours(design)) << ",\"stitches\":[";
    auto reader = Brodix::HoldIterator(design.GetStitchReader());
    bool first = true;
    for (reader->First(); !reader->IsDone(); reader->Next()) {
        CAbsStitch const s = reader->GetCurrentItem();
        out << (first ? "[" : ",[") << int(s.type) << ',' << s.position.x << ',' << s.position.y << ','
            << s.colourIndex << ',' << (s.visible ? "true" : "false") << ']';
        first = false;
    }
    out << "]}\n";
}

int RunDump(Options const& options, std::ostream& out, std::ostream& err)
{
    DesignFile file;
    std::string error;
    if (!LoadDesignFile(options.arguments.front(), options.formatOverride, file, error)) {
        err << "qel-stitch: " << error << "\n";
        return kExitFailed;
    }
    PrintJson(file, out);
    return kExitOk;
}

} // namespace QelStitch
