// Decides, for every record of a design, whether it is sewn visibly or is a
// connecting move that is not part of the embroidery. Fill areas are found as
// rows of stitches running back and forth with similar lengths; long moves
// between them, an over-long first move into a fill, and the jumps after a
// trim are hidden. The verdict is one byte per record, non-zero meaning "draw".
#pragma once
#include "Fundamentals/Design.h"
#include <cstdint>
#include <memory>
#include <vector>

namespace Brodix::StitchAlgorithms {

class CJumpStitchRemover {
public:
    explicit CJumpStitchRemover(IDesign const& design);
    ~CJumpStitchRemover();
    CJumpStitchRemover(CJumpStitchRemover const&) = delete;
    CJumpStitchRemover& operator=(CJumpStitchRemover const&) = delete;

    // One byte per record and one more at the end.
    static void RemoveJumps(IDesign const& design, std::vector<uint8_t>& verdict);

    void ProcessAll();

    // A stable copy of the design's records and the verdict being built.
    class CDesignStitches {
    public:
        explicit CDesignStitches(IDesign const& design);

        std::size_t size() const { return m_records.size(); }
        CAbsStitch const& operator[](std::size_t k) const { return m_records[k]; }
        // Sets the verdict of records first to last inclusive.
        void AddRange(std::size_t first, std::size_t last, uint8_t value);
        std::vector<uint8_t> const& Verdict() const { return m_verdict; }

    private:
        std::vector<CAbsStitch> m_records;   // filled once, never resized afterwards
        std::vector<uint8_t> m_verdict;
    };

    // Records start to end; the line runs from the record before start to end.
    struct CStitchLine {
        bool empty = true;
        std::size_t start = 0;
        std::size_t end = 0;
        uint32_t stitches = 0;
    };

private:
    enum class Complete { Command = 0, Stitch = 1, JumpsToStitch = 2, JumpsToNothing = 3 };

    Complete ReadCompleteStitch(std::size_t k, std::size_t& e) const;
    double MoveLength(std::size_t k, std::size_t e) const;
    double GetStitchLineLengthThreshold() const;
    int IsGoodFillLength(std::size_t k, std::size_t e);
    bool IsGoodParallelDirection(CStitchLine const& line, std::size_t e) const;
    bool JoinToGroupCriteria(CStitchLine const& line) const;
    void ProcessFinishedStitchLine(CStitchLine const& line);
    void ProcessStitchGroup();
    void ProcessSingletonStitchGroup(CStitchLine const& line);
    void ProcessOutInitialLongJump();
    void ResetGroup();
    void ProcessOutTrimJumps();
    // The record a line or move starts from: the one before k, or k itself at the very start.
    std::size_t Origin(std::size_t k) const { return k > 0 ? k - 1 : k; }

    double m_lengthSum = 0.0;
    uint32_t m_lengthCount = 0;
    std::vector<CStitchLine> m_group;
    std::unique_ptr<CDesignStitches> m_stitches;
};

} // namespace Brodix::StitchAlgorithms
