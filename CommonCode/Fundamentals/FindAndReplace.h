// Replaces every occurrence of a pattern, left to right, resuming after each
// inserted text, and returns how many were replaced.
#pragma once
#include <cstddef>

namespace Brodix {

template <typename String>
std::size_t findAndReplace(String& text, String const& pattern, String const& replacement)
{
    if (pattern.empty())
        return 0;
    std::size_t count = 0;
    for (auto at = text.find(pattern); at != String::npos; at = text.find(pattern, at + replacement.size())) {
        text.replace(at, pattern.size(), replacement);
        ++count;
    }
    return count;
}

} // namespace Brodix
