#include "Platform/URL.h"
#include "Platform/Bundle.h"
#include "Platform/FileManager.h"
#include <cctype>
#include <cstring>
#include <sys/stat.h>

namespace Brodix::Platform {
namespace {

bool IsSchemeCharacter(char c, bool first)
{
    if (std::isalpha(static_cast<unsigned char>(c)))
        return true;
    return !first && (std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.');
}

// Characters that may stand in a URL unescaped.
bool IsUrlCharacter(unsigned char c)
{
    if (c <= 0x20 || c >= 0x7f)
        return false;
    return std::strchr("\"<>\\^`{|}", c) == nullptr;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::string> PercentDecode(std::string const& text)
{
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        int const high = HexValue(text[i + 1]);
        int const low = HexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return decoded;
}

// Unreserved characters and the sub-delimiters that a path may carry as they are.
bool NeedsNoEscape(unsigned char c)
{
    return std::isalnum(c) || std::strchr("-._~/!$&'()*+,;=:@", c) != nullptr;
}

bool EqualsIgnoringCase(std::string const& a, char const* b)
{
    std::size_t const length = std::strlen(b);
    if (a.size() != length)
        return false;
    for (std::size_t i = 0; i < length; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

std::optional<URL> URL::URLWithString(std::string const& text)
{
    for (char c : text)
        if (!IsUrlCharacter(static_cast<unsigned char>(c)) && c != '%')
            return std::nullopt;
    URL url;
    url.m_text = text;
    std::size_t position = 0;
    std::size_t const colon = text.find(':');
    bool hasScheme = colon != std::string::npos && colon > 0;
    for (std::size_t i = 0; hasScheme && i < colon; ++i)
        hasScheme = IsSchemeCharacter(text[i], i == 0);
    if (hasScheme) {
        url.m_scheme = text.substr(0, colon);
        position = colon + 1;
    }
    std::size_t const pathEnd = text.find_first_of("?#", position);
    std::string rest = text.substr(position, pathEnd == std::string::npos ? std::string::npos : pathEnd - position);
    if (rest.compare(0, 2, "//") == 0) {
        std::size_t const slash = rest.find('/', 2);
        auto host = PercentDecode(rest.substr(2, slash == std::string::npos ? std::string::npos : slash - 2));
        if (!host)
            return std::nullopt;
        url.m_host = *host;
        url.m_hasAuthority = true;
        rest = slash == std::string::npos ? std::string() : rest.substr(slash);
    }
    auto path = PercentDecode(rest);
    if (!path)
        return std::nullopt;
    // A NUL cannot be part of a file name; a path holding one names no file.
    if (EqualsIgnoringCase(url.m_scheme, "file") && path->find('\0') != std::string::npos)
        return std::nullopt;
    url.m_path = *path;
    return url;
}

URL URL::FileURLWithPath(std::string const& absolutePath)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text = "file://";
    for (char c : absolutePath) {
        auto const byte = static_cast<unsigned char>(c);
        if (NeedsNoEscape(byte)) {
            text += c;
        } else {
            text += '%';
            text += kHex[byte >> 4];
            text += kHex[byte & 0x0f];
        }
    }
    URL url;
    url.m_text = std::move(text);
    url.m_scheme = "file";
    url.m_hasAuthority = true;
    url.m_path = absolutePath;
    return url;
}

bool URL::isFileURL() const
{
    return EqualsIgnoringCase(m_scheme, "file") && (m_host.empty() || EqualsIgnoringCase(m_host, "localhost")) &&
           !m_path.empty() && m_path[0] == '/';
}

std::string URL::lastPathComponent() const
{
    std::size_t end = m_path.size();
    while (end > 1 && m_path[end - 1] == '/')
        --end;
    std::string const trimmed = m_path.substr(0, end);
    if (trimmed == "/")
        return trimmed;
    std::size_t const slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

std::string URL::pathExtension() const
{
    std::string const name = lastPathComponent();
    std::size_t const dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return {};
    return name.substr(dot + 1);
}

std::optional<std::string> URL::typeIdentifier(Bundle const& bundle) const
{
    if (!isFileURL())
        return std::nullopt;
    struct stat status{};
    if (::stat(m_path.c_str(), &status) != 0)
        return std::nullopt;
    if (S_ISDIR(status.st_mode))
        return std::string(kFolderTypeIdentifier);
    if (!S_ISREG(status.st_mode))
        return std::string(kItemTypeIdentifier);
    if (auto declared = bundle.TypeIdentifierForExtension(pathExtension()))
        return declared;
    return std::string(kDataTypeIdentifier);
}

std::optional<std::string> URL::typeIdentifier() const { return typeIdentifier(Bundle::Main()); }

} // namespace Brodix::Platform
