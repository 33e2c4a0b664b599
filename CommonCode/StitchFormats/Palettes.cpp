// The fixed machine palettes, the colour distance shared by every search, and
// the lookups in the thread catalogues.
#include "StitchFormats/Palettes.h"

#include "StitchFormats/ThreadCatalogues.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

using Brodix::ColourData;
using Brodix::StitchFormats::ColourBaseIndex;
using Brodix::StitchFormats::ColourBases;
using Brodix::StitchFormats::details;
using Brodix::StitchFormats::NumColourBases;
using Brodix::StitchFormats::ThreadCatalogueEntry;

unsigned char const TovenrikCols[NumTovenrikCols][3] = {
    {0x00, 0x00, 0x00}, {0x00, 0x00, 0xFF}, {0x00, 0xFF, 0x00}, {0xFF, 0x00, 0x00},
    {0xFF, 0x00, 0xFF}, {0xFF, 0xFF, 0x00}, {0x80, 0x80, 0x80}, {0x00, 0x80, 0xFF},
    {0x00, 0xFF, 0x80}, {0xFF, 0x80, 0x00}, {0xFF, 0xA0, 0xB4}, {0xC0, 0x40, 0x00},
    {0xFF, 0xFF, 0xFF}, {0x00, 0x00, 0x80}, {0x00, 0x80, 0x00}, {0xA0, 0x00, 0x00},
    {0xFF, 0x78, 0x78}, {0x80, 0x00, 0x80}, {0xFF, 0x80, 0xFF}, {0xC0, 0xC0, 0x00},
    {0xFF, 0xFF, 0xA0}, {0x40, 0x40, 0x40}, {0xC0, 0xC0, 0xC0}, {0xE4, 0x40, 0x00},
    {0xFF, 0xAE, 0x40}, {0xFF, 0x5A, 0x78}, {0xFF, 0xD0, 0xD0}, {0x80, 0x20, 0x00},
    {0xE6, 0x60, 0x24},
};

unsigned char const BrotherCols[NumBrotherPaletteEntries][3] = {
    {0x0E, 0x1F, 0x7C}, {0x0A, 0x55, 0xA3}, {0x00, 0x87, 0x77}, {0x4B, 0x6B, 0xAF},
    {0xED, 0x17, 0x1F}, {0xD1, 0x5C, 0x00}, {0x91, 0x36, 0x97}, {0xE4, 0x9A, 0xCB},
    {0x91, 0x5F, 0xAC}, {0x9E, 0xD6, 0x7D}, {0xE8, 0xA9, 0x00}, {0xFE, 0xBA, 0x35},
    {0xFF, 0xFF, 0x00}, {0x70, 0xBC, 0x1F}, {0xBA, 0x98, 0x00}, {0xA8, 0xA8, 0xA8},
    {0x7D, 0x6F, 0x00}, {0xFF, 0xFF, 0xB3}, {0x4F, 0x55, 0x56}, {0x00, 0x00, 0x00},
    {0x0B, 0x3D, 0x91}, {0x77, 0x01, 0x76}, {0x29, 0x31, 0x33}, {0x2A, 0x13, 0x01},
    {0xF6, 0x4A, 0x8A}, {0xB2, 0x76, 0x24}, {0xFC, 0xBB, 0xC4}, {0xFE, 0x37, 0x0F},
    {0xF0, 0xF0, 0xF0}, {0x6A, 0x1C, 0x8A}, {0xA8, 0xDD, 0xC4}, {0x25, 0x84, 0xBB},
    {0xFE, 0xB3, 0x43}, {0xFF, 0xF0, 0x8D}, {0xD0, 0xA6, 0x60}, {0xD1, 0x54, 0x00},
    {0x66, 0xBA, 0x49}, {0x13, 0x4A, 0x46}, {0x87, 0x87, 0x87}, {0xD8, 0xCC, 0xC6},
    {0x43, 0x56, 0x07}, {0xFE, 0xE3, 0xC5}, {0xF9, 0x93, 0xBC}, {0x00, 0x38, 0x22},
    {0xB2, 0xAF, 0xD4}, {0x68, 0x6A, 0xB0}, {0xEF, 0xE3, 0xB9}, {0xF7, 0x38, 0x66},
    {0xB5, 0x4C, 0x64}, {0x13, 0x2B, 0x1A}, {0xC7, 0x01, 0x56}, {0xFE, 0x9E, 0x32},
    {0xA8, 0xDE, 0xEB}, {0x00, 0x67, 0x3E}, {0x4E, 0x29, 0x90}, {0x2F, 0x7E, 0x20},
    {0xFD, 0xD9, 0xDE}, {0xFF, 0xD9, 0x11}, {0x09, 0x5B, 0xA6}, {0xF0, 0xF9, 0x70},
    {0xE3, 0xF3, 0x5B}, {0xFF, 0xC8, 0x64}, {0xFF, 0xC8, 0x96}, {0xFF, 0xC8, 0xC8},
    {0xDC, 0xDC, 0xDC},
};

