#include "OutputFile.h"
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace QelStitch {

bool OutputExists(std::string const& path)
{
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

bool WriteOutputFile(std::string const& path, std::string_view bytes, bool replace, std::string& error)
{
    std::filesystem::path const target(path);
    std::filesystem::path const folder = target.has_parent_path() ? target.parent_path() : ".";
    std::string name = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    std::vector<char> pattern(name.begin(), name.end());
    pattern.push_back('\0');
    int const fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        error = std::string("cannot create a file in ") + folder.string() + ": " + std::strerror(errno);
        return false;
    }
    std::string const temporary(pattern.data());
    auto const fail = [&](std::string const& what, int code) {
        ::unlink(temporary.c_str());
        error = what + std::strerror(code);
        return false;
    };
    // mkstemp makes the file private; a picture is as readable as any other output.
    mode_t const mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    for (std::size_t written = 0; written < bytes.size();) {
        ssize_t const n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            int const code = n < 0 ? errno : EIO;
            ::close(fd);
            return fail("cannot write: ", code);
        }
        written += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0)
        return fail("cannot write: ", errno);
    if (replace) {
        if (::rename(temporary.c_str(), path.c_str()) != 0)
            return fail("cannot write: ", errno);
        return true;
    }
    // A link never replaces what is there, even if it appeared while we were drawing.
    if (::link(temporary.c_str(), path.c_str()) == 0) {
        ::unlink(temporary.c_str());
        return true;
    }
    if (errno == EEXIST) {
        ::unlink(temporary.c_str());
        error = "already exists; use --force to replace it";
        return false;
    }
    // Some file systems have no hard links: check, then rename.
    if (OutputExists(path)) {
        ::unlink(temporary.c_str());
        error = "already exists; use --force to replace it";
        return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0)
        return fail("cannot write: ", errno);
    return true;
}

} // namespace QelStitch
