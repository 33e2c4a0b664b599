// qel-stitch: look into embroidery stitch files from the command line.
#include "Commands.h"
#include <iostream>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    std::vector<std::string> const args(argv + (argc > 0 ? 1 : 0), argv + argc);
    int const status = QelStitch::Run(args, std::cout, std::cerr);
    std::cout.flush();
    return status;
}
