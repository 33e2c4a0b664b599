#include "Fundamentals/ConsoleLog.h"
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <errno.h>
#include <sys/time.h>
#include <unistd.h>

namespace Brodix {

namespace {

void WriteLogLine(char const* format, va_list arguments) __attribute__((format(printf, 1, 0)));
void WriteLogLine(char const* format, va_list arguments)
{
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);

    char message[1024];
    std::vsnprintf(message, sizeof message, format, arguments);

    std::fprintf(stderr, "%s.%03ld %s[%d] %s", stamp, static_cast<long>(now.tv_usec / 1000),
                 program_invocation_short_name, static_cast<int>(getpid()), message);
    std::fflush(stderr);
}

} // namespace

void ConsoleLog(char const* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    WriteLogLine(format, arguments);
    va_end(arguments);
}

bool InfoLogEnabled()
{
    char const* level = std::getenv("QEL_LOG");
    return level != nullptr && std::strcmp(level, "debug") == 0;
}

void ConsoleLogInfo(char const* format, ...)
{
    if (!InfoLogEnabled())
        return;
    va_list arguments;
    va_start(arguments, format);
    WriteLogLine(format, arguments);
    va_end(arguments);
}

} // namespace Brodix
