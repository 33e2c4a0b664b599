// The rule by which DST and PCS readers derive trims: a run of three jumps
// that move, after a stitch, means the thread was cut before the run. Runs at
// the very start or right after a colour change are moves into place and get
// none. Fed the records in order, it says where a trim belongs as soon as the
// run is known, so a reader can place it while it reads.
#pragma once
#include "StitchFormats/Stitches.h"
#include <cstddef>
#include <cstdint>

class CTrimRule {
public:
    static constexpr int kJumpRun = 3;

    // True when a trim belongs before the kJumpRun records fed last (this one included).
    bool Feed(uint8_t flags, int8_t dx, int8_t dy)
    {
        if (flags == STITCH_COLOUR) {
            m_afterStitch = false;
            m_run = 0;
            return false;
        }
        if (flags != STITCH_JUMP) {
            m_afterStitch = true;
            m_run = 0;
            return false;
        }
        if (!m_afterStitch)
            return false;
        // A jump that goes nowhere breaks the run but not the state.
        if (dx == 0 && dy == 0) {
            m_run = 0;
            return false;
        }
        if (++m_run < kJumpRun)
            return false;
        m_afterStitch = false;
        m_run = 0;
        return true;
    }

    // Puts the trim before the run that ends at end, moving the run up by one
    // record; the arrays hold at least end + 1 records.
    static void PlaceTrim(uint8_t* flags, int8_t* dx, int8_t* dy, std::size_t end)
    {
        std::size_t const runStart = end - kJumpRun;
        for (std::size_t i = end; i > runStart; --i) {
            flags[i] = flags[i - 1];
            dx[i] = dx[i - 1];
            dy[i] = dy[i - 1];
        }
        flags[runStart] = STITCH_TRIM;
        dx[runStart] = 0;
        dy[runStart] = 0;
    }

private:
    bool m_afterStitch = false;
    int m_run = 0;
};
