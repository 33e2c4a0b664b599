// A design's notes text holds the user's free notes and, after the first
// "Settings:", the settings the suite keeps with the design.
#pragma once
#include <string>

namespace Brodix {

void SplitIntoNotesAndSettings(std::wstring const& text, std::wstring& notes, std::wstring& settings);
std::wstring CombineNotesAndSettings(std::wstring const& notes, std::wstring const& settings);
std::wstring MakeMergedNotes(std::wstring const& first, std::wstring const& second, bool flag);
std::wstring ConvertNewLines(wchar_t const* text, wchar_t const* replacement);

} // namespace Brodix
