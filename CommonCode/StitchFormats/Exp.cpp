// Melco EXP reader and writer. The file is a bare stream of two-byte pairs: a
// pair is a step unless its first byte is the escape 0x80, which introduces a
// colour change, a trim or a jump. EXP carries no colours, so they run through
// the Tovenrik palette; trims are either explicit or derived from runs of
// jumps. The writer makes a trim of three jumps and a stop a colour change.
#include "StitchFormats/Palettes.h"
#include "StitchFormats/StitchWriting.h"
#include "StitchFormats/Stitches.h"
#include <cstdint>

namespace SF = Brodix::StitchFormats;

namespace {

constexpr unsigned long kPairSize = 2;
constexpr uint8_t kEscape = 0x80;
constexpr uint8_t kColourChangeA = 0x01;
constexpr uint8_t kColourChangeB = 0x03;
constexpr uint8_t kTrim = 0x80;
// The jump commands that count towards a derived trim; other escapes are jumps too.
constexpr uint8_t kJumpA = 0x02;
constexpr uint8_t kJumpB = 0x04;
// A jump command followed by this many more jump commands begins a trim.
constexpr int kFurtherJumpsForTrim = 2;

struct Pair {
    uint8_t b0 = 0;
    uint8_t b1 = 0;

    bool IsEscape() const { return b0 == kEscape; }
    bool IsColourChange() const { return IsEscape() && (b1 == kColourChangeA || b1 == kColourChangeB); }
    bool IsTrim() const { return IsEscape() && b1 == kTrim; }
    bool IsCountedJump() const { return IsEscape() && (b1 == kJumpA || b1 == kJumpB); }
    int8_t Dx() const { return static_cast<int8_t>(b0); }
    int8_t Dy() const { return static_cast<int8_t>(b1); }
    // Both bytes are signed; the sum, not the pair, decides (5, -5) counts as no move.
    bool SumsToZero() const { return Dx() + Dy() == 0; }
};

bool ReadPair(Brodix::IArchiverStream& stream, Pair& pair)
{
    uint8_t bytes[kPairSize];
    if (stream.Read(bytes, kPairSize) != kPairSize)
        return false;
    pair = Pair{bytes[0], bytes[1]};
    return true;
}

bool SkipPair(Brodix::IArchiverStream& stream)
{
    Pair ignored;
    return ReadPair(stream, ignored);
}

} // namespace

// A colour change is often followed by a pair that does not move; it belongs
// to the change and is swallowed with it.
void CStitches::MelcoCheckZeroData(IArchiverStream& stream)
{
    unsigned long const position = stream.GetPos();
    Pair next;
    if (!ReadPair(stream, next) || !next.SumsToZero())
        stream.SetPos(position);
}

bool CStitches::MelcoCheckForTrim(IArchiverStream& stream)
{
    unsigned long const position = stream.GetPos();
    int further = 0;
    if (SkipPair(stream)) {
        Pair command;
        while (further < kFurtherJumpsForTrim && ReadPair(stream, command) && command.IsCountedJump()
               && SkipPair(stream))
            ++further;
    }
    stream.SetPos(position);
    return further >= kFurtherJumpsForTrim;
}

int CStitches::MelcoLoad(IArchiverStream& stream)
{
    if (IsCanFileData(stream))
        return kStatusRefused;
    unsigned long const pairs = stream.GetSize() / kPairSize;
    if (pairs > static_cast<unsigned long>(kMaxStitchCount))
        return kStatusRefused;
    // Every pair yields at most one record; one more for the end record.
    if (AllocStorage(static_cast<int>(pairs) + 1) != kStatusOk)
        return kStatusRefused;
    SetCount(0);
    stream.SetPos(0);

    // The storage holds a record per pair and the end; a record that still
    // does not fit refuses the load rather than go missing.
    bool stored = true;

    int colours = 1;
    bool jumpPending = false;
    // Set until a stitch has been read: jumps before the first stitch or right
    // after a derived trim move into place and derive no trim.
    bool noTrimLookahead = true;
    int lastColourChange = 0;   // 0: none since the last move

    Pair pair;
    while (ReadPair(stream, pair)) {
        if (!pair.IsEscape()) {
            uint8_t const kind = jumpPending ? STITCH_JUMP : STITCH_NORMAL;
            if (!jumpPending)
                noTrimLookahead = false;
            jumpPending = false;
            if (!pair.SumsToZero())
                lastColourChange = 0;
            stored &= AppendStitch(CStitch{kind, pair.Dx(), pair.Dy()});
        } else if (pair.IsColourChange()) {
            stored &= AppendStitch(CStitch{STITCH_COLOUR, 0, 0});
            ++colours;
            MelcoCheckZeroData(stream);
            lastColourChange = GetCount() - 1;
            jumpPending = false;
        } else if (pair.IsTrim()) {
            // The pair after the trim command carries nothing; the next one is a jump step.
            SkipPair(stream);
            stored &= AppendStitch(CStitch{STITCH_TRIM, 0, 0});
            jumpPending = true;
        } else {
            jumpPending = true;
            if (!noTrimLookahead) {
                noTrimLookahead = MelcoCheckForTrim(stream);
                if (noTrimLookahead)
                    stored &= AppendStitch(CStitch{STITCH_TRIM, 0, 0});
            }
        }
    }

    // A colour change that nothing moving followed starts no colour: it becomes
    // a stitch in place. The change itself is rewritten, wherever it stands, so
    // that the records and the colours still agree.
    if (lastColourChange != 0) {
        CStitch change = *GetStitch(lastColourChange);
        change.flags = STITCH_NORMAL;
        stored &= PutStitch(lastColourChange, change) == kStatusOk;
        --colours;
    }
    stored &= AppendStitch(CStitch{STITCH_END, 0, 0});
    if (!stored)
        return kStatusRefused;

    SetNumberColours(colours);
    for (int i = 0; i < colours; ++i) {
        SetColour(i, GetTovenrikRGB(CycledTovenrikIndex(i)));
        SetManufacturer(i, m_defaultColourType);
    }
    SizeDesign();
    return kStatusOk;
}

// ---- writing ----

namespace {

// The commands the writer uses, and a trim: three jumps netting nothing, a run
// long enough for the reader to make a trim of again.
constexpr uint8_t kColourChange = kColourChangeA;
constexpr uint8_t kJump = kJumpB;
constexpr int kTrimSteps[] = {-4, 2, 2};

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
    image.reserve(static_cast<std::size_t>(pairs) * kPairSize);
    for (int i = 0; i < end; ++i)
        if (written(i))
            EncodeRecord(*GetStitch(i), [&](uint8_t b0, uint8_t b1) {
            image.push_back(b0);
            image.push_back(b1);
        });
    return StitchWriting::WriteImage(*output, image);
}
