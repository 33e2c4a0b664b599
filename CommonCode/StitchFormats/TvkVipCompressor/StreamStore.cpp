// StreamStore: the coders' storage over the project's byte streams.
#include "StitchFormats/TvkVipCompressor/ALStorage.h"

using Brodix::TvkVipCompressor::kStatusWriteError;

int StreamStore::ReadChar()
{
    unsigned char byte = 0;
    return m_stream.Read(&byte, 1) == 1 ? byte : -1;
}

int StreamStore::WriteChar(int c)
{
    auto const byte = static_cast<unsigned char>(c);
    if (m_stream.Write(&byte, 1) != 1) {
        m_status = kStatusWriteError;
        return -1;
    }
    return byte;
}

unsigned long StreamStore::ReadBuffer(unsigned char* buffer, unsigned long length)
{
    return m_stream.Read(buffer, length);
}

unsigned long StreamStore::WriteBuffer(unsigned char const* buffer, unsigned long length)
{
    unsigned long const written = m_stream.Write(buffer, length);
    if (written != length)
        m_status = kStatusWriteError;
    return written;
}

long StreamStore::GetSize() const
{
    return static_cast<long>(m_stream.GetSize());
}

long StreamStore::Tell()
{
    return static_cast<long>(m_stream.GetPos());
}

int StreamStore::Seek(long position)
{
    if (position < 0)
        return -1;
    m_stream.SetPos(static_cast<unsigned long>(position));
    return static_cast<long>(m_stream.GetPos()) == position ? 0 : -1;
}
