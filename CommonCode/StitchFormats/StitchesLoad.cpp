// Picks the reader of a Format and checks what it produced: one colour more
// than there are colour-change records, or the load is refused.
#include "StitchFormats/Stitches.h"

int CStitches::Load(IArchiverStream& stream, Format format, ICharEncoding* encoding, ITvkVipCodec* codec, IZLib* zlib,
                    std::wstring* wideArgument)
{
    int const status = ReadFormat(stream, format, encoding, codec, zlib, wideArgument);
    if (status != kStatusOk)
        return status;
    if (GetActualColourCount() + 1 != GetNumberColours())
        return kStatusRefused;
    return kStatusOk;
}

// One case per reader; a Format without a reader here (PES is read by its
// own object, see ReadWriteFactory) is reported, never faked.
int CStitches::ReadFormat(IArchiverStream& stream, Format format, ICharEncoding* encoding, ITvkVipCodec* codec,
                          IZLib* zlib, std::wstring* wideArgument)
{
    switch (static_cast<int>(format)) {
    case Brodix::StitchFormats::FormatDST:
        return TajimaLoad(stream);
    case Brodix::StitchFormats::FormatEXP:
        return MelcoLoad(stream);
    case Brodix::StitchFormats::FormatXXX:
        return xxxLoad(stream);
    case Brodix::StitchFormats::Format10o:
        return ToyotaLoad(stream);
    case Brodix::StitchFormats::FormatPCS:
        return DravoLoad(stream, encoding);
    case Brodix::StitchFormats::FormatPEC: return BrotherPECLoad(stream);
    case Brodix::StitchFormats::FormatJEF: return JefLoad(stream);
    case Brodix::StitchFormats::FormatSEW: return SewLoad(stream);
    case Brodix::StitchFormats::FormatSHV: return ShvLoad(stream, wideArgument);
    case Brodix::StitchFormats::FormatDHV: return DhvLoad(stream, nullptr);
    case Brodix::StitchFormats::FormatART: return BerninaLoad(stream, zlib);
    case Brodix::StitchFormats::FormatTVK: return TovenrikLoad(stream, encoding, codec);
    case Brodix::StitchFormats::FormatVIP: return VIPLoad(stream, codec);
    default:
        return kStatusUnsupportedFormat;
    }
}
