// The small matrix and vector types of VP3 placement transforms, and the
// 32-bit arithmetic of VP3 coordinates.
#pragma once
#include "Fundamentals/CommonTypes.h"
#include <cstdint>
#include <limits>

namespace Brodix::Vp3Lib {

class CMatrix2x2 {
public:
    CMatrix2x2() = default;
    CMatrix2x2(double m00, double m01, double m10, double m11) : m00(m00), m01(m01), m10(m10), m11(m11) {}

    double m00 = 1.0;
    double m01 = 0.0;
    double m10 = 0.0;
    double m11 = 1.0;
};

class CVector2Col {
public:
    CVector2Col() = default;
    CVector2Col(double x, double y) : x(x), y(y) {}
    explicit CVector2Col(CommonTypes::PointI const& point) : x(point.x), y(point.y) {}

    double x = 0.0;
    double y = 0.0;
};

// A point in VP3 units: one hundredth of a design unit, y growing upwards.
struct CHiResVector {
    int32_t x = 0;
    int32_t y = 0;
};

CMatrix2x2 operator*(CMatrix2x2 const& a, CMatrix2x2 const& b);
// Inline: the reader places every stitch through them.
inline CVector2Col operator*(CMatrix2x2 const& m, CVector2Col const& v)
{
    return {m.m00 * v.x + m.m01 * v.y, m.m10 * v.x + m.m11 * v.y};
}
inline CVector2Col operator+(CVector2Col const& a, CVector2Col const& b) { return {a.x + b.x, a.y + b.y}; }

// R · D · m: D mirrors (mirrorX negates the first row, mirrorY the second),
// R rotates by the angle in whole degrees.
CMatrix2x2 CalculateTMatrix(bool mirrorY, bool mirrorX, int angle, CMatrix2x2 const& m);

// VP3 fields are 32-bit two's complement: results that do not fit wrap, as
// the file format stores them, without signed overflow in the arithmetic.
inline int32_t Wrap32(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }

// What the encoding holds: VP3 fields are 32-bit, and the long step of the
// stitch code carries a 16-bit delta per axis. A design beyond either is
// refused, not written wrapped.
inline bool FitsField(int64_t value)
{
    return value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
}
inline bool FitsStep(int64_t delta)
{
    return delta >= std::numeric_limits<int16_t>::min() && delta <= std::numeric_limits<int16_t>::max();
}

// Sums of positions wrap like the fields that hold them.
inline CHiResVector operator+(CHiResVector a, CHiResVector b)
{
    return {Wrap32(static_cast<int64_t>(a.x) + b.x), Wrap32(static_cast<int64_t>(a.y) + b.y)};
}

// Rounds half away from zero, as std::lround, into the range of a coordinate
// whose negation still fits. Inline and without the library call, as every
// stitch read is rounded: within the range the fraction value - trunc(value)
// is exact, so comparing it with one half rounds exactly as lround.
inline int32_t RoundToCoordinate(double value)
{
    constexpr double kLargest = std::numeric_limits<int32_t>::max();
    if (!(value > -kLargest))   // also catches NaN
        return -std::numeric_limits<int32_t>::max();
    if (value >= kLargest)
        return std::numeric_limits<int32_t>::max();
    auto const whole = static_cast<int64_t>(value);
    double const fraction = value - static_cast<double>(whole);
    return static_cast<int32_t>(whole + (fraction >= 0.5 ? 1 : 0) - (fraction <= -0.5 ? 1 : 0));
}

} // namespace Brodix::Vp3Lib
