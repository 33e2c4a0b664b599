// The error status that the TVK/VIP coders carry: a signed code, negative on
// error. The message a caller passes is checked like printf but not kept.
#pragma once

namespace Brodix::TvkVipCompressor {

inline constexpr int kStatusOk = 0;
inline constexpr int kStatusBadLevel = -1990;   // level outside 10..14
inline constexpr int kStatusBadData = -1989;    // code lengths or counts no encoder writes

class ALStatus {
public:
    // Stores code and returns it.
    [[gnu::format(printf, 3, 4)]] int SetError(int code, char const* format, ...);

    [[nodiscard]] int GetStatusCode() const { return m_code; }
    [[nodiscard]] bool IsError() const { return m_code < 0; }

private:
    int m_code = kStatusOk;
};

} // namespace Brodix::TvkVipCompressor
