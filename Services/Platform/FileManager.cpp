#include "Platform/FileManager.h"
#include "Fundamentals/AtomicFile.h"
#include "Fundamentals/FileDescriptor.h"
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
    switch (WriteFileAtomically(folder, name, bytes, ExistingFile::Keep, error, errorNumber)) {
    case AtomicWriteResult::Written: return CreateFileResult::Created;
    case AtomicWriteResult::AlreadyExists: return CreateFileResult::AlreadyExists;
    case AtomicWriteResult::Failed: break;
    }
    return CreateFileResult::Failed;
}

} // namespace Brodix::Platform
