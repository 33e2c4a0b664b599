// Named statuses: what a library's result codes are called and what they mean
// to people. Each library keeps one table of its codes; this is the lookup.
#pragma once
#include <span>

namespace Brodix {

struct StatusEntry {
    int code;
    char const* name;      // the code's constant without "kStatus"
    char const* meaning;   // for people
};

// What a code no table lists (a fault in the code that returned it) is shown as.
inline constexpr StatusEntry kUnknownStatus = {-1, "Unknown", "unreadable data"};

constexpr StatusEntry const& FindStatus(std::span<StatusEntry const> table, long long code)
{
    for (StatusEntry const& entry : table)
        if (entry.code == code)
            return entry;
    return kUnknownStatus;
}

} // namespace Brodix
