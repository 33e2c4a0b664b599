// Melco EXP reader. The file is a bare stream of two-byte pairs: a pair is a
// step unless its first byte is the escape 0x80, which introduces a colour
// change, a trim or a jump. EXP carries no colours, so they run through the
// Tovenrik palette; trims are either explicit or derived from runs of jumps.
#include "StitchFormats/Palettes.h"
#include "StitchFormats/Stitches.h"
#include <cstdint>

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
