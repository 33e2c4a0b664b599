// zlib's one-shot uncompress as the format engine's IZLib callback, for the
// tests that load ART designs. Programs that include this link ZLIB::ZLIB.
#pragma once
#include "StitchFormats/StitchFormats.h"

#include <zlib.h>

#include <cstddef>

namespace StitchFormatsTesting {

class ZLibInflater : public Brodix::StitchFormats::IZLib {
public:
    bool Uncompress(char* dest, std::size_t& destLen, char const* src, unsigned srcLen) override
    {
        uLongf length = destLen;
        bool const ok = ::uncompress(reinterpret_cast<Bytef*>(dest), &length, reinterpret_cast<Bytef const*>(src),
                                     srcLen) == Z_OK;
        destLen = length;
        return ok;
    }
};

} // namespace StitchFormatsTesting
