// The byte stream every reader and writer moves bytes through.
#pragma once

namespace Brodix {

class IArchiverStream {
public:
    virtual ~IArchiverStream() = default;
    virtual unsigned long Read(void* buffer, unsigned long n) = 0;   // bytes read, 0 at the end
    virtual unsigned long Write(void const* buffer, unsigned long n) = 0;
    virtual unsigned long GetPos() = 0;
    virtual void SetPos(unsigned long position) = 0;
    virtual bool Flush() = 0;
    virtual unsigned long GetSize() = 0;
    virtual bool IsEOF() = 0;
};

} // namespace Brodix
