// The TVK/VIP decoder. Bits arrive most significant first through a 16-bit
// look-ahead; codes are found in a direct table of the top bits and, when
// longer, in a small tree. Every count and length read from the stream is
// checked against its table before it is used.
#include "StitchFormats/TvkVipCompressor/RExpand.h"
#include <algorithm>

namespace Brodix::TvkVipCompressor {

namespace {

constexpr char const* kLengthsMessage = "Internal 1 error in Greenleaf Decompression routine";
constexpr char const* kTableMessage = "Internal 2 error in Greenleaf Decompression routine";

constexpr int kLookAheadBits = 16;
constexpr unsigned kLookAheadMask = 0xFFFF;
constexpr uint32_t kCompleteCode = 1u << kMaxCodeLength;   // the Kraft sum of a complete code
constexpr uint16_t kNoEntry = 0xFFFF;

constexpr int kShortLengthBits = 3;
constexpr int kShortLengthEscape = 7;   // 7 and up: 1 1 1, then a one per extra step, then a zero
constexpr int kZeroRunBits = 2;
constexpr int kNoZeroRun = -1;

// Length-code symbols 0..2 stand for runs of zero lengths.
constexpr int kOneZero = 0;
constexpr int kShortZeroRun = 1;
constexpr int kShortZeroRunBits = 4;
constexpr int kShortZeroRunBias = 3;
constexpr int kLongZeroRunBias = 20;
constexpr int kLengthCodeBias = 2;   // symbol t >= 3 is the length t - 2

} // namespace

RExpand::RExpand(ALStorage& in, ALStorage& out, int compressedSize, int level)
    : m_in(in), m_out(out), m_window(WindowForLevel(level, m_status)), m_budget(compressedSize)
{
    m_windowMask = m_window - 1;
    m_windowBytes.assign(static_cast<std::size_t>(m_window) + 2, 0);
}

int RExpand::NextInputByte()
{
    if (m_inputRemaining == 0) {
        unsigned long wanted = kChunkSize;
        if (m_budget >= 0 && m_budget < kChunkSize)
            wanted = static_cast<unsigned long>(m_budget);
        unsigned long const got = wanted == 0 ? 0 : std::min(m_in.ReadBuffer(m_inputBuffer, wanted), wanted);
        if (m_budget >= 0)
            m_budget -= static_cast<long>(got);
        if (got == 0) {
            // Past the end: zero bytes, only as many as a valid stream can need.
            if (m_fillerCount < kMaxFillerBytes)
                ++m_fillerCount;
            else
                m_inputOverrun = true;
            return 0;
        }
        m_inputPosition = 0;
        m_inputRemaining = static_cast<int>(got);
    }
    --m_inputRemaining;
    return m_inputBuffer[m_inputPosition++];
}

// Shifts the look-ahead left by n bits and fills them from the input.
void RExpand::FillBits(int n)
{
    m_bitBuffer <<= n;
    while (n > m_spareBits) {
        n -= m_spareBits;
        m_bitBuffer |= m_currentByte << n;
        m_currentByte = static_cast<unsigned>(NextInputByte());
        m_spareBits = 8;
    }
    m_spareBits -= n;
    m_bitBuffer |= m_currentByte >> m_spareBits;
    m_bitBuffer &= kLookAheadMask;
}

unsigned RExpand::GetBits(int n)
{
    unsigned const value = m_bitBuffer >> (kLookAheadBits - n);
    FillBits(n);
    return value;
}

bool RExpand::MakeTable(int alphabetSize, uint8_t const* lengths, int tableBits, uint16_t* table)
{
    uint32_t count[kMaxCodeLength + 1] = {};
    for (int i = 0; i < alphabetSize; ++i)
        ++count[lengths[i]];
    // Only a complete code decodes every bit pattern; an encoder never sends another.
    uint32_t sum = 0;
    for (int length = 1; length <= kMaxCodeLength; ++length)
        sum += count[length] << (kMaxCodeLength - length);
    if (sum != kCompleteCode) {
        m_status.SetError(kStatusBadData, kLengthsMessage);
        return false;
    }

    // Canonical codes, kept left-aligned in 16 bits.
    uint32_t next[kMaxCodeLength + 1] = {};
    for (int length = 1; length < kMaxCodeLength; ++length)
        next[length + 1] = next[length] + (count[length] << (kMaxCodeLength - length));

    uint32_t const tableSize = 1u << tableBits;
    std::fill(table, table + tableSize, kNoEntry);
    int nextNode = alphabetSize;
    auto const refuse = [this] {
        m_status.SetError(kStatusBadData, kTableMessage);
        return false;
    };
    for (int symbol = 0; symbol < alphabetSize; ++symbol) {
        int const length = lengths[symbol];
        if (length == 0)
            continue;
        uint32_t const code = next[length];
        next[length] += 1u << (kMaxCodeLength - length);
        uint32_t const index = code >> (kMaxCodeLength - tableBits);
        if (length <= tableBits) {
            uint32_t const end = index + (1u << (tableBits - length));
            if (end > tableSize)
                return refuse();
            std::fill(table + index, table + end, static_cast<uint16_t>(symbol));
            continue;
        }
        if (index >= tableSize)
            return refuse();
        uint16_t* entry = &table[index];
        for (int bit = kMaxCodeLength - 1 - tableBits; bit >= kMaxCodeLength - length; --bit) {
            if (*entry == kNoEntry) {
                if (nextNode >= kTreeSize)
                    return refuse();
                m_left[nextNode] = kNoEntry;
                m_right[nextNode] = kNoEntry;
                *entry = static_cast<uint16_t>(nextNode++);
            } else if (*entry < alphabetSize) {
                return refuse();
            }
            entry = ((code >> bit) & 1) != 0 ? &m_right[*entry] : &m_left[*entry];
        }
        if (*entry != kNoEntry)
            return refuse();
        *entry = static_cast<uint16_t>(symbol);
    }
    return true;
}

// One code of an alphabet: the table holds the first tableBits bits, the
// tree the rest. -1 when the table has no entry for the bits.
int RExpand::DecodeWithTable(uint16_t const* table, int tableBits, uint8_t const* lengths, int alphabetSize)
{
    unsigned entry = table[m_bitBuffer >> (kLookAheadBits - tableBits)];
    unsigned mask = 1u << (kLookAheadBits - 1 - tableBits);
    while (entry >= static_cast<unsigned>(alphabetSize)) {
        if (entry == kNoEntry || mask == 0) {
            m_status.SetError(kStatusBadData, kTableMessage);
            return -1;
        }
        entry = (m_bitBuffer & mask) != 0 ? m_right[entry] : m_left[entry];
        mask >>= 1;
    }
    FillBits(lengths[entry]);
    return static_cast<int>(entry);
}

bool RExpand::ReadCodeLength(int& length)
{
    length = static_cast<int>(GetBits(kShortLengthBits));
    if (length == kShortLengthEscape) {
        while (GetBits(1) == 1) {
            if (++length > kMaxCodeLength) {
                m_status.SetError(kStatusBadData, kLengthsMessage);
                return false;
            }
        }
    }
    return true;
}

// A count of zero sends one symbol instead of lengths: every code of the
// alphabet stands for it, in no bits.
bool RExpand::SetLoneSymbol(unsigned symbol, int alphabetSize, uint8_t* lengths, uint16_t* table, int tableBits)
{
    if (symbol >= static_cast<unsigned>(alphabetSize)) {
        m_status.SetError(kStatusBadData, kLengthsMessage);
        return false;
    }
    std::fill(lengths, lengths + alphabetSize, uint8_t{0});
    std::fill(table, table + (1 << tableBits), static_cast<uint16_t>(symbol));
    return true;
}

// The lengths of the length code or the position code.
bool RExpand::ReadShortLengths(uint8_t* lengths, int alphabetSize, uint16_t* table, int zeroRunAfter)
{
    int const count = static_cast<int>(GetBits(kShortCountBits));
    if (count == 0)
        return SetLoneSymbol(GetBits(kShortCountBits), alphabetSize, lengths, table, kSmallTableBits);
    if (count > alphabetSize) {
        m_status.SetError(kStatusBadData, kLengthsMessage);
        return false;
    }
    int i = 0;
    while (i < count) {
        int length = 0;
        if (!ReadCodeLength(length))
            return false;
        lengths[i++] = static_cast<uint8_t>(length);
        if (i == zeroRunAfter) {
            // Fits: the run follows the third entry and is at most 3 long.
            for (unsigned zeros = GetBits(kZeroRunBits); zeros > 0; --zeros)
                lengths[i++] = 0;
        }
    }
    std::fill(lengths + i, lengths + alphabetSize, uint8_t{0});
    return MakeTable(alphabetSize, lengths, kSmallTableBits, table);
}

bool RExpand::ReadSymbolLengths()
{
    int const count = static_cast<int>(GetBits(kSymbolCountBits));
    if (count == 0)
        return SetLoneSymbol(GetBits(kSymbolCountBits), kSymbolCount, m_symbolLengths, m_symbolTable, kSymbolTableBits);
    int i = 0;
    while (i < count) {
        int const t = DecodeWithTable(m_smallTable, kSmallTableBits, m_lengthCodeLengths, kLengthCodeCount);
        if (t < 0)
            return false;
        if (t > kLengthCodeBias) {
            m_symbolLengths[i++] = static_cast<uint8_t>(t - kLengthCodeBias);
            continue;
        }
        int zeros = 1;
        if (t == kShortZeroRun)
            zeros = static_cast<int>(GetBits(kShortZeroRunBits)) + kShortZeroRunBias;
        else if (t != kOneZero)
            zeros = static_cast<int>(GetBits(kSymbolCountBits)) + kLongZeroRunBias;
        if (zeros > kSymbolCount - i) {
            m_status.SetError(kStatusBadData, kLengthsMessage);
            return false;
        }
        std::fill(m_symbolLengths + i, m_symbolLengths + i + zeros, uint8_t{0});
        i += zeros;
    }
    std::fill(m_symbolLengths + i, std::end(m_symbolLengths), uint8_t{0});
    return MakeTable(kSymbolCount, m_symbolLengths, kSymbolTableBits, m_symbolTable);
}

bool RExpand::ReadBlockHeader()
{
    unsigned const symbols = GetBits(kBlockCountBits);
    // An encoder's block holds at least its last symbol.
    if (symbols == 0) {
        m_status.SetError(kStatusBadData, kLengthsMessage);
        return false;
    }
    if (!ReadShortLengths(m_lengthCodeLengths, kLengthCodeCount, m_smallTable, kLengthCodeZeroRunAfter)
        || !ReadSymbolLengths()
        || !ReadShortLengths(m_positionLengths, kPositionClassCount, m_smallTable, kNoZeroRun))
        return false;
    m_blockRemaining = symbols;
    return !m_inputOverrun;
}

int RExpand::DecodeSymbol()
{
    if (m_blockRemaining == 0 && !ReadBlockHeader())
        return -1;
    --m_blockRemaining;
    return DecodeWithTable(m_symbolTable, kSymbolTableBits, m_symbolLengths, kSymbolCount);
}

int RExpand::DecodePosition()
{
    int const positionClass = DecodeWithTable(m_smallTable, kSmallTableBits, m_positionLengths, kPositionClassCount);
    if (positionClass < 2)
        return positionClass;
    int const extraBits = positionClass - 1;
    return (1 << extraBits) + static_cast<int>(GetBits(extraBits));
}

bool RExpand::PutByte(uint8_t byte)
{
    m_windowBytes[static_cast<std::size_t>(m_writeIndex++)] = byte;
    if (m_writeIndex < m_window)
        return true;
    m_writeIndex = 0;
    if (m_out.WriteBuffer(m_windowBytes.data(), static_cast<unsigned long>(m_window))
        < static_cast<unsigned long>(m_window)) {
        m_outputRefused = true;
        return false;
    }
    return true;
}

int RExpand::Expand()
{
    if (m_status.IsError())
        return 0;
    m_bitBuffer = 0;
    m_spareBits = 0;
    m_currentByte = 0;
    m_blockRemaining = 0;
    m_fillerCount = 0;
    m_inputOverrun = false;
    FillBits(kLookAheadBits);
    if (m_fillerCount >= kMaxFillerBytes)
        return 0;

    bool writing = true;
    while (writing && m_fillerCount < kMaxFillerBytes) {
        int const symbol = DecodeSymbol();
        if (symbol < 0 || m_inputOverrun || symbol == kEndSymbol)
            break;
        if (symbol < 256) {
            writing = PutByte(static_cast<uint8_t>(symbol));
            continue;
        }
        int const position = DecodePosition();
        if (position < 0 || m_inputOverrun)
            break;
        // Copied a byte at a time, so a match may repeat its own output.
        int from = (m_writeIndex - 1 - position) & m_windowMask;
        for (int n = symbol - kMatchSymbolOffset; n > 0 && writing; --n) {
            writing = PutByte(m_windowBytes[static_cast<std::size_t>(from)]);
            from = (from + 1) & m_windowMask;
        }
    }
    if (!m_outputRefused && m_writeIndex > 0)
        m_out.WriteBuffer(m_windowBytes.data(), static_cast<unsigned long>(m_writeIndex));
    return 0;
}

} // namespace Brodix::TvkVipCompressor
