// The relative form of one absolute design, as the object-style writers need
// it: records of at most 80 units per step, and one colour entry per colour.
#pragma once
#include "Fundamentals/CommonTypes.h"
#include "Fundamentals/Design.h"
#include "StitchFormats/Stitches.h"
#include <cstdint>
#include <vector>

class CRelativeStitches {
public:
    struct ColInfo {
        int32_t catalogue = 0;   // thread catalogue index
        uint32_t rgb = 0;        // 0x00BBGGRR
    };

    static constexpr double kMaxStep = 80.0;

    CRelativeStitches(IDesign const& design, bool noTrailingJump);

    // Appends the records of design. Jumps only make a move pending, which the
    // next stitch's split covers; noTrailingJump drops a pending move at the end.
    void ConvertFromAbsolute(IDesign const& design, bool noTrailingJump, bool stopAsColour);
    void StitchOutPut(int x1, int y1, int x2, int y2, uint8_t midFlags, uint8_t lastFlags, double maxStep);
    void SetColInfo(int index, unsigned rgb, int catalogue);

    Brodix::CommonTypes::RectI GetRect();
    int GetColorCount() const { return static_cast<int>(m_colours.size()); }
    unsigned GetColorRGB(int index) const;
    // flags | dx << 8 | dy << 16, each byte unsigned; 0 out of range.
    unsigned GetStitch(int index) const;
    int GetCount() const { return static_cast<int>(m_records.size()); }
    std::vector<CStitch> const& GetRecords() const { return m_records; }
    std::vector<ColInfo> const& GetColours() const { return m_colours; }
    void Rotate180();

private:
    std::vector<CStitch> m_records;
    std::vector<ColInfo> m_colours;
    Brodix::CommonTypes::RectI m_rect;
};
