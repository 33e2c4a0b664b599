#include "Platform/FileManager.h"
#include "Fundamentals/XdgDataFolders.h"
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <linux/limits.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace Brodix::Platform {
namespace {

namespace fs = std::filesystem;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { if (m_fd >= 0) ::close(m_fd); }
    FileDescriptor(FileDescriptor const&) = delete;
    FileDescriptor& operator=(FileDescriptor const&) = delete;
    int get() const { return m_fd; }
    int release() { int const fd = m_fd; m_fd = -1; return fd; }

private:
    int m_fd;
};

bool WriteAll(int fd, unsigned char const* bytes, std::size_t size)
{
    while (size > 0) {
        ssize_t const written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

std::string ErrorText(char const* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

// Moves the finished temporary file to its name without ever replacing an
// existing file. Not every file system knows RENAME_NOREPLACE (older FAT
// drivers on USB sticks) nor hard links, so each is tried in turn.
CreateFileResult MoveIntoPlace(int dirFd, char const* temporary, char const* name, std::string* error)
{
    if (::renameat2(dirFd, temporary, dirFd, name, RENAME_NOREPLACE) == 0)
        return CreateFileResult::Created;
    if (errno == EEXIST)
        return CreateFileResult::AlreadyExists;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
        *error = ErrorText("rename");
        return CreateFileResult::Failed;
    }
    if (::linkat(dirFd, temporary, dirFd, name, 0) == 0) {
        ::unlinkat(dirFd, temporary, 0);
        return CreateFileResult::Created;
    }
    if (errno == EEXIST)
        return CreateFileResult::AlreadyExists;
    // Last resort for file systems with neither: a check, then a plain rename.
    struct stat existing{};
    if (::fstatat(dirFd, name, &existing, AT_SYMLINK_NOFOLLOW) == 0)
        return CreateFileResult::AlreadyExists;
    if (::renameat(dirFd, temporary, dirFd, name) == 0)
        return CreateFileResult::Created;
    *error = ErrorText("rename");
    return CreateFileResult::Failed;
}

} // namespace

bool FileExistsAtPath(std::string const& path, bool* isDirectory)
{
    struct stat status{};
    if (path.empty() || ::stat(path.c_str(), &status) != 0)
        return false;
    if (isDirectory != nullptr)
        *isDirectory = S_ISDIR(status.st_mode);
    return true;
}

std::optional<std::vector<unsigned char>> ReadFileContents(std::string const& path, std::size_t maxBytes)
{
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0)
        return std::nullopt;
    struct stat status{};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0 ||
        static_cast<std::size_t>(status.st_size) > maxBytes)
        return std::nullopt;
    std::vector<unsigned char> contents(static_cast<std::size_t>(status.st_size));
    std::size_t filled = 0;
    // The file may shrink while we read; it may not grow past the limit.
    for (;;) {
        if (filled == contents.size()) {
            if (contents.size() >= maxBytes)
                break;
            contents.resize(std::min(maxBytes, contents.size() + 4096));
        }
        ssize_t const got = ::read(file.get(), contents.data() + filled, contents.size() - filled);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    if (filled == maxBytes) {
        unsigned char probe = 0;
        if (::read(file.get(), &probe, 1) > 0)
            return std::nullopt;
    }
    contents.resize(filled);
    return contents;
}

namespace {
fs::path ExecutablePath()
{
    char buffer[PATH_MAX];
    ssize_t const length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return {};
    return fs::path(std::string(buffer, static_cast<std::size_t>(length)));
}
} // namespace

std::string ExecutableFolder()
{
    fs::path const path = ExecutablePath();
    return path.empty() ? std::string(".") : path.parent_path().string();
}

std::string ExecutableName() { return ExecutablePath().filename().string(); }

std::string CurrentDirectory()
{
    std::error_code ignored;
    fs::path const current = fs::current_path(ignored);
    return current.empty() ? std::string(".") : current.string();
}

std::string UserDataFolder()
{
    // Without an absolute XDG_DATA_HOME or HOME, the folder below the current one.
    return Xdg::DataHomeFromEnvironment().value_or("./.local/share");
}

bool CreateDirectories(std::string const& path)
{
    std::error_code ignored;
    fs::create_directories(path, ignored);
    return fs::is_directory(path, ignored);
}

FolderState CheckFolder(std::string const& path)
{
    struct stat status{};
    if (::stat(path.c_str(), &status) != 0)
        return errno == ENOTDIR ? FolderState::NotAFolder : FolderState::Missing;
    if (!S_ISDIR(status.st_mode))
        return FolderState::NotAFolder;
    struct statvfs mount{};
    bool const readOnlyMount = ::statvfs(path.c_str(), &mount) == 0 && (mount.f_flag & ST_RDONLY) != 0;
    bool const noWriteBit = (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    if (readOnlyMount || noWriteBit || ::access(path.c_str(), W_OK | X_OK) != 0)
        return FolderState::ReadOnly;
    return FolderState::Writable;
}

FolderState CreateFolderIfParentExists(std::string const& path)
{
    // EEXIST leaves the judgement to CheckFolder; a missing parent is ENOENT.
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
        return errno == EROFS || errno == EACCES || errno == EPERM ? FolderState::ReadOnly
                                                                   : CheckFolder(path);
    return CheckFolder(path);
}

CreateFileResult CreateFileAtomically(std::string const& folder, std::string const& name,
                                      std::vector<unsigned char> const& bytes, std::string* error,
                                      int* errorNumber)
{
    std::string ignoredError;
    if (error == nullptr)
        error = &ignoredError;
    int ignoredNumber = 0;
    if (errorNumber == nullptr)
        errorNumber = &ignoredNumber;
    *errorNumber = 0;
    auto const fail = [&](char const* what) {
        *errorNumber = errno;
        *error = ErrorText(what);
    };
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        *error = "not a file name";
        return CreateFileResult::Failed;
    }
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) {
        fail("open folder");
        return CreateFileResult::Failed;
    }
    struct stat existing{};
    if (::fstatat(dir.get(), name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
        return CreateFileResult::AlreadyExists;

    char temporary[64];
    static unsigned serial = 0;
    int fd = -1;
    // A hidden name that no design file can have, unique per attempt.
    for (unsigned attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        std::snprintf(temporary, sizeof temporary, ".qel-partial-%d-%u", static_cast<int>(::getpid()), serial++);
        fd = ::openat(dir.get(), temporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST) {
            fail("create");
            return CreateFileResult::Failed;
        }
    }
    if (fd < 0) {
        *error = "no temporary name";
        return CreateFileResult::Failed;
    }
    FileDescriptor file(fd);
    bool const written = WriteAll(file.get(), bytes.data(), bytes.size()) && ::fsync(file.get()) == 0;
    if (!written) {
        fail("write");
        ::unlinkat(dir.get(), temporary, 0);
        return CreateFileResult::Failed;
    }
    ::close(file.release());
    CreateFileResult const result = MoveIntoPlace(dir.get(), temporary, name.c_str(), error);
    if (result != CreateFileResult::Created)
        ::unlinkat(dir.get(), temporary, 0);
    else
        ::fsync(dir.get());
    return result;
}

} // namespace Brodix::Platform
