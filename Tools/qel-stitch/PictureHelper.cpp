// Handing a command that draws to qel-stitch-pictures: beside this program in
// the build tree, in the install's libexec folder once installed.
#include "Commands.h"
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <ostream>
#include <unistd.h>

namespace QelStitch {

namespace fs = std::filesystem;

bool PreviewShows(std::ostream const& out)
{
    return &out == &std::cout && ::isatty(STDOUT_FILENO);
}

int RunPictureHelper(std::vector<std::string> const& args, std::ostream& err)
{
    std::error_code failed;
    fs::path const self = fs::read_symlink("/proc/self/exe", failed);
    fs::path helper = self.parent_path() / QEL_PICTURE_HELPER_NAME;
    if (!fs::exists(helper, failed))
        helper = (self.parent_path() / QEL_PICTURE_HELPER_FROM_BINDIR).lexically_normal();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>("qel-stitch"));
    for (std::string const& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::cout.flush();
    ::execv(helper.c_str(), argv.data());
    err << "qel-stitch: cannot run the picture helper " << helper.string() << ": " << std::strerror(errno) << "\n";
    return kExitFailed;
}

} // namespace QelStitch
