// The common design every reader fills and the VP3 writer reads: absolute
// stitch records, a table of thread colours and a notes text.
#pragma once
#include "Fundamentals/AbsStitch.h"
#include "Fundamentals/ColourData.h"
#include "Fundamentals/CommonTypes.h"
#include "Fundamentals/Iterator.h"
#include <string>

class IDesign {
public:
    virtual ~IDesign() = default;

    virtual void ClearOtherData() = 0;
    virtual void ClearStitchesAndColours() = 0;
    virtual Brodix::CommonTypes::RectI GetDesignRectangle() const = 0;
    virtual void AddColourStitch(Brodix::ColourData const& colour, Brodix::CommonTypes::PointI const& point,
                                 bool colourChangeFlag) = 0;
    virtual void AddStitch(Brodix::CAbsStitch const& stitch) = 0;
    virtual void PopLastStitch() = 0;
    virtual unsigned long GetStitchCount() const = 0;
    virtual unsigned long GetColourCount() const = 0;
    virtual Brodix::ColourData GetColour(unsigned long index) const = 0;
    virtual void SetColour(unsigned long index, Brodix::ColourData const& colour) = 0;
    virtual std::wstring GetDesignNotes() const = 0;
    virtual void SetDesignNotes(std::wstring const& notes) = 0;
    virtual Brodix::IIterator<Brodix::CAbsStitch>* GetStitchReader() = 0;
    virtual Brodix::IIterator<Brodix::CAbsStitch const>* GetStitchReader() const = 0;
    virtual Brodix::IIterator<Brodix::CAbsStitch>* GetReverseStitchReader() = 0;
    virtual Brodix::IIterator<Brodix::CAbsStitch const>* GetReverseStitchReader() const = 0;
    virtual IDesign* Clone() const = 0;
};
