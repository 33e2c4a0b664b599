// Melco EXP writer. A bare stream of two-byte pairs: a step, or the escape
// 0x80 with a command (0x01 colour change, 0x04 jump, whose step follows).
// EXP holds no colours; a stop becomes a colour change, and a trim three jumps
// that come back to where they started, which the reader turns into a trim.
#include "StitchFormats/StitchWriting.h"
#include "StitchFormats/Stitches.h"
#include <cstdint>

namespace SF = Brodix::StitchFormats;

namespace {

constexpr uint8_t kEscape = 0x80;
constexpr uint8_t kColourChange = 0x01;
constexpr uint8_t kJump = 0x04;
constexpr int kTrimSteps[] = {-4, 2, 2};
constexpr long long kPairSize = 2;

// Calls pair(b0, b1) for each pair of the record. A step of -128 in x would
// read as the escape, so such a step goes as two halves of the same kind.
template <typename Pair>
void EncodeRecord(CStitch const& s, Pair&& pair)
{
    auto step = [&](bool jump, int dx, int dy) {
        if (jump)
            pair(kEscape, kJump);
        pair(static_cast<uint8_t>(dx), static_cast<uint8_t>(dy));
    };
    auto steps = [&](bool jump) {
        if (static_cast<uint8_t>(s.dx) != kEscape) {
            step(jump, s.dx, s.dy);
            return;
        }
        step(jump, s.dx / 2, s.dy / 2);
        step(jump, s.dx - s.dx / 2, s.dy - s.dy / 2);
    };
    switch (s.flags) {
    case STITCH_NORMAL: steps(false); break;
    case STITCH_JUMP: steps(true); break;
    case STITCH_STOP:
    case STITCH_COLOUR:
        pair(kEscape, kColourChange);
        pair(0, 0);   // the reader swallows this pair with the change
        break;
    case STITCH_TRIM:
        for (int x : kTrimSteps)
            step(true, x, 0);
        break;
    default: break;
    }
}

} // namespace

int CStitches::MelcoSave(IArchiverRetriever& retriever)
{
    IArchiverStream* const output = StitchWriting::OutputOf(retriever);
    if (output == nullptr)
        return SF::kSaveStatusNoOutput;

    // The reader turns a colour change that no move follows into a stitch, so
    // colour changes and stops after the last move are not written.
    int end = 0;
    int afterLastMove = 0;
    for (; end < m_count && m_flags[end] != STITCH_END; ++end)
        if (m_flags[end] == STITCH_NORMAL || m_flags[end] == STITCH_JUMP)
            afterLastMove = end + 1;
    auto written = [&](int i) {
        return i < afterLastMove || (m_flags[i] != STITCH_COLOUR && m_flags[i] != STITCH_STOP);
    };
    long long pairs = 0;
    for (int i = 0; i < end; ++i)
        if (written(i))
            EncodeRecord(*GetStitch(i), [&](uint8_t, uint8_t) { ++pairs; });
    // The reader takes a file of at most this many pairs.
    if (pairs > kMaxStitchCount)
        return SF::kSaveStatusTooManyRecords;

    std::vector<uint8_t> image;
    image.reserve(static_cast<std::size_t>(pairs * kPairSize));
    for (int i = 0; i < end; ++i)
        if (written(i))
            EncodeRecord(*GetStitch(i), [&](uint8_t b0, uint8_t b1) {
            image.push_back(b0);
            image.push_back(b1);
        });
    return StitchWriting::WriteImage(*output, image);
}
