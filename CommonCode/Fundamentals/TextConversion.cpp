#include "Fundamentals/TextConversion.h"
#include "Fundamentals/Utf8.h"
#include <array>
#include <string_view>

namespace Brodix {

namespace {

constexpr char32_t kUndefined = U'?';

// Windows-1252 bytes 0x80..0x9F; the five the code page leaves undefined read as "?".
constexpr std::array<char32_t, 32> kWin1252High = {
    0x20AC, kUndefined, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, kUndefined, 0x017D, kUndefined,
    kUndefined, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, kUndefined, 0x017E, 0x0178,
};

bool IsUndefinedSlot(std::size_t slot)
{
    return slot == 0x01 || slot == 0x0D || slot == 0x0F || slot == 0x10 || slot == 0x1D;
}

// The byte for a code point of the 0x80..0x9F block, or -1.
int Win1252ByteFor(char32_t c)
{
    for (std::size_t slot = 0; slot < kWin1252High.size(); ++slot)
        if (!IsUndefinedSlot(slot) && kWin1252High[slot] == c)
            return static_cast<int>(0x80 + slot);
    return -1;
}

// A byte that does not start a well-formed sequence stands for the code
// point of the same value (read as Latin-1), so that text in another
// encoding keeps one character per byte instead of being lost.
template <typename String>
String ExpandUtf8Into(std::string const& utf8)
{
    String out;
    out.reserve(utf8.size());
    std::string_view rest = utf8;
    while (!rest.empty()) {
        if (auto const decoded = Utf8::DecodeOne(rest)) {
            out.push_back(static_cast<typename String::value_type>(decoded->codePoint));
            rest.remove_prefix(decoded->length);
        } else {
            out.push_back(static_cast<typename String::value_type>(static_cast<unsigned char>(rest.front())));
            rest.remove_prefix(1);
        }
    }
    return out;
}

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

char32_t CombineSurrogates(char32_t high, char32_t low)
{
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}

} // namespace

std::wstring Win1252ToUnicode(char const* text)
{
    std::wstring out;
    if (text == nullptr)
        return out;
    for (; *text != '\0'; ++text) {
        auto const byte = static_cast<unsigned char>(*text);
        out.push_back(byte >= 0x80 && byte < 0xA0 ? static_cast<wchar_t>(kWin1252High[byte - 0x80])
                                                  : static_cast<wchar_t>(byte));
    }
    return out;
}

std::string UnicodeToWin1252(wchar_t const* text, int replacement)
{
    std::string out;
    if (text == nullptr)
        return out;
    auto const replace = [&] {
        if (replacement != -1)
            out.push_back(static_cast<char>(replacement));
    };
    for (; *text != L'\0'; ++text) {
        auto const c = static_cast<char32_t>(*text);
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.push_back(static_cast<char>(c));
        } else if ((c & ~char32_t{0x7FF}) != 0xD800) {
            int const byte = Win1252ByteFor(c);
            if (byte >= 0)
                out.push_back(static_cast<char>(byte));
            else
                replace();
        } else if (c < 0xDC00) {
            replace();   // a high surrogate stands for the whole pair
        }
    }
    return out;
}

std::wstring ExpandUtf8(std::string const& utf8) { return ExpandUtf8Into<std::wstring>(utf8); }
std::u32string ExpandUtf8ToU32(std::string const& utf8) { return ExpandUtf8Into<std::u32string>(utf8); }

void AppendUtf8(unsigned int c, std::string& out)
{
    if (!Utf8::Encode(c, out))
        out += Utf8::kReplacementBytes;
}

std::wstring makeWString(std::string const& platformString) { return ExpandUtf8(platformString); }

std::wstring makeWString(char const* platformString)
{
    return platformString == nullptr ? std::wstring() : ExpandUtf8(platformString);
}

std::string makeNSString(wchar_t const* text)
{
    std::string out;
    if (text == nullptr)
        return out;
    for (; *text != L'\0'; ++text) {
        auto const c = static_cast<char32_t>(*text);
        // Text read as 16-bit units (VP3 strings) can hold a surrogate pair.
        if (IsHighSurrogate(c) && IsLowSurrogate(static_cast<char32_t>(text[1]))) {
            AppendUtf8(CombineSurrogates(c, static_cast<char32_t>(text[1])), out);
            ++text;
        } else {
            AppendUtf8(c, out);
        }
    }
    return out;
}

std::FILE* wfopen(wchar_t const* path, wchar_t const* mode)
{
    if (path == nullptr || mode == nullptr)
        return nullptr;
    return std::fopen(makeNSString(path).c_str(), makeNSString(mode).c_str());
}

} // namespace Brodix
