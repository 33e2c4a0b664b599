// Big-endian value input and output for the VP3 library.
#include "StitchFormats/Vp3/VP3Values.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace Brodix::Vp3Lib {
namespace {

// The 16-bit count of a wide string is a byte count, so it can describe at
// most this many 16-bit characters.
constexpr std::size_t kMaxWideCharacters = 0xFFFF / 2;
constexpr std::size_t kMaxNarrowCharacters = 0xFFFF;
constexpr unsigned long kChunkSize = 512;

template <int Size>
uint32_t ReadBigEndian(IArchiverStream& stream)
{
    unsigned char bytes[Size] = {};
    stream.Read(bytes, Size);
    uint32_t value = 0;
    for (unsigned char const byte : bytes)
        value = (value << 8) | byte;
    return value;
}

template <int Size>
void WriteBigEndian(IArchiverStream& stream, uint32_t value)
{
    unsigned char bytes[Size];
    for (int i = Size - 1; i >= 0; --i, value >>= 8)
        bytes[i] = static_cast<unsigned char>(value & 0xFF);
    stream.Write(bytes, Size);
}

void Skip(IArchiverStream& stream, unsigned long n) { stream.SetPos(stream.GetPos() + n); }

// Reads up to n bytes in chunks and hands each chunk to sink; stops early at
// the end of the stream, so a hostile count costs no more than the input holds.
template <typename Sink>
void ReadChunks(IArchiverStream& stream, unsigned long n, Sink sink)
{
    unsigned char chunk[kChunkSize];
    while (n > 0) {
        unsigned long const got = stream.Read(chunk, std::min(n, kChunkSize));
        if (got == 0)
            return;
        sink(chunk, got);
        n -= got;
    }
}

} // namespace

void Read(IArchiverStream& stream, unsigned char& value) { value = static_cast<unsigned char>(ReadBigEndian<1>(stream)); }
void Read(IArchiverStream& stream, signed char& value) { value = static_cast<signed char>(ReadBigEndian<1>(stream)); }
void Read(IArchiverStream& stream, unsigned short& value) { value = static_cast<unsigned short>(ReadBigEndian<2>(stream)); }
void Read(IArchiverStream& stream, short& value) { value = static_cast<short>(ReadBigEndian<2>(stream)); }
void Read(IArchiverStream& stream, int& value) { value = static_cast<int>(ReadBigEndian<4>(stream)); }
void Read(IArchiverStream& stream, unsigned int& value) { value = ReadBigEndian<4>(stream); }

void Read(IArchiverStream& stream, char* buffer, unsigned int n)
{
    if (buffer == nullptr) {
        Skip(stream, n);
        return;
    }
    unsigned long const got = stream.Read(buffer, n);
    std::memset(buffer + got, 0, n - got);
}

// Each 16-bit unit becomes one character; an odd byte count reads one unit
// past it, as the count is rounded up to whole units.
void Read(IArchiverStream& stream, std::wstring* text)
{
    unsigned short byteCount = 0;
    Read(stream, byteCount);
    if (text == nullptr) {
        Skip(stream, byteCount);
        return;
    }
    text->clear();
    unsigned long const units = (byteCount + 1u) / 2u;
    int pendingHigh = -1;
    ReadChunks(stream, units * 2, [&](unsigned char const* bytes, unsigned long count) {
        for (unsigned long i = 0; i < count; ++i) {
            if (pendingHigh < 0) {
                pendingHigh = bytes[i];
            } else {
                text->push_back(static_cast<wchar_t>((pendingHigh << 8) | bytes[i]));
                pendingHigh = -1;
            }
        }
    });
    if (pendingHigh >= 0)   // the stream ended inside a unit: its missing byte reads as 0
        text->push_back(static_cast<wchar_t>(pendingHigh << 8));
}

void Read(IArchiverStream& stream, std::string* text)
{
    unsigned short count = 0;
    Read(stream, count);
    if (text == nullptr) {
        Skip(stream, count);
        return;
    }
    text->clear();
    ReadChunks(stream, count, [&](unsigned char const* bytes, unsigned long got) {
        text->append(reinterpret_cast<char const*>(bytes), got);
    });
}

void Write(IArchiverStream& stream, unsigned char const& value) { WriteBigEndian<1>(stream, value); }
void Write(IArchiverStream& stream, signed char const& value) { WriteBigEndian<1>(stream, static_cast<unsigned char>(value)); }
void Write(IArchiverStream& stream, unsigned short const& value) { WriteBigEndian<2>(stream, value); }
void Write(IArchiverStream& stream, short const& value) { WriteBigEndian<2>(stream, static_cast<unsigned short>(value)); }
void Write(IArchiverStream& stream, int const& value) { WriteBigEndian<4>(stream, static_cast<uint32_t>(value)); }
void Write(IArchiverStream& stream, unsigned int const& value) { WriteBigEndian<4>(stream, value); }

void Write(IArchiverStream& stream, char const* buffer, unsigned int n)
{
    if (n > 0)
        stream.Write(buffer, n);
}

// Text longer than the count can describe is cut, so the count always
// matches the characters that follow and the file stays readable.
void Write(IArchiverStream& stream, std::wstring const* text)
{
    std::size_t const length = text == nullptr ? 0 : std::min(text->size(), kMaxWideCharacters);
    unsigned short const byteCount = static_cast<unsigned short>(length * 2);
    Write(stream, byteCount);
    if (length == 0)
        return;
    std::string bytes(length * 2, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        auto const unit = static_cast<uint32_t>((*text)[i]) & 0xFFFF;
        bytes[2 * i] = static_cast<char>(unit >> 8);
        bytes[2 * i + 1] = static_cast<char>(unit & 0xFF);
    }
    stream.Write(bytes.data(), bytes.size());
}

void Write(IArchiverStream& stream, std::string const* text)
{
    std::size_t const length = text == nullptr ? 0 : std::min(text->size(), kMaxNarrowCharacters);
    unsigned short const count = static_cast<unsigned short>(length);
    Write(stream, count);
    if (length > 0)
        stream.Write(text->data(), length);
}

unsigned long Remaining(IArchiverStream& stream)
{
    unsigned long const size = stream.GetSize();
    unsigned long const position = stream.GetPos();
    return position < size ? size - position : 0;
}

} // namespace Brodix::Vp3Lib
