#include "Fundamentals/ConsoleLog.h"
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <errno.h>
#include <sys/time.h>
#include <unistd.h>

namespace Brodix {

void ConsoleLog(char const* format, ...)
{
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);

    char message[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);

    std::fprintf(stderr, "%s.%03ld %s[%d] %s", stamp, static_cast<long>(now.tv_usec / 1000),
                 program_invocation_short_name, static_cast<int>(getpid()), message);
    std::fflush(stderr);
}

} // namespace Brodix
