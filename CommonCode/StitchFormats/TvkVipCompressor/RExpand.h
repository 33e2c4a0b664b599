// The TVK/VIP decoder: reads the blocks RCompress writes. Input that no
// encoder writes ends decoding with kStatusBadData; nothing is written past a
// table, and past the end of the input at most kMaxFillerBytes zero bytes are
// supplied before decoding stops.
#pragma once
#include "StitchFormats/TvkVipCompressor/ALStatus.h"
#include "StitchFormats/TvkVipCompressor/ALStorage.h"
#include "StitchFormats/TvkVipCompressor/Parameters.h"
#include <cstdint>
#include <vector>

namespace Brodix::TvkVipCompressor {

inline constexpr int kMaxFillerBytes = 5;

class RExpand {
public:
    // compressedSize: the most bytes to read from in; negative for no limit.
    RExpand(ALStorage& in, ALStorage& out, int compressedSize, int level);

    // Always 0; failures are in the status.
    int Expand();

    [[nodiscard]] int GetStatusCode() const { return m_status.GetStatusCode(); }

private:
    static constexpr int kSymbolTableBits = 12;
    static constexpr int kSmallTableBits = 8;
    static constexpr int kTreeSize = 2 * kSymbolCount - 1;

    // Bit side.
    int NextInputByte();
    void FillBits(int n);
    unsigned GetBits(int n);

    // Block side.
    bool ReadBlockHeader();
    bool SetLoneSymbol(unsigned symbol, int alphabetSize, uint8_t* lengths, uint16_t* table, int tableBits);
    bool ReadShortLengths(uint8_t* lengths, int alphabetSize, uint16_t* table, int zeroRunAfter);
    bool ReadCodeLength(int& length);
    bool ReadSymbolLengths();
    bool MakeTable(int alphabetSize, uint8_t const* lengths, int tableBits, uint16_t* table);
    int DecodeSymbol();
    int DecodeWithTable(uint16_t const* table, int tableBits, uint8_t const* lengths, int alphabetSize);
    int DecodePosition();

    // Window side.
    bool PutByte(uint8_t byte);

    ALStatus m_status;
    ALStorage& m_in;
    ALStorage& m_out;
    int m_window;
    int m_windowMask;
    std::vector<uint8_t> m_windowBytes;
    int m_writeIndex = 0;
    bool m_outputRefused = false;

    unsigned char m_inputBuffer[kChunkSize] = {};
    int m_inputPosition = 0;
    int m_inputRemaining = 0;
    long m_budget;
    int m_fillerCount = 0;
    bool m_inputOverrun = false;   // a byte was needed after the last filler

    unsigned m_bitBuffer = 0;   // 16-bit look-ahead
    int m_spareBits = 0;
    unsigned m_currentByte = 0;
    unsigned m_blockRemaining = 0;

    uint16_t m_symbolTable[1 << kSymbolTableBits] = {};
    uint16_t m_smallTable[1 << kSmallTableBits] = {};   // length code, then position code
    uint16_t m_left[kTreeSize] = {};
    uint16_t m_right[kTreeSize] = {};
    uint8_t m_symbolLengths[kSymbolCount] = {};
    uint8_t m_positionLengths[kPositionClassCount] = {};
    uint8_t m_lengthCodeLengths[kLengthCodeCount] = {};
};

} // namespace Brodix::TvkVipCompressor
