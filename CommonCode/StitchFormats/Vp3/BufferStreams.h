// A stream over plain memory for the VP3 library: writing into a block sized
// beforehand by a counting write, so a file is encoded into one buffer that
// never grows.
#pragma once
#include "Fundamentals/ArchiverStream.h"
#include <algorithm>
#include <cstring>

namespace Brodix::Vp3Lib {

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
