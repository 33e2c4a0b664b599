// Runs qel-stitch in-process and keeps what it printed, for the tool's tests.
#pragma once
#include "Commands.h"

#include <sstream>
#include <string>
#include <vector>

namespace QelStitchTesting {

struct Result {
    int status;
    std::string out, err;
};

inline Result RunTool(std::vector<std::string> const& args)
{
    std::ostringstream out, err;
    int const status = QelStitch::Run(args, out, err);
    return {status, out.str(), err.str()};
}

} // namespace QelStitchTesting
