// The PES reader and writer: a version header followed by one Brother
// card-data block per hoop position. Each block becomes one design; the blocks
// of a multi-position hoop are placed relative to each other, and colours
// continue across blocks. The writer makes version 1 files of one block.
#pragma once
#include "StitchFormats/BaseReadWrite.h"
#include "StitchFormats/PesHeaders.h"

class CPESReadWrite : public CBaseReadWrite {
public:
    static constexpr int kStatusUnknownVersion = 2;   // a version no header class reads

    using CBaseReadWrite::CBaseReadWrite;

    // Writes the designs merged as a version 1 file (CStitches::BrotherPESSave).
    [[nodiscard]] int Save(IArchiverRetriever& retriever, ISaveInformation* information, ITvkVipCodec* codec) override;
    [[nodiscard]] int Load(IArchiverStream& stream, ICharEncoding* encoding, ITvkVipCodec* codec, IZLib* zlib,
                           std::wstring* wideArgument) override;

    // 0, 2 (unknown version, or several blocks on a single-position hoop), 4 or 5.
    // A version newer than every known header is read from its PEC section
    // alone (5 when its offset leads to none). Colours are the designer's
    // threads where the PES section lists one per colour, else the palette's.
    [[nodiscard]] int BrotherPESLoad(IArchiverStream& stream, ICharEncoding* encoding);

    // The hoop position rectangles (tenths of a millimetre) of the header's hoop
    // type; returns their number and writes them when rects is not null.
    static int GetHoopRects(BasePESHeader* header, RectI* rects);
    // The hoop position of a block from its 48-byte block header; -1 for a
    // custom grid cell outside the grid.
    static int GetHoopPos(BasePESHeader* header, unsigned char* blockHeader);
    // out[k] = the RGB of Brother palette index indices[k] (counted from 1).
    static void HandleBrotherColoursEx(int* out, int n, unsigned char* indices);
};