// The 27 card image bytes after each code are not known; they stay zero, so
// the card writers print a blank code image.
unsigned char const BrotherCodes[NumBrotherCols][BrotherCodeSize] = {
    {0, 0, 7}, {4, 0, 5}, {5, 3, 4}, {0, 7, 0}, {8, 0, 0}, {3, 3, 7}, {6, 2, 0}, {8, 1, 0},
    {6, 1, 2}, {5, 0, 2}, {2, 1, 4}, {2, 0, 8}, {2, 0, 5}, {5, 1, 3}, {3, 2, 8}, {0, 0, 5},
    {3, 3, 0}, {0, 1, 0}, {7, 0, 4}, {9, 0, 0}, {4, 0, 6}, {8, 6, 9}, {7, 0, 7}, {0, 5, 8},
    {0, 8, 6}, {3, 2, 3}, {0, 7, 9}, {0, 3, 0}, {0, 0, 1}, {6, 1, 3}, {5, 4, 2}, {0, 1, 9},
    {1, 2, 6}, {8, 1, 2}, {3, 4, 8}, {3, 3, 9}, {5, 0, 9}, {4, 1, 5}, {8, 1, 7}, {3, 9, 9},
    {5, 1, 7}, {3, 0, 7}, {0, 8, 5}, {8, 0, 8}, {8, 0, 4}, {6, 0, 7}, {8, 4, 3}, {8, 0, 7},
    {3, 3, 3}, {5, 1, 9}, {1, 0, 7}, {2, 0, 9}, {0, 1, 7}, {5, 0, 7}, {6, 1, 4}, {5, 1, 5},
    {1, 2, 4}, {2, 0, 6}, {4, 2, 0}, {2, 0, 2}, {0, 2, 7},
};

unsigned char const NewSewCols[NumSewColsNew][3] = {
    {0x00, 0x00, 0x00}, {0xFF, 0xFF, 0xFF}, {0xFF, 0xFF, 0x10}, {0xFF, 0x60, 0x00},
    {0x2F, 0x50, 0x2F}, {0x1F, 0x6F, 0x30}, {0x60, 0xBF, 0xC0}, {0xA0, 0x50, 0x90},
    {0xF0, 0x60, 0x9F}, {0xFF, 0x00, 0x00}, {0xAF, 0x6F, 0x4F}, {0x00, 0x2F, 0x80},
    {0xE0, 0xBF, 0x5F}, {0x40, 0x10, 0x00}, {0xAF, 0x9F, 0xC0}, {0xFF, 0xEF, 0x90},
    {0xF0, 0x90, 0xB0}, {0xF0, 0xAF, 0x7F}, {0xC0, 0xA0, 0x7F}, {0x90, 0x00, 0x2F},
    {0x9F, 0xB0, 0xCF}, {0x7F, 0xBF, 0x1F}, {0xE0, 0xE0, 0xE0}, {0x80, 0x90, 0x90},
    {0x90, 0xD0, 0xBF}, {0xAF, 0xDF, 0xDF}, {0x30, 0x80, 0x9F}, {0x4F, 0x7F, 0xA0},
    {0x30, 0x60, 0x8F}, {0x00, 0x10, 0x4F}, {0xF0, 0x90, 0x9F}, {0xF0, 0x60, 0x60},
    {0xDF, 0x2F, 0x1F}, {0xDF, 0x9F, 0x80}, {0xB0, 0x90, 0x70}, {0xE0, 0xCF, 0x90},
    {0xFF, 0xC0, 0x00}, {0xDF, 0xAF, 0xD0}, {0xBF, 0x00, 0x7F}, {0x7F, 0x00, 0x40},
    {0x50, 0x00, 0x6F}, {0xAF, 0x00, 0x20}, {0xC0, 0xDF, 0xBF}, {0x80, 0x90, 0x50},
    {0x5F, 0x90, 0x10}, {0x00, 0x2F, 0x10}, {0x5F, 0xAF, 0x90}, {0x4F, 0xBF, 0x8F},
    {0x00, 0x70, 0x6F}, {0x50, 0x50, 0x5F}, {0xFF, 0xFF, 0xEF}, {0xAF, 0x50, 0x10},
    {0xC0, 0x80, 0x00}, {0x90, 0x6F, 0x7F}, {0x90, 0x60, 0x2F}, {0x4F, 0x30, 0x10},
    {0x4F, 0x2F, 0x00}, {0x2F, 0x1F, 0x00}, {0x4F, 0x30, 0x90}, {0x0F, 0x1F, 0x7F},
    {0x1F, 0x70, 0xAF}, {0xAF, 0xDF, 0x4F}, {0xEF, 0x30, 0x80}, {0xDF, 0x60, 0x9F},
    {0x90, 0x3F, 0x5F}, {0x4F, 0x50, 0x0F}, {0x4F, 0x80, 0x1F}, {0xE0, 0xDF, 0x70},
    {0xC0, 0x80, 0x10}, {0xC0, 0x9F, 0x1F}, {0xFF, 0x90, 0x00}, {0xFF, 0xAF, 0x50},
    {0xFF, 0xE0, 0x00}, {0xEF, 0x2F, 0x1F}, {0x10, 0x80, 0x2F}, {0x30, 0x6F, 0xAF},
    {0xDF, 0xC0, 0xB0}, {0xDF, 0xAF, 0x7F},
};

