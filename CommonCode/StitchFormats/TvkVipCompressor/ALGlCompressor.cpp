// The front objects: level check, the coder run, the fallback to a stored
// copy when compressing does not pay, and one status for the caller.
#include "StitchFormats/TvkVipCompressor/ALGlCompressor.h"
#include "StitchFormats/TvkVipCompressor/Parameters.h"
#include "StitchFormats/TvkVipCompressor/RCompress.h"
#include "StitchFormats/TvkVipCompressor/RExpand.h"
#include <climits>

namespace Brodix::TvkVipCompressor {

namespace {

// The first negative status of the storages, else 0.
int StorageError(ALStorage const& in, ALStorage const& out)
{
    if (in.GetStatusCode() < 0)
        return in.GetStatusCode();
    return out.GetStatusCode() < 0 ? out.GetStatusCode() : 0;
}

// Copies byte by byte, at most limit bytes when limit is not negative.
void CopyStored(ALStorage& in, ALStorage& out, long limit)
{
    for (long copied = 0; limit < 0 || copied < limit; ++copied) {
        int const c = in.ReadChar();
        if (c < 0 || out.WriteChar(c) < 0)
            return;
    }
}

} // namespace

ALGlCompressor::ALGlCompressor(int levelIndex, int storeOnExpansion)
    : m_levelIndex(levelIndex), m_storeOnExpansion(storeOnExpansion)
{
}

int ALGlCompressor::Compress(ALStorage& in, ALStorage& out)
{
    long const inStart = in.Tell();
    long const outStart = out.Tell();
    if (m_levelIndex != kStoredLevelIndex) {
        RCompress encoder(in, out, m_levelIndex + kMinLevel, m_storeOnExpansion);
        if (encoder.GetStatusCode() < 0)
            return m_status = encoder.GetStatusCode();
        int const result = encoder.Compress();
        if (encoder.GetStatusCode() < 0)
            return m_status = encoder.GetStatusCode();
        if (int const error = StorageError(in, out); error < 0)
            return m_status = error;
        if (result == 0 || !encoder.IsUnpackable())
            return m_status;
        if (in.Seek(inStart) != 0 || out.Seek(outStart) != 0)
            return m_status = kStatusSeekError;
        m_levelIndex = kStoredLevelIndex;
    }
    CopyStored(in, out, -1);
    if (int const error = StorageError(in, out); error < 0)
        return m_status = error;
    return m_status;
}

ALGlDecompressor::ALGlDecompressor(int levelIndex) : m_levelIndex(levelIndex) {}

int ALGlDecompressor::Decompress(ALStorage& in, ALStorage& out, long compressedSize)
{
    if (int const error = StorageError(in, out); error < 0)
        return m_status = error;
    if (m_levelIndex != kStoredLevelIndex) {
        int const budget = compressedSize > INT_MAX ? INT_MAX : static_cast<int>(compressedSize < 0 ? -1 : compressedSize);
        RExpand decoder(in, out, budget, m_levelIndex + kMinLevel);
        if (decoder.GetStatusCode() < 0)
            return m_status = decoder.GetStatusCode();
        decoder.Expand();
        if (decoder.GetStatusCode() < 0)
            return m_status = decoder.GetStatusCode();
    } else if (compressedSize != 0) {
        CopyStored(in, out, compressedSize);
    }
    if (int const error = StorageError(in, out); error < 0)
        return m_status = error;
    return m_status;
}

} // namespace Brodix::TvkVipCompressor
