// The contract between the VP3 library and an SPX reader library: the stream
// record the library reads the SPX data through, the one function it exports,
// and the marker points it may return. Both sides include this header, so
// they agree on the layout. The library is loaded at run time and may come
// from elsewhere, so only plain types cross.
#pragma once
#include "Fundamentals/CommonTypes.h"
#include <cstdint>

namespace Brodix::Spx {

// Positions and sizes are 32-bit: the record was laid down that way.
struct SpxRW_Stream {
    uint64_t size;    // sizeof(SpxRW_Stream), so the library can check what it got
    void* context;    // handed back as the first argument of every function
    bool (*Flush)(void* context);
    bool (*IsEOF)(void* context);
    unsigned int (*GetSize)(void* context);
    unsigned int (*Read)(void* context, unsigned char* buffer, unsigned int count);    // bytes read
    unsigned int (*Write)(void* context, unsigned char* buffer, unsigned int count);   // bytes written
    unsigned int (*Tell)(void* context);
    void (*SetPos)(void* context, unsigned int position);
};
static_assert(sizeof(void*) != 8 || sizeof(SpxRW_Stream) == 72, "the record is 72 bytes on 64-bit systems");

// The library's export: reads SPX data through the stream from its current
// position. Returns 0 on success, having set *points to an array of *count
// points made with new[], in VP3 units relative to the object's centre; the
// caller copies them and releases the array with delete[] (whatever the
// result, when the pointer is set). Any other result is a failure.
using LoadSpxInVp3Function = int (*)(SpxRW_Stream* stream, CommonTypes::PointI** points, int* count);
inline constexpr char kLoadSpxInVp3Name[] = "LoadSpxInVp3";

// Returned points with these x values are commands at the last needle
// position, not positions; other x values from kTrimX up mean nothing.
inline constexpr int32_t kTrimX = 0x7F00000;
inline constexpr int32_t kStopX = 0x7F00001;

} // namespace Brodix::Spx
