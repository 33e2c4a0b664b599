#include "Platform/SessionBus.h"
#include <sdbus-c++/sdbus-c++.h>
#include <chrono>
#include <poll.h>

namespace Brodix::Platform {
namespace {
constexpr auto kFlushLimit = std::chrono::seconds(10);
constexpr int kFlushPollMilliseconds = 200;
} // namespace

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
