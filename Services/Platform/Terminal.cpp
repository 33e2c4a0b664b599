#include "Platform/Terminal.h"
#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace Brodix::Platform {

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void RedrawStandardErrorLine(std::string const& text)
{
    // Carriage return, the text, then erase what a longer previous line left.
    std::fprintf(stderr, "\r%s\x1b[K", text.c_str());
    std::fflush(stderr);
}

unsigned StandardErrorColumns()
{
    constexpr unsigned kUsualColumns = 80;
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0)
        return kUsualColumns;
    // The last column is left free: some terminals wrap on writing into it.
    return size.ws_col > 1 ? size.ws_col - 1u : 1u;
}

void WriteStandardErrorLine(std::string const& text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

void FinishStandardErrorLine()
{
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

} // namespace Brodix::Platform
