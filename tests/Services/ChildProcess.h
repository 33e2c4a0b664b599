// Runs a program of ours as a child process with its output in files, for
// tests that drive the executables the way the desktop does.
#pragma once
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace QelTest {

inline std::string ReadWholeFile(std::string const& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

class ChildProcess {
public:
    ChildProcess(std::vector<std::string> const& arguments, std::string outputPath, std::string errorPath)
        : m_outputPath(std::move(outputPath)), m_errorPath(std::move(errorPath))
    {
        std::vector<char*> argv;
        for (std::string const& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            int const in = ::open("/dev/null", O_RDONLY);
            int const out = ::open(m_outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int const err = ::open(m_errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(in, STDIN_FILENO);
            ::dup2(out, STDOUT_FILENO);
            ::dup2(err, STDERR_FILENO);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }

    ~ChildProcess()
    {
        if (m_pid > 0 && !m_status) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    ChildProcess(ChildProcess const&) = delete;
    ChildProcess& operator=(ChildProcess const&) = delete;

    // The exit code, or nothing when the process did not end by itself in
    // time (it is then killed) or ended by a signal.
    std::optional<int> Wait(std::chrono::milliseconds timeout)
    {
        auto const deadline = std::chrono::steady_clock::now() + timeout;
        while (!m_status) {
            int status = 0;
            pid_t const done = ::waitpid(m_pid, &status, WNOHANG);
            if (done == m_pid) {
                m_status = status;
                break;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, &status, 0);
                m_status = status;
                return std::nullopt;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!WIFEXITED(*m_status))
            return std::nullopt;
        return WEXITSTATUS(*m_status);
    }

    void Signal(int signal) { ::kill(m_pid, signal); }

    // Waits until the standard output holds text; false on timeout.
    bool WaitForOutput(std::string const& text, std::chrono::milliseconds timeout) const
    {
        auto const deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (Output().find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    std::string Output() const { return ReadWholeFile(m_outputPath); }
    std::string Errors() const { return ReadWholeFile(m_errorPath); }

private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
    std::string m_outputPath;
    std::string m_errorPath;
};

} // namespace QelTest
