// A byte stream over a stdio FILE, optionally owning (and closing) it.
#pragma once
#include <cstdio>

namespace Brodix::Archivers {

template <typename Interface>
class FileStreamRW : public Interface {
public:
    FileStreamRW(std::FILE* file, bool ownsFile) : m_file(file), m_ownsFile(ownsFile) {}
    FileStreamRW(FileStreamRW const&) = delete;
    FileStreamRW& operator=(FileStreamRW const&) = delete;
    ~FileStreamRW() override
    {
        if (m_ownsFile && m_file != nullptr)
            std::fclose(m_file);
    }

    unsigned long Read(void* buffer, unsigned long n) override { return std::fread(buffer, 1, n, m_file); }
    unsigned long Write(void const* buffer, unsigned long n) override { return std::fwrite(buffer, 1, n, m_file); }
    unsigned long GetPos() override
    {
        long const position = std::ftell(m_file);
        return position < 0 ? 0 : static_cast<unsigned long>(position);
    }
    void SetPos(unsigned long position) override { std::fseek(m_file, static_cast<long>(position), SEEK_SET); }
    bool Flush() override { return std::fflush(m_file) == 0; }
    unsigned long GetSize() override
    {
        long const remembered = std::ftell(m_file);
        std::fseek(m_file, 0, SEEK_END);
        long const size = std::ftell(m_file);
        std::fseek(m_file, remembered, SEEK_SET);
        return size < 0 ? 0 : static_cast<unsigned long>(size);
    }
    bool IsEOF() override { return std::feof(m_file) != 0; }

private:
    std::FILE* m_file;
    bool m_ownsFile;
};

} // namespace Brodix::Archivers
