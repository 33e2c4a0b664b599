// Streams over plain memory for the VP3 library: reading the caller's bytes
// where they are, and writing into a block sized beforehand by a counting
// write, so a file is encoded into one buffer that never grows.
#pragma once
#include "Fundamentals/ArchiverStream.h"
#include <algorithm>
#include <cstring>

namespace Brodix::Vp3Lib {

// Reads bytes the caller keeps alive; never writes.
class CByteViewStream : public IArchiverStream {
public:
    CByteViewStream(void const* data, unsigned long size)
        : m_data(static_cast<unsigned char const*>(data)), m_size(data == nullptr ? 0 : size)
    {
    }

    unsigned long Read(void* buffer, unsigned long n) override
    {
        if (n == 0 || m_position >= m_size)
            return 0;
        unsigned long const count = std::min(n, m_size - m_position);
        std::memcpy(buffer, m_data + m_position, count);
        m_position += count;
        return count;
    }
    unsigned long Write(void const*, unsigned long) override { return 0; }
    unsigned long GetPos() override { return m_position; }
    void SetPos(unsigned long position) override { m_position = position; }
    bool Flush() override { return true; }
    unsigned long GetSize() override { return m_size; }
    bool IsEOF() override { return m_position == m_size; }

private:
    unsigned char const* m_data;
    unsigned long m_size;
    unsigned long m_position = 0;
};

// Writes into a block of fixed capacity; what does not fit is not written
// and makes Overflowed() true. Without a block it stores nothing and only
// counts, to learn how large the block must be.
class CBlockWriteStream final : public IArchiverStream {
public:
    CBlockWriteStream() = default;
    CBlockWriteStream(unsigned char* block, unsigned long capacity) : m_block(block), m_capacity(capacity) {}

    unsigned long Read(void*, unsigned long) override { return 0; }
    unsigned long Write(void const* bytes, unsigned long n) override
    {
        if (n == 0)
            return 0;
        if (m_block != nullptr) {
            if (m_position > m_capacity || n > m_capacity - m_position) {
                m_overflowed = true;
                return 0;
            }
            std::memcpy(m_block + m_position, bytes, n);
        }
        m_position += n;
        m_size = std::max(m_size, m_position);
        return n;
    }
    unsigned long GetPos() override { return m_position; }
    void SetPos(unsigned long position) override { m_position = position; }
    bool Flush() override { return true; }
    unsigned long GetSize() override { return m_size; }
    bool IsEOF() override { return m_position == m_size; }

    bool Overflowed() const { return m_overflowed; }

private:
    unsigned char* m_block = nullptr;
    unsigned long m_capacity = 0;
    unsigned long m_position = 0;
    unsigned long m_size = 0;
    bool m_overflowed = false;
};

} // namespace Brodix::Vp3Lib
