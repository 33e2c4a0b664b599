// A console log line as a system log would show it: timestamp, process name
// and id, then the message, on standard error.
#pragma once

namespace Brodix {

void ConsoleLog(char const* format, ...) __attribute__((format(printf, 1, 2)));

// The same at information level: written only when QEL_LOG=debug is set, so
// that a normal run shows warnings and errors alone.
void ConsoleLogInfo(char const* format, ...) __attribute__((format(printf, 1, 2)));
bool InfoLogEnabled();

} // namespace Brodix
