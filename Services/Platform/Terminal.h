// Standard error as a terminal: whether it is one, and a line that is
// redrawn in place.
#pragma once
#include <string>

namespace Brodix::Platform {

bool StandardErrorIsTerminal();
// Overwrites the current terminal line on standard error with text.
void RedrawStandardErrorLine(std::string const& text);
// The width of the terminal on standard error; a usual 80 when it cannot be told.
unsigned StandardErrorColumns();
// Writes text and a newline to standard error (a log line, not redrawn).
void WriteStandardErrorLine(std::string const& text);
// Ends the redrawn line so that later output starts on a fresh one.
void FinishStandardErrorLine();

} // namespace Brodix::Platform
