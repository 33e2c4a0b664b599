// How qel-stitch writes the design model's values for people and scripts.
#pragma once
#include "Fundamentals/TextConversion.h"
#include <cstdio>
#include <string>

namespace QelStitch {

// Thread texts are Windows-1252 in the model; the terminal gets UTF-8.
inline std::string Utf8FromWin1252(char const* win1252)
{
    return Brodix::makeNSString(Brodix::Win1252ToUnicode(win1252).c_str());
}

// RRGGBB from the model's 0x00BBGGRR.
inline std::string RgbHex(unsigned bgr)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
    return text;
}

// Design units are tenths of a millimetre.
inline std::string Millimetres(double tenths)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", tenths / 10.0);
    return text;
}

} // namespace QelStitch
