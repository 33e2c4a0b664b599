// Confines reading to one class block: bytes past the block's end, or past
// the end of the underlying stream, are not there. The root, designs and
// sequences are read through one, so a hostile length can neither lead a
// reader into the next block nor make it allocate for bytes that the input
// does not hold. Stitch blocks are read within their design instead. It also
// notes whether a read came up short or a skip went past the end, so an
// object can tell that its fields ran past its block.
#pragma once
#include "Fundamentals/ArchiverStream.h"
#include <algorithm>
#include <cstdint>

namespace Brodix::Vp3Lib {

class CBlockStream final : public IArchiverStream {
public:
    CBlockStream(IArchiverStream& inner, uint64_t end)
        : m_inner(inner), m_end(std::min<uint64_t>(end, inner.GetSize()))
    {
    }

    unsigned long Read(void* buffer, unsigned long n) override
    {
        unsigned long const position = m_inner.GetPos();
        unsigned long const got =
            position >= m_end ? 0 : m_inner.Read(buffer, std::min<unsigned long>(n, m_end - position));
        if (got < n)
            m_overran = true;
        return got;
    }
    // Reading never writes.
    unsigned long Write(void const*, unsigned long) override { return 0; }
    unsigned long GetPos() override { return m_inner.GetPos(); }
    void SetPos(unsigned long position) override
    {
        if (position > m_end)
            m_overran = true;
        m_inner.SetPos(position);
    }
    bool Flush() override { return true; }
    unsigned long GetSize() override { return m_end; }
    bool IsEOF() override { return m_inner.GetPos() >= m_end; }

    // True once a read was cut short or the position was set past the end.
    bool Overran() const { return m_overran; }

private:
    IArchiverStream& m_inner;
    unsigned long m_end;
    bool m_overran = false;
};

} // namespace Brodix::Vp3Lib
