// An in-memory output stream that never holds more than its capacity: a
// write that would pass it stores nothing and reports 0 bytes written. It
// keeps the output of untrusted compressed data bounded.
#pragma once
#include "Fundamentals/ArchiverStream.h"
#include "Fundamentals/MemoryStream.h"

namespace Brodix::TvkVipCompressor {

class BoundedMemoryStream : public IArchiverStream {
public:
    explicit BoundedMemoryStream(unsigned long capacity) : m_capacity(capacity) {}

    unsigned long Read(void* buffer, unsigned long n) override { return m_content.Read(buffer, n); }
    unsigned long Write(void const* buffer, unsigned long n) override
    {
        unsigned long const position = m_content.GetPos();
        if (position > m_capacity || n > m_capacity - position) {
            m_refused = true;
            return 0;
        }
        return m_content.Write(buffer, n);
    }
    unsigned long GetPos() override { return m_content.GetPos(); }
    void SetPos(unsigned long position) override { m_content.SetPos(position); }
    bool Flush() override { return true; }
    unsigned long GetSize() override { return m_content.GetSize(); }
    bool IsEOF() override { return m_content.IsEOF(); }

    [[nodiscard]] bool WasRefused() const { return m_refused; }
    [[nodiscard]] std::vector<unsigned char> const& Content() const { return m_content.Content(); }

private:
    Archivers::MemoryStreamRW<IArchiverStream> m_content;
    unsigned long m_capacity;
    bool m_refused = false;
};

} // namespace Brodix::TvkVipCompressor
