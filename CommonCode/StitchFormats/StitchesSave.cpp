// The save side of the relative stitch container: the one dispatch to the
// writer of each Format, and what the writers share.
#include "StitchFormats/StitchFormats.h"
#include "StitchFormats/StitchWriting.h"
#include "StitchFormats/Stitches.h"
#include <algorithm>
#include <limits>

namespace SF = Brodix::StitchFormats;

namespace StitchWriting {

Brodix::IArchiverStream* OutputOf(SF::IArchiverRetriever& retriever)
{
    return retriever.IsArchiverValid() ? retriever.GetArchiver() : nullptr;
}

bool WriteAll(Brodix::IArchiverStream& stream, void const* bytes, std::size_t size)
{
    // The stream counts in unsigned long; larger images go in pieces.
    auto const* at = static_cast<unsigned char const*>(bytes);
    while (size > 0) {
        unsigned long const piece =
            static_cast<unsigned long>(std::min<std::size_t>(size, std::numeric_limits<unsigned long>::max()));
        if (stream.Write(at, piece) != piece)
            return false;
        at += piece;
        size -= piece;
    }
    return true;
}

int WriteImage(Brodix::IArchiverStream& output, std::vector<uint8_t> const& image)
{
    return WriteAll(output, image) ? SF::kSaveStatusOK : SF::kSaveStatusWriteFailed;
}

} // namespace StitchWriting

namespace Brodix::StitchFormats {

std::span<Format const> WrittenFormats()
{
    static constexpr Format kWritten[] = {FormatDST, FormatEXP, Format10o, FormatPCS, FormatTVK, FormatVIP};
    return kWritten;
}

} // namespace Brodix::StitchFormats

// A container with no stitch has nothing to sew, in any format.
int CStitches::Save(IArchiverRetriever& retriever, Format format, ISaveInformation* information,
                    ICharEncoding* encoding, ITvkVipCodec* codec)
{
    if (std::find(m_flags.get(), m_flags.get() + m_count, STITCH_NORMAL) == m_flags.get() + m_count)
        return SF::kSaveStatusEmpty;
    switch (static_cast<int>(format)) {
    case SF::FormatVIP: return VIPSave(retriever, codec);
    case SF::FormatTVK: return TovenrikSave(retriever, encoding, codec);
    case SF::FormatDST: return TajimaSave(retriever, information, encoding);
    case SF::Format10o: return ToyotaSave(retriever);
    case SF::FormatPCS: return DravoSave(retriever);
    case SF::FormatEXP: return MelcoSave(retriever);
    // The other formats are read here but not written (WrittenFormats lists
    // these six); PES has its own object.
    default: return SF::kSaveStatusNoWriter;
    }
}
