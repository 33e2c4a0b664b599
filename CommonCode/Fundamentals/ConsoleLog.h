// A console log line as a system log would show it: timestamp, process name
// and id, then the message, on standard error.
#pragma once

namespace Brodix {

void ConsoleLog(char const* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace Brodix