unsigned char const NewSewColsSpecial[NumSewColsNew][4] = {
    {0, 0x00, 0x00, 0x00}, {1, 0xFF, 0xFF, 0xFF}, {2, 0xFF, 0xFF, 0x10}, {3, 0xFF, 0x60, 0x00},
    {4, 0x2F, 0x50, 0x2F}, {5, 0x1F, 0x6F, 0x30}, {6, 0x60, 0xBF, 0xC0}, {7, 0xA0, 0x50, 0x90},
    {8, 0xF0, 0x60, 0x9F}, {9, 0xFF, 0x00, 0x00}, {10, 0xAF, 0x6F, 0x4F}, {11, 0x00, 0x2F, 0x80},
    {12, 0xE0, 0xBF, 0x5F}, {13, 0x40, 0x10, 0x00}, {14, 0xAF, 0x9F, 0xC0}, {15, 0xFF, 0xEF, 0x90},
    {16, 0xF0, 0x90, 0xB0}, {17, 0xF0, 0xAF, 0x7F}, {18, 0xC0, 0xA0, 0x7F}, {19, 0x90, 0x00, 0x2F},
    {20, 0x9F, 0xB0, 0xCF}, {21, 0x7F, 0xBF, 0x1F}, {22, 0xE0, 0xE0, 0xE0}, {23, 0x80, 0x90, 0x90},
    {24, 0x90, 0xD0, 0xBF}, {25, 0xAF, 0xDF, 0xDF}, {26, 0x30, 0x80, 0x9F}, {27, 0x4F, 0x7F, 0xA0},
    {28, 0x30, 0x60, 0x8F}, {29, 0x00, 0x10, 0x4F}, {30, 0xF0, 0x90, 0x9F}, {31, 0xF0, 0x60, 0x60},
    {32, 0xDF, 0x2F, 0x1F}, {33, 0xDF, 0x9F, 0x80}, {34, 0xB0, 0x90, 0x70}, {35, 0xE0, 0xCF, 0x90},
    {36, 0xFF, 0xC0, 0x00}, {37, 0xDF, 0xAF, 0xD0}, {38, 0xBF, 0x00, 0x7F}, {39, 0x7F, 0x00, 0x40},
    {40, 0x50, 0x00, 0x6F}, {41, 0xAF, 0x00, 0x20}, {42, 0xC0, 0xDF, 0xBF}, {43, 0x80, 0x90, 0x50},
    {44, 0x5F, 0x90, 0x10}, {45, 0x00, 0x2F, 0x10}, {46, 0x5F, 0xAF, 0x90}, {47, 0x4F, 0xBF, 0x8F},
    {48, 0x00, 0x70, 0x6F}, {49, 0x50, 0x50, 0x5F}, {50, 0xFF, 0xFF, 0xEF}, {51, 0xAF, 0x50, 0x10},
    {52, 0xC0, 0x80, 0x00}, {53, 0x90, 0x6F, 0x7F}, {54, 0x90, 0x60, 0x2F}, {55, 0x4F, 0x30, 0x10},
    {56, 0x4F, 0x2F, 0x00}, {57, 0x2F, 0x1F, 0x00}, {58, 0x4F, 0x30, 0x90}, {59, 0x0F, 0x1F, 0x7F},
    {60, 0x1F, 0x70, 0xAF}, {61, 0xAF, 0xDF, 0x4F}, {62, 0xEF, 0x30, 0x80}, {63, 0xDF, 0x60, 0x9F},
    {64, 0x90, 0x3F, 0x5F}, {65, 0x4F, 0x50, 0x0F}, {66, 0x4F, 0x80, 0x1F}, {67, 0xE0, 0xDF, 0x70},
    {68, 0xC0, 0x80, 0x10}, {69, 0xC0, 0x9F, 0x1F}, {70, 0xFF, 0x90, 0x00}, {71, 0xFF, 0xAF, 0x50},
    {72, 0xFF, 0xE0, 0x00}, {73, 0xEF, 0x2F, 0x1F}, {74, 0x10, 0x80, 0x2F}, {75, 0x30, 0x6F, 0xAF},
    {76, 0xDF, 0xC0, 0xB0}, {77, 0xDF, 0xAF, 0x7F},
};

