#include "Platform/Pasteboard.h"
#include "Platform/FileManager.h"
#include "Platform/URL.h"
#include <cctype>

namespace Brodix::Platform {
namespace {

bool LooksLikeURL(std::string const& argument)
{
    if (argument.compare(0, 5, "file:") == 0)
        return true;
    std::size_t const separator = argument.find("://");
    if (separator == std::string::npos || separator == 0 ||
        !std::isalpha(static_cast<unsigned char>(argument[0])))
        return false;
    for (std::size_t i = 0; i < separator; ++i) {
        char const c = argument[i];
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

} // namespace

std::optional<std::string> PasteboardItem::stringForType(std::string const& type) const
{
    auto const found = m_strings.find(type);
    if (found == m_strings.end())
        return std::nullopt;
    return found->second;
}

Pasteboard Pasteboard::FromArguments(std::vector<std::string> const& arguments)
{
    Pasteboard pasteboard;
    for (std::string const& argument : arguments) {
        PasteboardItem item;
        if (LooksLikeURL(argument)) {
            item.setString(kFileURLPasteboardType, argument);
        } else {
            std::string const path = !argument.empty() && argument[0] == '/' ? argument
                                                                               : CurrentDirectory() + "/" + argument;
            item.setString(kFileURLPasteboardType, URL::FileURLWithPath(path).absoluteString());
        }
        pasteboard.addItem(std::move(item));
    }
    return pasteboard;
}

} // namespace Brodix::Platform
