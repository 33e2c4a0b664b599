// The value encodings of VP3 files: big-endian integers, raw bytes and the two
// counted string forms. A read that the stream cannot satisfy yields zero
// bytes, so callers bound their reads by class block ends instead.
#pragma once
#include "Fundamentals/ArchiverStream.h"
#include <string>

namespace Brodix::Vp3Lib {

void Read(IArchiverStream& stream, unsigned char& value);
void Read(IArchiverStream& stream, signed char& value);
void Read(IArchiverStream& stream, unsigned short& value);
void Read(IArchiverStream& stream, short& value);
void Read(IArchiverStream& stream, int& value);
void Read(IArchiverStream& stream, unsigned int& value);
// A null buffer skips n bytes.
void Read(IArchiverStream& stream, char* buffer, unsigned int n);
// A null string skips the stored bytes.
void Read(IArchiverStream& stream, std::wstring* text);
void Read(IArchiverStream& stream, std::string* text);

void Write(IArchiverStream& stream, unsigned char const& value);
void Write(IArchiverStream& stream, signed char const& value);
void Write(IArchiverStream& stream, unsigned short const& value);
void Write(IArchiverStream& stream, short const& value);
void Write(IArchiverStream& stream, int const& value);
void Write(IArchiverStream& stream, unsigned int const& value);
void Write(IArchiverStream& stream, char const* buffer, unsigned int n);
// A null or empty string is the count 0 alone.
void Write(IArchiverStream& stream, std::wstring const* text);
void Write(IArchiverStream& stream, std::string const* text);

// Stores value big-endian at the cursor and moves the cursor past it.
inline void Write(unsigned char*& cursor, short const& value)
{
    auto const bits = static_cast<unsigned short>(value);
    *cursor++ = static_cast<unsigned char>(bits >> 8);
    *cursor++ = static_cast<unsigned char>(bits & 0xFF);
}

// Bytes left between the stream's position and its end.
unsigned long Remaining(IArchiverStream& stream);

} // namespace Brodix::Vp3Lib
