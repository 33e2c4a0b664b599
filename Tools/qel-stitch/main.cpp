// qel-stitch: look into embroidery stitch files from the command line.
#include "Commands.h"
#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    std::vector<std::string> const args(argv + (argc > 0 ? 1 : 0), argv + argc);
    int const status = QelStitch::Run(args, std::cout, std::cerr);
    // A full disk or a closed pipe must not pass for a complete output.
    errno = 0;
    std::cout.flush();
    if (!std::cout) {
        int const error = errno;
        std::cerr << "qel-stitch: cannot write standard output" << (error != 0 ? std::string(": ") + std::strerror(error) : "")
                  << "\n";
        return QelStitch::kExitFailed;
    }
    return status;
}
