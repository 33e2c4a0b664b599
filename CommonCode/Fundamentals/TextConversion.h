// Conversions between the three text encodings of the system: wide strings
// (32-bit code points) in the model, Windows-1252 in the stitch formats and
// UTF-8 at the platform boundary (the platform string type is std::string).
#pragma once
#include <cstdio>
#include <string>

namespace Brodix {

std::wstring Win1252ToUnicode(char const* text);
// replacement -1 drops characters that have no Windows-1252 byte.
std::string UnicodeToWin1252(wchar_t const* text, int replacement);

// A byte that does not start a well-formed UTF-8 sequence becomes the code
// point of the same value (Latin-1), one character per byte.
std::wstring ExpandUtf8(std::string const& utf8);
std::u32string ExpandUtf8ToU32(std::string const& utf8);
// A surrogate or a value above U+10FFFF is written as U+FFFD.
void AppendUtf8(unsigned int codePoint, std::string& out);

std::wstring makeWString(std::string const& platformString);
std::wstring makeWString(char const* platformString);   // null gives the empty string
// Null gives the empty string; a surrogate pair becomes its one code point.
std::string makeNSString(wchar_t const* text);

std::FILE* wfopen(wchar_t const* path, wchar_t const* mode);

} // namespace Brodix
