#include "Fundamentals/DesignNotes.h"
#include "Fundamentals/FindAndReplace.h"
#include <array>
#include <string_view>

namespace Brodix {

namespace {

std::wstring const kMarker = L"Settings:";
std::wstring const kEscapedMarker = L"Settings;";
std::wstring const kSeparator = L"\n";

std::wstring Escaped(std::wstring text)
{
    findAndReplace(text, kMarker, kEscapedMarker);
    return text;
}

void AppendNonEmpty(std::wstring& joined, std::wstring_view part)
{
    if (part.empty())
        return;
    if (!joined.empty())
        joined += kSeparator;
    joined += part;
}

} // namespace

void SplitIntoNotesAndSettings(std::wstring const& text, std::wstring& notes, std::wstring& settings)
{
    auto const at = text.find(kMarker);
    if (at == std::wstring::npos) {
        notes = text;
        settings.clear();
        return;
    }
    // Copy before assigning: text may alias one of the outputs.
    std::wstring before = text.substr(0, at);
    std::wstring after = text.substr(at + kMarker.size());
    notes = std::move(before);
    settings = std::move(after);
}

std::wstring CombineNotesAndSettings(std::wstring const& notes, std::wstring const& settings)
{
    return Escaped(notes) + kMarker + Escaped(settings);
}

std::wstring MakeMergedNotes(std::wstring const& first, std::wstring const& second, bool)
{
    CMergedNotes merged;
    merged.Add(first);
    merged.Add(second);
    return merged.Text();
}

// A merged text holds the marker once, between its escaped halves, so merging
// it again splits it back into those halves; escaping twice changes nothing
// and the marker never spans a separator. Joining every half once and
// escaping at the end therefore gives the text of the pairwise merges.
void CMergedNotes::Add(std::wstring const& text)
{
    if (text.empty())
        return;
    m_merged = m_merged || !m_first.empty();
    if (m_merged)
        m_first.clear();
    else
        m_first = text;
    std::wstring_view const whole = text;
    auto const at = whole.find(kMarker);
    AppendNonEmpty(m_notes, whole.substr(0, at));
    AppendNonEmpty(m_settings, at == std::wstring_view::npos ? std::wstring_view() : whole.substr(at + kMarker.size()));
}

std::wstring CMergedNotes::Text() const
{
    if (!m_merged)
        return m_first;
    return CombineNotesAndSettings(m_notes, m_settings);
}

std::wstring ConvertNewLines(wchar_t const* text, wchar_t const* replacement)
{
    std::wstring out;
    if (text == nullptr || *text == L'\0')
        return out;
    std::wstring_view const with = replacement != nullptr ? replacement : L"";
    // Two-character forms first, so CR LF and LF CR each count once.
    static constexpr std::array<std::wstring_view, 9> kLineBreaks = {
        L"\r\n", L"\n\r", L"\n", L"\u000B", L"\u000C", L"\r", L"\u0085", L"\u2028", L"\u2029",
    };
    std::wstring_view rest = text;
    while (!rest.empty()) {
        bool matched = false;
        for (std::wstring_view form : kLineBreaks) {
            if (rest.starts_with(form)) {
                out.append(with);
                rest.remove_prefix(form.size());
                matched = true;
                break;
            }
        }
        if (!matched) {
            out.push_back(rest.front());
            rest.remove_prefix(1);
        }
    }
    return out;
}

} // namespace Brodix