rgbData const PcsCols[NumPcsCols] = {
    {0x00, 0x00, 0x00, 0}, {0x00, 0x00, 0x80, 0}, {0x00, 0x00, 0xFF, 0}, {0x00, 0x80, 0x80, 0},
    {0x00, 0xFF, 0xFF, 0}, {0x80, 0x00, 0x80, 0}, {0xFF, 0x00, 0xFF, 0}, {0x80, 0x00, 0x00, 0},
    {0xFF, 0x00, 0x00, 0}, {0x00, 0x80, 0x00, 0}, {0x00, 0xFF, 0x00, 0}, {0x80, 0x80, 0x00, 0},
    {0xFF, 0xFF, 0x00, 0}, {0x80, 0x80, 0x80, 0}, {0xC0, 0xC0, 0xC0, 0}, {0xFF, 0xFF, 0xFF, 0},
};

namespace {

// A search keeps only candidates nearer than this; beyond it, index 0 stands.
constexpr double kMaxDistance = 255.0;
constexpr unsigned kNoOldColour = 0xFF0000;   // blue
constexpr int kMaxOldCode = 99999;
constexpr int kLongestPaddedOldCode = 999;
constexpr int kDravoPaletteSize = 15;
constexpr unsigned kRGBMask = 0xFFFFFF;

struct Colour {
    double r;
    double g;
    double b;
};

Colour ColourOf(unsigned rgb)
{
    return {double(rgb & 0xFF), double(rgb >> 8 & 0xFF), double(rgb >> 16 & 0xFF)};
}

double Luminance(Colour c)
{
    return 0.349 * c.r + 0.537 * c.g + 0.114 * c.b;
}

// Euclidean RGB distance plus half the luminance difference.
double Distance(Colour candidate, Colour target)
{
    double const dr = candidate.r - target.r;
    double const dg = candidate.g - target.g;
    double const db = candidate.b - target.b;
    return std::sqrt(dr * dr + dg * dg + db * db) + 0.5 * std::fabs(Luminance(candidate) - Luminance(target));
}

// Strictly smaller only, so the first of equal candidates wins.
template <typename ColourAt>
int Nearest(Colour target, int n, ColourAt colourAt)
{
    double best = kMaxDistance;
    int bestIndex = 0;
    for (int i = 0; i < n; ++i) {
        double const d = Distance(colourAt(i), target);
        if (d < best) {
            best = d;
            bestIndex = i;
        }
    }
    return bestIndex;
}

unsigned EntryRGB(unsigned char const (&entry)[3])
{
    return RGBFromBytes(entry[0], entry[1], entry[2]);
}

bool SameRGB(rgbData a, rgbData b)
{
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

unsigned EntryRGB(ThreadCatalogueEntry const& entry)
{
    return RGBFromBytes(entry.red, entry.green, entry.blue);
}

ThreadCatalogueEntry const* FindExact(ThreadCatalogueEntry const* catalogue, unsigned rgb)
{
    for (; catalogue->code != nullptr; ++catalogue)
        if (EntryRGB(*catalogue) == (rgb & kRGBMask))
            return catalogue;
    return nullptr;
}

// The nearest entry, or null when none is nearer than kMaxDistance.
ThreadCatalogueEntry const* FindNearest(ThreadCatalogueEntry const* catalogue, unsigned rgb)
{
    Colour const target = ColourOf(rgb);
    double best = kMaxDistance;
    ThreadCatalogueEntry const* bestEntry = nullptr;
    for (; catalogue->code != nullptr; ++catalogue) {
        double const d = Distance({double(catalogue->red), double(catalogue->green), double(catalogue->blue)}, target);
        if (d < best) {
            best = d;
            bestEntry = catalogue;
        }
    }
    return bestEntry;
}

int FindInPalette(unsigned const* palette, int size, unsigned rgb)
{
    for (int i = 0; i < size; ++i)
        if (palette[i] == rgb)
            return i;
    return -1;
}

unsigned NearestTovenrik(unsigned rgb)
{
    return GetTovenrikRGB(Brodix::StitchFormats::GetClosestTovenrikToRGB(rgb));
}

unsigned NearestBrother(unsigned rgb)
{
    unsigned char out[3];
    GetClosestBrotherToRGB(RgbDataFromRGB(rgb), out, nullptr, nullptr);
    return RGBFromBytes(out[0], out[1], out[2]);
}

unsigned NearestJanome(unsigned rgb)
{
    return GetExtendedSewRGB(GetClosestSewToRGB(RgbDataFromRGB(rgb)));
}

} // namespace

unsigned GetTovenrikRGB(int i)
{
    return i >= 0 && i < NumTovenrikCols ? EntryRGB(TovenrikCols[i]) : 0;
}

unsigned GetBrotherRGB(int i)
{
    return i >= 0 && i < NumBrotherPaletteEntries ? EntryRGB(BrotherCols[i]) : 0;
}

unsigned GetExtendedSewRGB(int code)
{
    for (auto const& entry : NewSewColsSpecial)
        if (entry[0] == code)
            return RGBFromBytes(entry[1], entry[2], entry[3]);
    return 0;
}

int GetNearestColour(double r, double g, double b, int n, unsigned char const (*table)[3])
{
    return Nearest({r, g, b}, n, [table](int i) {
        return Colour{double(table[i][0]), double(table[i][1]), double(table[i][2])};
    });
}

int GetNearestColourA(unsigned rgb, int n, rgbData const* table)
{
    rgbData const target = RgbDataFromRGB(rgb);
    for (int i = 0; i < n; ++i)
        if (SameRGB(table[i], target))
            return i;
    return Nearest(ColourOf(rgb), n, [table](int i) {
        return Colour{double(table[i].red), double(table[i].green), double(table[i].blue)};
    });
}

int GetClosestBrotherToRGB(rgbData rgb, unsigned char* rgbOut, unsigned char* codeOut, unsigned char* imageOut)
{
    int const i = GetNearestColour(rgb.red, rgb.green, rgb.blue, NumBrotherCols, BrotherCols);
    if (rgbOut != nullptr)
        std::memcpy(rgbOut, BrotherCols[i], 3);
    if (codeOut != nullptr)
        std::memcpy(codeOut, BrotherCodes[i], BrotherCodeDigits);
    if (imageOut != nullptr)
        std::memcpy(imageOut, BrotherCodes[i] + BrotherCodeDigits, BrotherCodeImageBytes);
    return i;
}

int GetClosestSewToRGB(rgbData rgb)
{
    return NewSewColsSpecial[GetNearestColour(rgb.red, rgb.green, rgb.blue, NumSewColsNew, NewSewCols)][0];
}

int NumberDistinctRGB(rgbData const* values, int n, rgbData* out)
{
    // Without an output the earlier values themselves serve as the list seen so far.
    int count = 0;
    for (int i = 0; i < n; ++i) {
        bool seen = false;
        if (out != nullptr) {
            for (int k = 0; k < count && !seen; ++k)
                seen = SameRGB(out[k], values[i]);
        } else {
            for (int k = 0; k < i && !seen; ++k)
                seen = SameRGB(values[k], values[i]);
        }
        if (seen)
            continue;
        if (out != nullptr)
            out[count] = values[i];
        ++count;
    }
    return count;
}

void SetToPcsCols(rgbData* out)
{
    std::memcpy(out, PcsCols, sizeof PcsCols);
}

void ReduceDravoPalette(unsigned* colours, int n)
{
    unsigned palette[kDravoPaletteSize];
    int size = 0;
    bool overflow = false;
    for (int i = 0; i < n && !overflow; ++i) {
        unsigned const rgb = colours[i] & kRGBMask;
        if (FindInPalette(palette, size, rgb) >= 0)
            continue;
        if (size == kDravoPaletteSize)
            overflow = true;
        else
            palette[size++] = rgb;
    }
    if (!overflow)
        return;

    unsigned char table[kDravoPaletteSize][3];
    for (int k = 0; k < kDravoPaletteSize; ++k) {
        rgbData const entry = RgbDataFromRGB(palette[k]);
        table[k][0] = entry.red;
        table[k][1] = entry.green;
        table[k][2] = entry.blue;
    }
    for (int i = 0; i < n; ++i) {
        unsigned const rgb = colours[i] & kRGBMask;
        if (FindInPalette(palette, kDravoPaletteSize, rgb) >= 0)
            continue;
        Colour const c = ColourOf(rgb);
        colours[i] = palette[GetNearestColour(c.r, c.g, c.b, kDravoPaletteSize, table)];
    }
}

void ConvertColoursToFormat(unsigned* colours, int n, int convertType)
{
    unsigned (*nearest)(unsigned) = nullptr;
    switch (convertType) {
    case 1:
        nearest = NearestTovenrik;
        break;
    case 4:
        ReduceDravoPalette(colours, n);
        return;
    case 6:
    case 7:
    case 8:
        nearest = NearestBrother;
        break;
    case 10:
        nearest = NearestJanome;
        break;
    default:
        return;
    }
    for (int i = 0; i < n; ++i)
        colours[i] = nearest(colours[i]);
}

void GetNearestColourData(ColourData& out, unsigned rgb, int colourType)
{
    out = ColourData{};
    out.numberColours = 1;
    out.lengths[0] = 1;

    int const base = ColourBaseIndex(colourType);
    ThreadCatalogueEntry const* entry = FindExact(ColourBases[base], rgb);
    unsigned colour = rgb;
    if (entry == nullptr) {
        entry = FindNearest(ColourBases[base], rgb);
        if (entry == nullptr)
            return;
        colour = EntryRGB(*entry);
    }
    out.colours[0] = colour;
    out.materialType = details[base].materialType;
    out.threadWeight = details[base].threadWeight;
    Brodix::ColourDataEx::Copy(out.serialNumber, entry->code);
    Brodix::ColourDataEx::Copy(out.threadName, entry->name);
    Brodix::ColourDataEx::Copy(out.manufacturerName, details[base].manufacturer);
}

unsigned GetOldColourRGB(int colourType, int code)
{
    code = code < 0 ? 0 : code > kMaxOldCode ? kMaxOldCode : code;
    // Charts whose codes are printed with four digits.
    bool const padded = (colourType == 1 || colourType == 2 || colourType == 7) && code <= kLongestPaddedOldCode;
    char text[8];
    std::snprintf(text, sizeof text, padded ? "%04d" : "%d", code);

    for (ThreadCatalogueEntry const* entry = ColourBases[ColourBaseIndex(colourType)]; entry->code != nullptr; ++entry)
        if (std::strcmp(entry->code, text) == 0)
            return EntryRGB(*entry);
    return kNoOldColour;
}

int GetVipFormatColours(unsigned& rgb, ColourData const& colour)
{
    // The name field need not be terminated. Every catalogue's name contains
    // an empty one, so a colour without a manufacturer takes the last catalogue.
    std::string_view const name(colour.manufacturerName, strnlen(colour.manufacturerName, sizeof colour.manufacturerName));
    int base = Brodix::StitchFormats::FallbackColourBase;
    for (int t = 0; t < NumColourBases; ++t)
        if (std::string_view(details[t].manufacturer).find(name) != std::string_view::npos)
            base = t;

    unsigned const own = colour.colours[0];
    if (FindExact(ColourBases[base], own) != nullptr)
        rgb = own;
    else if (ThreadCatalogueEntry const* nearest = FindNearest(ColourBases[base], own))
        rgb = EntryRGB(*nearest);
    return base;
}

namespace Brodix::StitchFormats {

int GetClosestTovenrikToRGB(unsigned rgb)
{
    Colour const c = ColourOf(rgb);
    return GetNearestColour(c.r, c.g, c.b, NumTovenrikCols, TovenrikCols);
}

void GetNearestColourData(ColourData& out, unsigned rgb, int colourType)
{
    ::GetNearestColourData(out, rgb, colourType);
}

} // namespace Brodix::StitchFormats
