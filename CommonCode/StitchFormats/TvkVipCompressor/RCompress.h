// The TVK/VIP encoder: LZ77 over a ring of 2^level bytes with hash chains,
// its symbols collected in blocks and sent with static canonical Huffman
// codes whose lengths head each block. Same input, same bytes, every time.
#pragma once
#include "StitchFormats/TvkVipCompressor/ALStatus.h"
#include "StitchFormats/TvkVipCompressor/ALStorage.h"
#include "StitchFormats/TvkVipCompressor/Parameters.h"
#include <cstdint>
#include <vector>

namespace Brodix::TvkVipCompressor {

class RCompress {
public:
    // storeOnExpansion non-zero: give up once the output reaches the input's size.
    RCompress(ALStorage& in, ALStorage& out, int level, int storeOnExpansion);

    // 0 on success; 1 when the output storage failed or the encoder gave up.
    [[nodiscard]] int Compress();

    [[nodiscard]] bool IsUnpackable() const { return m_unpackable; }
    [[nodiscard]] int GetStatusCode() const { return m_status.GetStatusCode(); }

private:
    struct Match {
        int length = 0;
        int position = 0;   // distance back minus one
    };

    // LZ77 side.
    [[nodiscard]] int HashAt(int q) const;
    [[nodiscard]] int NextHash(int hash, int q) const;
    void Insert(int q, int hash);
    void Unlink(int q);
    void StoreByte(int c);
    [[nodiscard]] Match FindLongestMatch(int q, int hash) const;

    // Block side.
    void OutputSymbol(int symbol, int position);
    void SendBlock();
    void SendShortCode(int n, unsigned* frequencies, uint8_t* lengths, uint16_t* codes, int zeroRunAfter);
    struct LengthItem {
        int symbol;   // of the length code
        int extraBits;
        unsigned extra;
    };
    template <typename Visit>
    void VisitLengthItems(int n, Visit visit) const;
    [[nodiscard]] int SentSymbolLengths() const;
    void CountLengthCodeFrequencies();
    void WriteShortLengths(uint8_t const* lengths, int n, int zeroRunAfter);
    void WriteSymbolLengths();
    void EncodeSymbol(int symbol);
    void EncodePosition(int position);
    int MakeTree(int n, unsigned* frequencies, uint8_t* lengths, uint16_t* codes);
    void MakeLengths(int root, int n, uint8_t* lengths, int const* order);
    void FinishEncoding();

    // Bit side.
    void PutBits(int n, unsigned value);
    void PutByte(unsigned char byte);
    void FlushOutputBuffer();
    void FlushBitWriter();

    ALStatus m_status;
    ALStorage& m_in;
    ALStorage& m_out;
    int m_window;
    int m_windowMask;
    bool m_storeOnExpansion;
    bool m_unpackable = false;
    long m_inputSize;
    long m_outputTotal = 0;

    std::vector<uint8_t> m_ring;   // window plus the mirrored start
    std::vector<int> m_links;      // successors of the window positions, then the chain heads
    std::vector<int> m_backLinks;
    int m_insertIndex = 0;

    std::vector<uint8_t> m_block;
    int m_blockPosition = 0;
    int m_flagPosition = 0;
    unsigned m_flagMask = 1;

    unsigned char m_outputBuffer[kChunkSize] = {};
    int m_outputCount = 0;
    unsigned m_bitBuffer = 0;
    int m_bitCount = 0;

    // Frequencies have room for the inner nodes of the code trees.
    unsigned m_symbolFrequencies[2 * kSymbolCount - 1] = {};
    unsigned m_positionFrequencies[2 * kPositionClassCount - 1] = {};
    unsigned m_lengthCodeFrequencies[2 * kLengthCodeCount - 1] = {};
    uint8_t m_symbolLengths[kSymbolCount] = {};
    uint16_t m_symbolCodes[kSymbolCount] = {};
    uint8_t m_positionLengths[kPositionClassCount] = {};
    uint16_t m_positionCodes[kPositionClassCount] = {};
    uint8_t m_lengthCodeLengths[kLengthCodeCount] = {};
    uint16_t m_lengthCodeCodes[kLengthCodeCount] = {};
    int m_left[2 * kSymbolCount - 1] = {};
    int m_right[2 * kSymbolCount - 1] = {};
};

} // namespace Brodix::TvkVipCompressor
