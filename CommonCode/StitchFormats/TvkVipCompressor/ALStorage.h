// The byte storage the TVK/VIP coders read from and write to, and StreamStore,
// which puts an IArchiverStream behind it. A negative status marks a storage
// that failed; the coders stop and pass that status on.
#pragma once
#include "Fundamentals/ArchiverStream.h"

namespace Brodix::TvkVipCompressor {

inline constexpr int kStatusWriteError = -1;   // a write stored fewer bytes than it was given
inline constexpr int kStatusSeekError = -2;    // a storage could not return to a position

class ALStorage {
public:
    virtual ~ALStorage() = default;

    // The next byte 0..255, or -1 at the end or on failure.
    virtual int ReadChar() = 0;
    // The byte written, or -1.
    virtual int WriteChar(int c) = 0;
    // The number of bytes read or written.
    virtual unsigned long ReadBuffer(unsigned char* buffer, unsigned long length) = 0;
    virtual unsigned long WriteBuffer(unsigned char const* buffer, unsigned long length) = 0;
    virtual long GetSize() const = 0;
    virtual long Tell() = 0;
    // 0 when the position afterwards is the one asked for, else -1.
    virtual int Seek(long position) = 0;

    [[nodiscard]] int GetStatusCode() const { return m_status; }

protected:
    int m_status = 0;
};

} // namespace Brodix::TvkVipCompressor

// Forwards to a stream it does not own. A short write sets the status to
// kStatusWriteError, so a full disk is never reported as a finished job.
class StreamStore : public Brodix::TvkVipCompressor::ALStorage {
public:
    explicit StreamStore(Brodix::IArchiverStream& stream) : m_stream(stream) {}

    int ReadChar() override;
    int WriteChar(int c) override;
    unsigned long ReadBuffer(unsigned char* buffer, unsigned long length) override;
    unsigned long WriteBuffer(unsigned char const* buffer, unsigned long length) override;
    long GetSize() const override;
    long Tell() override;
    int Seek(long position) override;

private:
    Brodix::IArchiverStream& m_stream;
};
