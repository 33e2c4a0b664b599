// A design's notes text holds the user's free notes and, after the first
// "Settings:", the settings the suite keeps with the design.
#pragma once
#include <string>

namespace Brodix {

void SplitIntoNotesAndSettings(std::wstring const& text, std::wstring& notes, std::wstring& settings);
std::wstring CombineNotesAndSettings(std::wstring const& notes, std::wstring const& settings);
std::wstring MakeMergedNotes(std::wstring const& first, std::wstring const& second, bool flag);

// The notes of many designs merged in order, as MakeMergedNotes would merge
// them one after the other, but in time linear in their length: the parts
// are collected and joined once, instead of the whole text so far being
// split and copied again for every design.
class CMergedNotes {
public:
    void Add(std::wstring const& text);
    std::wstring Text() const;

private:
    std::wstring m_first;      // the only non-empty text while there is one
    std::wstring m_notes;      // the notes halves, joined by line feeds
    std::wstring m_settings;   // the settings halves, joined by line feeds
    bool m_merged = false;     // two or more non-empty texts were added
};
std::wstring ConvertNewLines(wchar_t const* text, wchar_t const* replacement);

} // namespace Brodix
