// The front objects of the TVK/VIP coder: they check the level, run the
// encoder or decoder between two storages and report one status.
#pragma once
#include "StitchFormats/TvkVipCompressor/ALStorage.h"

namespace Brodix::TvkVipCompressor {

inline constexpr int kStoredLevelIndex = -1;   // the data are stored without compression

class ALGlCompressor {
public:
    // The level is levelIndex + 10.
    explicit ALGlCompressor(int levelIndex = 0, int storeOnExpansion = 0);

    // 0 on success, else a negative status of the encoder or a storage. When
    // the encoder gives up, the input is stored instead and the level index
    // becomes kStoredLevelIndex.
    [[nodiscard]] int Compress(ALStorage& in, ALStorage& out);

    [[nodiscard]] int GetLevelIndex() const { return m_levelIndex; }
    [[nodiscard]] int GetStatusCode() const { return m_status; }

private:
    int m_levelIndex;
    int m_storeOnExpansion;
    int m_status = 0;
};

class ALGlDecompressor {
public:
    explicit ALGlDecompressor(int levelIndex = 0);

    // compressedSize: the most bytes to read; negative for no limit.
    [[nodiscard]] int Decompress(ALStorage& in, ALStorage& out, long compressedSize = -1);

    [[nodiscard]] int GetStatusCode() const { return m_status; }

private:
    int m_levelIndex;
    int m_status = 0;
};

} // namespace Brodix::TvkVipCompressor
