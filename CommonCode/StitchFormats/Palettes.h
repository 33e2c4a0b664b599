// The machine makers' fixed thread palettes (Tovenrik, Brother, Janome, PCS),
// the nearest-colour search that maps an RGB value onto them, and the lookups
// in the built-in thread catalogues. RGB values are 0x00BBGGRR (red in the low
// byte); palette entries are stored as red, green, blue bytes.
#pragma once
#include "Fundamentals/ColourData.h"

// A four-byte palette entry; the fourth byte is padding that no search reads.
struct rgbData {
    unsigned char red;
    unsigned char green;
    unsigned char blue;
    unsigned char fourth;
};

inline constexpr int NumTovenrikCols = 29;
inline constexpr int NumBrotherPaletteEntries = 65;
inline constexpr int NumBrotherCols = 61;   // the entries that searches consider and that have codes
inline constexpr int NumSewColsNew = 78;
inline constexpr int NumPcsCols = 16;
inline constexpr int BrotherCodeDigits = 3;
inline constexpr int BrotherCodeImageBytes = 27;
inline constexpr int BrotherCodeSize = BrotherCodeDigits + BrotherCodeImageBytes;

extern unsigned char const TovenrikCols[NumTovenrikCols][3];
extern unsigned char const BrotherCols[NumBrotherPaletteEntries][3];
// Three code digits (one value 0..9 per byte), then the card image of the code.
extern unsigned char const BrotherCodes[NumBrotherCols][BrotherCodeSize];
extern unsigned char const NewSewCols[NumSewColsNew][3];
extern unsigned char const NewSewColsSpecial[NumSewColsNew][4];   // code, red, green, blue
extern rgbData const PcsCols[NumPcsCols];

inline unsigned RGBFromBytes(unsigned char red, unsigned char green, unsigned char blue)
{
    return unsigned(red) | unsigned(green) << 8 | unsigned(blue) << 16;
}

inline rgbData RgbDataFromRGB(unsigned rgb)
{
    return {static_cast<unsigned char>(rgb), static_cast<unsigned char>(rgb >> 8),
            static_cast<unsigned char>(rgb >> 16), 0};
}

// Palette lookups: an index outside the palette gives 0 (black).
unsigned GetTovenrikRGB(int i);

// Formats that store no colours give colour n Tovenrik entry 1..28 in turn.
inline constexpr int kTovenrikCycle = 28;
inline constexpr int CycledTovenrikIndex(int colour) { return colour % kTovenrikCycle + 1; }
unsigned GetBrotherRGB(int i);
unsigned GetExtendedSewRGB(int code);

// Index of the best of the first n entries; 0 when n < 1 or no entry is near enough.
int GetNearestColour(double r, double g, double b, int n, unsigned char const (*table)[3]);
int GetNearestColourA(unsigned rgb, int n, rgbData const* table);

// Nearest of the coded Brother entries; each non-null output receives its 3 RGB
// bytes, 3 code digits or 27 image bytes. Returns the index.
int GetClosestBrotherToRGB(rgbData rgb, unsigned char* rgbOut, unsigned char* codeOut, unsigned char* imageOut);
// The Janome code of the nearest Janome entry.
int GetClosestSewToRGB(rgbData rgb);

// Writes the distinct colours among the first n values, in order of first
// appearance, to out (when not null) and returns their number. Entries are
// compared by red, green and blue.
int NumberDistinctRGB(rgbData const* values, int n, rgbData* out);

// Copies the 16-entry default PCS palette to out.
void SetToPcsCols(rgbData* out);

// With 16 or more distinct colours, keeps the first 15 distinct ones and
// replaces every other colour by its nearest among them; fewer stay as they are.
void ReduceDravoPalette(unsigned* colours, int n);

// Writers' palette conversion of n colours for a format's convert type:
// 1 Tovenrik, 4 PCS (ReduceDravoPalette), 6, 7 and 8 Brother, 10 Janome;
// any other type leaves the colours as they are.
void ConvertColoursToFormat(unsigned* colours, int n, int convertType);

// Fills a thread record for the RGB value from the catalogue of the colour type.
void GetNearestColourData(Brodix::ColourData& out, unsigned rgb, int colourType);
// The RGB of the catalogue entry whose code text matches a numeric code, or
// 0xFF0000 (blue) when there is none.
unsigned GetOldColourRGB(int colourType, int code);
// The last catalogue whose manufacturer text contains the colour's
// manufacturer name (catalogue 1 when none does), with rgb set to the colour's RGB
// when that catalogue holds it exactly, else to the nearest entry's RGB.
int GetVipFormatColours(unsigned& rgb, Brodix::ColourData const& colour);

namespace Brodix::StitchFormats {

int GetClosestTovenrikToRGB(unsigned rgb);
void GetNearestColourData(ColourData& out, unsigned rgb, int colourType);

} // namespace Brodix::StitchFormats
