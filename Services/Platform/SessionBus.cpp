#include "Platform/SessionBus.h"
#include <sdbus-c++/sdbus-c++.h>
#include <chrono>
#include <poll.h>

namespace Brodix::Platform {
namespace {
constexpr auto kFlushLimit = std::chrono::seconds(10);
constexpr int kFlushPollMilliseconds = 200;
constexpr char kReplacementCharacter[] = "\xEF\xBF\xBD";   // U+FFFD

// The length of the UTF-8 sequence at text[at] that the bus accepts, or 0.
std::size_t ValidSequenceLength(std::string const& text, std::size_t at)
{
    auto const lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80)
        return lead != 0 ? 1 : 0;
    std::size_t length = 0;
    char32_t point = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        point = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        point = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        point = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - at < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        auto const next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        point = (point << 6) | (next & 0x3F);
    }
    bool const surrogate = point >= 0xD800 && point <= 0xDFFF;
    bool const nonCharacter = (point >= 0xFDD0 && point <= 0xFDEF) || (point & 0xFFFE) == 0xFFFE;
    if (point < minimum || point > 0x10FFFF || surrogate || nonCharacter)
        return 0;
    return length;
}

} // namespace

std::string ValidUtf8(std::string const& text)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (std::size_t const length = ValidSequenceLength(text, at)) {
            result.append(text, at, length);
            at += length;
        } else {
            result += kReplacementCharacter;
            ++at;
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
