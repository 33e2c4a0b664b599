// "convert": load any file qel-stitch reads and write it in the format named
// by the output's extension. VP3 is the one output format so far.
#include "Commands.h"
#include "Vp3File.h"
#include <ostream>

namespace QelStitch {

int RunConvert(Options const& options, std::ostream&, std::ostream& err)
{
    std::string const& input = options.arguments[0];
    std::string const& output = options.arguments[1];
    if (!IsVp3Name(output, "")) {
        err << "qel-stitch: " << output << ": cannot write this format; the output must be a .vp3 file\n"
            << "Try 'qel-stitch --help'.\n";
        return kExitUsage;
    }
    DesignFile file;
    std::string error;
    if (!LoadDesignFile(input, options.formatOverride, file, error)) {
        err << "qel-stitch: " << error << "\n";
        return kExitFailed;
    }
    if (!ApplyEdits(options, *file.design, err))
        return kExitFailed;
    if (!SaveVp3Design(*file.design, output, error)) {
        err << "qel-stitch: " << output << " (VP3): " << error << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace QelStitch
