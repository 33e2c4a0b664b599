#include "Platform/Terminal.h"
#include <cstdio>
#include <unistd.h>

namespace Brodix::Platform {

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void RedrawStandardErrorLine(std::string const& text)
{
    // Carriage return, the text, then erase what a longer previous line left.
    std::fprintf(stderr, "\r%s\x1b[K", text.c_str());
    std::fflush(stderr);
}

void FinishStandardErrorLine()
{
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

} // namespace Brodix::Platform
