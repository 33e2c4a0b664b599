#include "Platform/SessionBus.h"
#include "Fundamentals/Utf8.h"
#include <sdbus-c++/sdbus-c++.h>
#include <chrono>
#include <poll.h>
#include <string_view>

namespace Brodix::Platform {
namespace {
constexpr auto kFlushLimit = std::chrono::seconds(10);
constexpr int kFlushPollMilliseconds = 200;

// Beyond well-formed UTF-8, the bus refuses NUL and the noncharacters.
bool BusAcceptsCodePoint(char32_t c)
{
    bool const nonCharacter = (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
    return c != 0 && !nonCharacter;
}

} // namespace

std::string ValidUtf8(std::string const& text)
{
    std::string result;
    result.reserve(text.size());
    std::string_view rest = text;
    while (!rest.empty()) {
        auto const decoded = Utf8::DecodeOne(rest);
        if (decoded && BusAcceptsCodePoint(decoded->codePoint)) {
            result += rest.substr(0, decoded->length);
            rest.remove_prefix(decoded->length);
        } else {
            result += Utf8::kReplacementBytes;
            rest.remove_prefix(1);
        }
    }
    return result;
}

std::unique_ptr<sdbus::IConnection> ConnectSessionBus(std::string* error)
{
    try {
        return sdbus::createSessionBusConnection();
    } catch (sdbus::Error const& failure) {
        if (error != nullptr)
            *error = failure.what();
        return nullptr;
    }
}

void FlushSessionBus(sdbus::IConnection& bus)
{
    auto const deadline = std::chrono::steady_clock::now() + kFlushLimit;
    try {
        while (std::chrono::steady_clock::now() < deadline) {
            while (bus.processPendingRequest()) {
            }
            auto const pollData = bus.getEventLoopPollData();
            if ((pollData.events & POLLOUT) == 0)
                return;
            pollfd fd{pollData.fd, POLLOUT, 0};
            ::poll(&fd, 1, kFlushPollMilliseconds);
        }
    } catch (sdbus::Error const&) {
    }
}

} // namespace Brodix::Platform
