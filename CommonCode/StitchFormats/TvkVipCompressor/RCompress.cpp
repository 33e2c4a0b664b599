// The TVK/VIP encoder. The window keeps its first 255 bytes mirrored after its
// end, so a match compares straight through the wrap. Positions sharing a
// three-byte hash form chains, newest first; a position drops out of its
// chain when its byte is overwritten. Matches wait in a block buffer until a
// block's codes can be built from its frequencies.
#include "StitchFormats/TvkVipCompressor/RCompress.h"
#include <algorithm>
#include <array>

namespace Brodix::TvkVipCompressor {

namespace {

constexpr int kRingSlack = kMaxMatch + 2;   // mirrored bytes past the window, and the hash's look-ahead
constexpr int kMirroredBytes = kMaxMatch - 1;
constexpr int kHashCount = 4096;
constexpr int kNoLink = -1;
constexpr int kChainLimit = 128;
constexpr int kFirstLookAhead = kMaxMatch + 4;   // the first pass runs while more than this is ahead
constexpr int kLookAheadTarget = kMaxMatch;

constexpr int kBlockSize = 8192;
constexpr int kBlockFlushAt = kBlockSize - 30;   // room for one more group of a flag and eight matches
constexpr unsigned kFirstFlag = 0b1000'0000;

constexpr uint32_t kCompleteCode = 1u << kMaxCodeLength;
constexpr int kLengthCodeBias = 2;   // the length l is sent as length-code symbol l + 2
constexpr int kOneZero = 0;          // length-code symbols 0..2 stand for zero lengths
constexpr int kShortZeroRun = 1;
constexpr int kLongZeroRun = 2;
constexpr int kShortZeroRunBits = 4;
constexpr int kShortZeroRunBias = 3;
constexpr int kMaxShortZeroRun = 18;
constexpr int kPairZeroRun = 19;   // sent as one zero and a run of 16
constexpr int kLongZeroRunBias = 20;
constexpr int kZeroRunBits = 2;
constexpr int kZeroRunEnd = 6;   // the zero run after the third length reaches at most this index
constexpr int kNoZeroRun = -1;
constexpr int kShortLengthLimit = 6;   // longer lengths are sent as ones ending in a zero
constexpr int kFinalPadBits = 7;

int BitLength(unsigned value)
{
    int bits = 0;
    for (; value != 0; value >>= 1)
        ++bits;
    return bits;
}

// Restores the heap below index i; of two equal children the left is taken.
void DownHeap(int* heap, int heapSize, unsigned const* frequencies, int i)
{
    int const k = heap[i];
    int j = 0;
    while ((j = 2 * i) <= heapSize) {
        if (j < heapSize && frequencies[heap[j]] > frequencies[heap[j + 1]])
            ++j;
        if (frequencies[k] <= frequencies[heap[j]])
            break;
        heap[i] = heap[j];
        i = j;
    }
    heap[i] = k;
}

// Canonical codes: shorter codes first, equal lengths in symbol order.
void MakeCodes(int n, uint8_t const* lengths, uint16_t* codes)
{
    unsigned count[kMaxCodeLength + 2] = {};
    for (int i = 0; i < n; ++i)
        ++count[lengths[i]];
    unsigned start[kMaxCodeLength + 2] = {};
    for (int length = 1; length <= kMaxCodeLength; ++length)
        start[length + 1] = (start[length] + count[length]) << 1;
    for (int i = 0; i < n; ++i)
        codes[i] = lengths[i] == 0 ? uint16_t{0} : static_cast<uint16_t>(start[lengths[i]]++);
}

} // namespace

RCompress::RCompress(ALStorage& in, ALStorage& out, int level, int storeOnExpansion)
    : m_in(in),
      m_out(out),
      m_window(WindowForLevel(level, m_status)),
      m_storeOnExpansion(storeOnExpansion != 0),
      m_inputSize(in.GetSize())
{
    m_windowMask = m_window - 1;
    m_ring.assign(static_cast<std::size_t>(m_window + kRingSlack), 0);
    m_links.assign(static_cast<std::size_t>(m_window + kHashCount), kNoLink);
    m_backLinks.assign(static_cast<std::size_t>(m_window), kNoLink);
    m_block.assign(kBlockSize, 0);
}

int RCompress::HashAt(int q) const
{
    return ((m_ring[q] & 0x0F) << 8) ^ (m_ring[q + 1] << 4) ^ m_ring[q + 2];
}

int RCompress::NextHash(int hash, int q) const
{
    return ((hash & 0xFF) << 4) ^ m_ring[q + 3];
}

// Position q becomes the head of chain hash.
void RCompress::Insert(int q, int hash)
{
    int const head = m_window + hash;
    int const old = m_links[head];
    m_links[q] = old;
    if (old != kNoLink)
        m_backLinks[old] = q;
    m_backLinks[q] = head;
    m_links[head] = q;
}

// Cuts q, and everything older in its chain, before q's byte is replaced.
void RCompress::Unlink(int q)
{
    if (m_backLinks[q] != kNoLink)
        m_links[m_backLinks[q]] = kNoLink;
}

void RCompress::StoreByte(int c)
{
    auto const byte = static_cast<uint8_t>(c);
    m_ring[m_insertIndex] = byte;
    if (m_insertIndex < kMirroredBytes)
        m_ring[m_insertIndex + m_window] = byte;
    Unlink(m_insertIndex);
    m_insertIndex = (m_insertIndex + 1) & m_windowMask;
}

RCompress::Match RCompress::FindLongestMatch(int q, int hash) const
{
    Match best;
    int candidate = m_links[m_window + hash];
    for (int tries = 0; candidate != kNoLink && tries < kChainLimit; ++tries, candidate = m_links[candidate]) {
        uint8_t const* const here = &m_ring[q];
        uint8_t const* const there = &m_ring[candidate];
        if (there[best.length] != here[best.length] || there[0] != here[0] || there[1] != here[1]
            || there[2] != here[2])
            continue;
        int length = kMinMatch;
        while (length < kMaxMatch && there[length] == here[length])
            ++length;
        if (length > best.length) {
            best.length = length;
            best.position = (q - candidate - 1) & m_windowMask;
            if (length == kMaxMatch)
                break;
        }
    }
    return best;
}

int RCompress::Compress()
{
    if (m_status.IsError())
        return 1;
    std::fill(std::begin(m_symbolFrequencies), std::end(m_symbolFrequencies), 0u);
    std::fill(std::begin(m_positionFrequencies), std::end(m_positionFrequencies), 0u);
    m_bitBuffer = 0;
    m_bitCount = 0;
    m_outputCount = 0;
    m_blockPosition = 0;
    m_flagMask = 1;
    std::fill(m_links.begin() + m_window, m_links.end(), kNoLink);
    std::fill(m_backLinks.begin(), m_backLinks.end(), kNoLink);

    int ahead = static_cast<int>(m_in.ReadBuffer(m_ring.data(), static_cast<unsigned long>(m_window)));
    m_insertIndex = ahead & m_windowMask;
    int position = 0;
    int hash = HashAt(0);
    auto const advance = [&] {
        Insert(position, hash);
        hash = NextHash(hash, position);
        position = (position + 1) & m_windowMask;
    };

    // The whole first window is in: no reading while far from its end.
    while (ahead > kFirstLookAhead && !m_unpackable) {
        Match const match = FindLongestMatch(position, hash);
        int step = 1;
        if (match.length < kMinMatch) {
            OutputSymbol(m_ring[position], 0);
        } else {
            OutputSymbol(match.length + kMatchSymbolOffset, match.position);
            step = match.length;
        }
        ahead -= step;
        for (; step > 0; --step)
            advance();
        if (m_out.GetStatusCode() < 0)
            return 1;
    }

    for (int c = 0; ahead < kLookAheadTarget && (c = m_in.ReadChar()) >= 0; ++ahead)
        StoreByte(c);

    bool inputDone = false;
    while (ahead > 0 && !m_unpackable) {
        Match match = FindLongestMatch(position, hash);
        match.length = std::min(match.length, ahead);
        int step = 1;
        if (match.length >= kMinMatch) {
            OutputSymbol(match.length + kMatchSymbolOffset, match.position);
            step = match.length;
        } else {
            OutputSymbol(m_ring[position], 0);
        }
        for (; step > 0; --step) {
            if (!inputDone) {
                int const c = m_in.ReadChar();
                if (c < 0)
                    inputDone = true;
                else
                    StoreByte(c);
            }
            if (inputDone)
                --ahead;
            advance();
        }
        if (m_out.GetStatusCode() < 0)
            return 1;
    }

    if (ahead == 0 && !m_unpackable)
        OutputSymbol(kEndSymbol, 0);
    FinishEncoding();
    return m_unpackable ? 1 : 0;
}

void RCompress::OutputSymbol(int symbol, int position)
{
    m_flagMask >>= 1;
    if (m_flagMask == 0) {
        m_flagMask = kFirstFlag;
        if (m_blockPosition >= kBlockFlushAt) {
            SendBlock();
            if (m_unpackable)
                return;
            m_blockPosition = 0;
        }
        m_flagPosition = m_blockPosition++;
        m_block[m_flagPosition] = 0;
    }
    m_block[m_blockPosition++] = static_cast<uint8_t>(symbol);
    ++m_symbolFrequencies[symbol];
    if (symbol >= 256) {
        m_block[m_flagPosition] = static_cast<uint8_t>(m_block[m_flagPosition] | m_flagMask);
        m_block[m_blockPosition++] = static_cast<uint8_t>(position & 0xFF);
        m_block[m_blockPosition++] = static_cast<uint8_t>(position >> 8);
        ++m_positionFrequencies[BitLength(static_cast<unsigned>(position))];
    }
}

// Builds the code of a small alphabet and sends its lengths, or the one
// symbol that occurs.
void RCompress::SendShortCode(int n, unsigned* frequencies, uint8_t* lengths, uint16_t* codes, int zeroRunAfter)
{
    int const root = MakeTree(n, frequencies, lengths, codes);
    if (root >= n) {
        WriteShortLengths(lengths, n, zeroRunAfter);
        return;
    }
    PutBits(kShortCountBits, 0);
    PutBits(kShortCountBits, static_cast<unsigned>(root));
}

void RCompress::SendBlock()
{
    int const root = MakeTree(kSymbolCount, m_symbolFrequencies, m_symbolLengths, m_symbolCodes);
    unsigned const symbols = m_symbolFrequencies[root];
    PutBits(kBlockCountBits, symbols);
    if (root >= kSymbolCount) {
        CountLengthCodeFrequencies();
        SendShortCode(kLengthCodeCount, m_lengthCodeFrequencies, m_lengthCodeLengths, m_lengthCodeCodes,
                      kLengthCodeZeroRunAfter);
        WriteSymbolLengths();
    } else {
        PutBits(kShortCountBits, 0);
        PutBits(kShortCountBits, 0);
        PutBits(kSymbolCountBits, 0);
        PutBits(kSymbolCountBits, static_cast<unsigned>(root));
    }
    SendShortCode(kPositionClassCount, m_positionFrequencies, m_positionLengths, m_positionCodes, kNoZeroRun);

    int at = 0;
    unsigned flags = 0;
    for (unsigned i = 0; i < symbols; ++i) {
        if (i % 8 == 0)
            flags = m_block[at++];
        else
            flags <<= 1;
        if ((flags & kFirstFlag) != 0) {
            EncodeSymbol(m_block[at] + 256);
            EncodePosition(m_block[at + 1] | (m_block[at + 2] << 8));
            at += 3;
        } else {
            EncodeSymbol(m_block[at++]);
        }
        if (m_unpackable)
            return;
    }
    std::fill(m_symbolFrequencies, m_symbolFrequencies + kSymbolCount, 0u);
    std::fill(m_positionFrequencies, m_positionFrequencies + kPositionClassCount, 0u);
}

// Calls visit with each length-code item that sends the symbol-code lengths
// (trailing zero lengths dropped): a length, or a run of zero lengths.
template <typename Visit>
void RCompress::VisitLengthItems(int n, Visit visit) const
{
    int i = 0;
    while (i < n) {
        int const length = m_symbolLengths[i++];
        if (length != 0) {
            visit(LengthItem{length + kLengthCodeBias, 0, 0});
            continue;
        }
        int zeros = 1;
        while (i < n && m_symbolLengths[i] == 0) {
            ++i;
            ++zeros;
        }
        if (zeros < kShortZeroRunBias) {
            for (int k = 0; k < zeros; ++k)
                visit(LengthItem{kOneZero, 0, 0});
        } else if (zeros <= kMaxShortZeroRun) {
            visit(LengthItem{kShortZeroRun, kShortZeroRunBits, static_cast<unsigned>(zeros - kShortZeroRunBias)});
        } else if (zeros == kPairZeroRun) {
            visit(LengthItem{kOneZero, 0, 0});
            visit(LengthItem{kShortZeroRun, kShortZeroRunBits, kMaxShortZeroRun - kShortZeroRunBias});
        } else {
            visit(LengthItem{kLongZeroRun, kSymbolCountBits, static_cast<unsigned>(zeros - kLongZeroRunBias)});
        }
    }
}

int RCompress::SentSymbolLengths() const
{
    int n = kSymbolCount;
    while (n > 0 && m_symbolLengths[n - 1] == 0)
        --n;
    return n;
}

void RCompress::CountLengthCodeFrequencies()
{
    std::fill(std::begin(m_lengthCodeFrequencies), std::end(m_lengthCodeFrequencies), 0u);
    VisitLengthItems(SentSymbolLengths(), [this](LengthItem item) { ++m_lengthCodeFrequencies[item.symbol]; });
}

void RCompress::WriteShortLengths(uint8_t const* lengths, int n, int zeroRunAfter)
{
    while (n > 0 && lengths[n - 1] == 0)
        --n;
    PutBits(kShortCountBits, static_cast<unsigned>(n));
    int i = 0;
    while (i < n) {
        int const length = lengths[i++];
        if (length <= kShortLengthLimit)
            PutBits(3, static_cast<unsigned>(length));
        else
            PutBits(length - 3, (1u << (length - 3)) - 2);
        if (i == zeroRunAfter) {
            while (i < kZeroRunEnd && lengths[i] == 0)
                ++i;
            PutBits(kZeroRunBits, static_cast<unsigned>(i - zeroRunAfter));
        }
    }
}

void RCompress::WriteSymbolLengths()
{
    int const n = SentSymbolLengths();
    PutBits(kSymbolCountBits, static_cast<unsigned>(n));
    VisitLengthItems(n, [this](LengthItem item) {
        PutBits(m_lengthCodeLengths[item.symbol], m_lengthCodeCodes[item.symbol]);
        PutBits(item.extraBits, item.extra);
    });
}

void RCompress::EncodeSymbol(int symbol)
{
    PutBits(m_symbolLengths[symbol], m_symbolCodes[symbol]);
}

void RCompress::EncodePosition(int position)
{
    int const positionClass = BitLength(static_cast<unsigned>(position));
    PutBits(m_positionLengths[positionClass], m_positionCodes[positionClass]);
    if (positionClass > 1)
        PutBits(positionClass - 1, static_cast<unsigned>(position) & ((1u << (positionClass - 1)) - 1));
}

// Builds a Huffman code over n frequencies and returns its root; a root below
// n is the one symbol that occurs (or 0), with length 0. frequencies has room
// for the n - 1 inner nodes.
int RCompress::MakeTree(int n, unsigned* frequencies, uint8_t* lengths, uint16_t* codes)
{
    std::array<int, kSymbolCount + 1> heap{};
    int heapSize = 0;
    for (int i = 0; i < n; ++i) {
        lengths[i] = 0;
        if (frequencies[i] != 0)
            heap[++heapSize] = i;
    }
    if (heapSize < 2) {
        codes[heap[1]] = 0;
        return heap[1];
    }
    for (int i = heapSize / 2; i >= 1; --i)
        DownHeap(heap.data(), heapSize, frequencies, i);

    std::array<int, kSymbolCount> order{};   // symbols as they leave the heap, rarest first
    int ordered = 0;
    int next = n;
    int node = 0;
    do {
        int const first = heap[1];
        if (first < n)
            order[ordered++] = first;
        heap[1] = heap[heapSize--];
        DownHeap(heap.data(), heapSize, frequencies, 1);
        int const second = heap[1];
        if (second < n)
            order[ordered++] = second;
        node = next++;
        frequencies[node] = frequencies[first] + frequencies[second];
        heap[1] = node;
        DownHeap(heap.data(), heapSize, frequencies, 1);
        m_left[node] = first;
        m_right[node] = second;
    } while (heapSize > 1);
    MakeLengths(node, n, lengths, order.data());
    MakeCodes(n, lengths, codes);
    return node;
}

// Leaf depths, capped at 16 with the code kept complete; the longest lengths
// go to the symbols that left the heap first.
void RCompress::MakeLengths(int root, int n, uint8_t* lengths, int const* order)
{
    unsigned count[kMaxCodeLength + 1] = {};
    std::array<std::pair<int, int>, 2 * kSymbolCount> stack{};   // node and depth
    int depthOfStack = 0;
    stack[depthOfStack++] = {root, 0};
    while (depthOfStack > 0) {
        auto const [node, depth] = stack[--depthOfStack];
        if (node < n) {
            ++count[std::min(depth, kMaxCodeLength)];
            continue;
        }
        stack[depthOfStack++] = {m_right[node], depth + 1};
        stack[depthOfStack++] = {m_left[node], depth + 1};
    }
    auto const kraftSum = [&count] {
        uint32_t sum = 0;
        for (int length = 1; length <= kMaxCodeLength; ++length)
            sum += count[length] << (kMaxCodeLength - length);
        return sum;
    };
    while (kraftSum() != kCompleteCode) {
        --count[kMaxCodeLength];
        for (int length = kMaxCodeLength - 1; length > 0; --length) {
            if (count[length] != 0) {
                --count[length];
                count[length + 1] += 2;
                break;
            }
        }
    }
    int k = 0;
    for (int length = kMaxCodeLength; length > 0; --length)
        for (unsigned c = 0; c < count[length]; ++c)
            lengths[order[k++]] = static_cast<uint8_t>(length);
}

void RCompress::FinishEncoding()
{
    if (!m_unpackable)
        SendBlock();
    FlushBitWriter();
}

void RCompress::PutBits(int n, unsigned value)
{
    if (n == 0)
        return;
    m_bitBuffer = (m_bitBuffer << n) | (value & ((1u << n) - 1));
    m_bitCount += n;
    while (m_bitCount >= 8) {
        m_bitCount -= 8;
        PutByte(static_cast<unsigned char>(m_bitBuffer >> m_bitCount));
    }
    m_bitBuffer &= (1u << m_bitCount) - 1;
}

void RCompress::PutByte(unsigned char byte)
{
    m_outputBuffer[m_outputCount++] = byte;
    if (m_outputCount == kChunkSize)
        FlushOutputBuffer();
}

void RCompress::FlushOutputBuffer()
{
    if (m_outputCount == 0)
        return;
    if (m_storeOnExpansion) {
        m_outputTotal += m_outputCount;
        if (m_outputTotal >= m_inputSize) {
            m_unpackable = true;
            m_outputCount = 0;
            return;
        }
    }
    m_out.WriteBuffer(m_outputBuffer, static_cast<unsigned long>(m_outputCount));
    m_outputCount = 0;
}

void RCompress::FlushBitWriter()
{
    if (m_unpackable)
        return;
    PutBits(kFinalPadBits, 0);
    if (m_outputCount > 0)
        FlushOutputBuffer();
}

} // namespace Brodix::TvkVipCompressor
