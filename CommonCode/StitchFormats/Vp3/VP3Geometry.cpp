// Matrix and vector arithmetic of VP3 placement transforms.
#include "StitchFormats/Vp3/VP3Geometry.h"

#include <cmath>
#include <limits>

namespace Brodix::Vp3Lib {
namespace {

// The degree factor of the format's own code: 3.141592654 / 180, not pi / 180.
constexpr double kRadiansPerDegree = 0.017453292522222223;
constexpr double kLargestCoordinate = std::numeric_limits<int32_t>::max();

} // namespace

CMatrix2x2 operator*(CMatrix2x2 const& a, CMatrix2x2 const& b)
{
    return {a.m00 * b.m00 + a.m01 * b.m10, a.m00 * b.m01 + a.m01 * b.m11,
            a.m10 * b.m00 + a.m11 * b.m10, a.m10 * b.m01 + a.m11 * b.m11};
}

CVector2Col operator*(CMatrix2x2 const& m, CVector2Col const& v)
{
    return {m.m00 * v.x + m.m01 * v.y, m.m10 * v.x + m.m11 * v.y};
}

CVector2Col operator+(CVector2Col const& a, CVector2Col const& b) { return {a.x + b.x, a.y + b.y}; }

CMatrix2x2 CalculateTMatrix(bool mirrorY, bool mirrorX, int angle, CMatrix2x2 const& m)
{
    double const a = angle * kRadiansPerDegree;
    CMatrix2x2 const rotation(std::cos(a), -std::sin(a), std::sin(a), std::cos(a));
    CMatrix2x2 const mirror(mirrorX ? -1.0 : 1.0, 0.0, 0.0, mirrorY ? -1.0 : 1.0);
    return rotation * mirror * m;
}

int32_t RoundToCoordinate(double value)
{
    if (!(value > -kLargestCoordinate))   // also catches NaN
        return -std::numeric_limits<int32_t>::max();
    if (value >= kLargestCoordinate)
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::lround(value));
}

} // namespace Brodix::Vp3Lib
