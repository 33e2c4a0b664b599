// In-memory byte streams: a growable one, and a read-only view of bytes held elsewhere.
#pragma once
#include <algorithm>
#include <cstring>
#include <vector>

namespace Brodix::Archivers {

template <typename Interface>
class MemoryStreamRW : public Interface {
public:
    MemoryStreamRW() = default;
    MemoryStreamRW(void const* data, unsigned long size)
        : m_content(static_cast<unsigned char const*>(data), static_cast<unsigned char const*>(data) + size)
    {
    }
    explicit MemoryStreamRW(std::vector<unsigned char> content) : m_content(std::move(content)) {}

    unsigned long Read(void* buffer, unsigned long n) override
    {
        if (n == 0 || m_position >= m_content.size())
            return 0;
        unsigned long const count = std::min<unsigned long>(n, m_content.size() - m_position);
        std::memcpy(buffer, m_content.data() + m_position, count);
        m_position += count;
        return count;
    }

    // Overwrites from the position and appends what runs past the end. A
    // position beyond the end (SetPos does not check) is first filled with
    // zero bytes, so the content never has holes of undefined bytes.
    unsigned long Write(void const* buffer, unsigned long n) override
    {
        if (n == 0)
            return 0;
        if (m_position > m_content.size())
            m_content.resize(m_position, 0);
        unsigned long const overwrite = std::min<unsigned long>(n, m_content.size() - m_position);
        auto const* bytes = static_cast<unsigned char const*>(buffer);
        if (overwrite > 0)   // an empty vector's data() may be null
            std::memcpy(m_content.data() + m_position, bytes, overwrite);
        m_content.insert(m_content.end(), bytes + overwrite, bytes + n);
        m_position += n;
        return n;
    }

    unsigned long GetPos() override { return m_position; }
    void SetPos(unsigned long position) override { m_position = position; }
    bool Flush() override { return true; }
    unsigned long GetSize() override { return m_content.size(); }
    bool IsEOF() override { return m_position == m_content.size(); }

    std::vector<unsigned char> const& Content() const { return m_content; }
    std::vector<unsigned char> TakeContent() { m_position = 0; return std::move(m_content); }

private:
    std::vector<unsigned char> m_content;
    unsigned long m_position = 0;
};

// Reads bytes the caller keeps alive, without copying them; writing is refused.
template <typename Interface>
class MemoryReadStream : public Interface {
public:
    MemoryReadStream(void const* data, unsigned long size)
        : m_data(static_cast<unsigned char const*>(data)), m_size(data == nullptr ? 0 : size)
    {
    }

    unsigned long Read(void* buffer, unsigned long n) override
    {
        if (n == 0 || m_position >= m_size)
            return 0;
        unsigned long const count = std::min<unsigned long>(n, m_size - m_position);
        // Readers that take a few bytes at a time would otherwise pay a copy call each.
        if (count <= kSmallRead) {
            auto* out = static_cast<unsigned char*>(buffer);
            for (unsigned long i = 0; i < count; ++i)
                out[i] = m_data[m_position + i];
        } else {
            std::memcpy(buffer, m_data + m_position, count);
        }
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
    static constexpr unsigned long kSmallRead = 16;
    unsigned char const* m_data;
    unsigned long m_size;
    unsigned long m_position = 0;
};

} // namespace Brodix::Archivers
