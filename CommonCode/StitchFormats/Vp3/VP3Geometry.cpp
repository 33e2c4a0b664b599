// Matrix and vector arithmetic of VP3 placement transforms.
#include "StitchFormats/Vp3/VP3Geometry.h"

#include <cmath>
#include <limits>

namespace Brodix::Vp3Lib {
namespace {

// The degree factor of the format's own code: 3.141592654 / 180, not pi / 180.
constexpr double kRadiansPerDegree = 0.017453292522222223;

} // namespace

CMatrix2x2 operator*(CMatrix2x2 const& a, CMatrix2x2 const& b)
{
    return {a.m00 * b.m00 + a.m01 * b.m10, a.m00 * b.m01 + a.m01 * b.m11,
            a.m10 * b.m00 + a.m11 * b.m10, a.m10 * b.m01 + a.m11 * b.m11};
}

CMatrix2x2 CalculateTMatrix(bool mirrorY, bool mirrorX, int angle, CMatrix2x2 const& m)
{
    double const a = angle * kRadiansPerDegree;
    CMatrix2x2 const rotation(std::cos(a), -std::sin(a), std::sin(a), std::cos(a));
    CMatrix2x2 const mirror(mirrorX ? -1.0 : 1.0, 0.0, 0.0, mirrorY ? -1.0 : 1.0);
    return rotation * mirror * m;
}

} // namespace Brodix::Vp3Lib
