// A session bus of the test's own: a dbus-daemon started for the test and
// named in DBUS_SESSION_BUS_ADDRESS until the object goes away, so tests
// never reach the desktop's bus and run the same on a machine without one.
#pragma once
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <fcntl.h>
#include <sys/prctl.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace QelTest {

class PrivateSessionBus {
public:
    PrivateSessionBus()
    {
        if (char const* previous = std::getenv("DBUS_SESSION_BUS_ADDRESS"))
            m_previous = previous;
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        m_pid = ::fork();
        if (m_pid == 0) {
            // The daemon dies with the test, whatever way the test ends, and
            // keeps none of the test's output open.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            int const devNull = ::open("/dev/null", O_RDWR);
            ::dup2(devNull, STDIN_FILENO);
            ::dup2(pipeFds[1], STDOUT_FILENO);
            ::dup2(devNull, STDERR_FILENO);
            ::execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address",
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        if (m_pid < 0) {
            ::close(pipeFds[0]);
            throw std::runtime_error("cannot start dbus-daemon");
        }
        std::string address;
        char c = 0;
        while (::read(pipeFds[0], &c, 1) == 1 && c != '\n')
            address += c;
        ::close(pipeFds[0]);
        if (address.empty())
            throw std::runtime_error("dbus-daemon printed no address");
        m_address = address;
        ::setenv("DBUS_SESSION_BUS_ADDRESS", m_address.c_str(), 1);
    }

    ~PrivateSessionBus()
    {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        if (m_previous)
            ::setenv("DBUS_SESSION_BUS_ADDRESS", m_previous->c_str(), 1);
        else
            ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }

    PrivateSessionBus(PrivateSessionBus const&) = delete;
    PrivateSessionBus& operator=(PrivateSessionBus const&) = delete;

    std::string const& Address() const { return m_address; }

private:
    pid_t m_pid = -1;
    std::string m_address;
    std::optional<std::string> m_previous;
};

// One bus for the whole test program: the platform's notification centre
// keeps its connection for the life of the process.
inline PrivateSessionBus& SharedSessionBus()
{
    static PrivateSessionBus bus;
    return bus;
}

} // namespace QelTest
