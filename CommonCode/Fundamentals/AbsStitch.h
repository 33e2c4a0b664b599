// One absolute stitch record of the common design.
#pragma once
#include "Fundamentals/CommonTypes.h"
#include <cstdint>

namespace Brodix {

struct CAbsStitch {
    enum Type : uint8_t { Normal = 0, Jump = 1, ColourChange = 2, Stop = 3, Trim = 4 };

    CommonTypes::PointI position;   // tenths of a millimetre, y grows downwards
    int32_t colourIndex = 0;        // on a colour change: the colour it introduces
    uint8_t type = Normal;
    bool colourChangeFlag = false;
    bool visible = true;

    friend bool operator==(CAbsStitch const&, CAbsStitch const&) = default;
};

} // namespace Brodix
