// Integer geometry shared by the design model and every format.
#pragma once
#include <cstdint>

namespace Brodix::CommonTypes {

struct PointI {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(PointI const&, PointI const&) = default;
};

// left is the least x, top the least y, right the greatest x, bottom the greatest y.
struct RectI {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    friend bool operator==(RectI const&, RectI const&) = default;
};

} // namespace Brodix::CommonTypes
