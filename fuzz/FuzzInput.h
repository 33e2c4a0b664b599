// What the fuzz targets that read any machine format share: the first input
// byte picks the format, the rest is the file, loaded through the front door.
#pragma once
#include "DesignFiles/DesignFiles.h"
#include <cstddef>
#include <cstdint>

inline Brodix::DesignFiles::LoadResult LoadFuzzInput(uint8_t const* data, std::size_t size)
{
    namespace DF = Brodix::DesignFiles;
    auto const format = static_cast<DF::FileFormat>(data[0] % Brodix::StitchFormats::kFormatCount);
    return DF::LoadDesign({data + 1, size - 1}, format);
}
