#include "DesignFile.h"
#include "Fundamentals/FileDescriptor.h"
#include "SuiteSettings.h"
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace QelStitch {

namespace DF = Brodix::DesignFiles;

std::optional<DF::FileFormat> ChooseFormat(std::string const& path, std::string const& formatOverride)
{
    if (!formatOverride.empty())
        return DF::FileFormatFromExtension(formatOverride);
    return DF::FileFormatFromExtension(std::filesystem::path(path).extension().string());
}

namespace {

// Reads from fd to its end into bytes: a regular file with one read into a
// buffer of its size, anything else (a pipe, a device) in doubling steps. False with errno set
// when a read fails.
bool ReadToEnd(int fd, std::vector<unsigned char>& bytes)
{
    struct stat info{};
    std::size_t room = 64 * 1024;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        room = static_cast<std::size_t>(info.st_size) + 1;   // the extra byte finds the end in the same read
    bytes.resize(room);
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size())
            bytes.resize(bytes.size() * 2);
        ssize_t const got = ::read(fd, bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return true;
}

} // namespace

// Reads the whole file; on failure error names the file and the format.
bool ReadWholeFile(std::string const& path, std::string const& formatName, std::vector<unsigned char>& bytes,
                   std::string& error)
{
    if (path == kStandardInput) {
        bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        if (std::cin.bad()) {
            error = "standard input (" + formatName + "): cannot read";
            return false;
        }
        return true;
    }
    Brodix::FileDescriptor const file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        error = path + " (" + formatName + "): cannot open: " + std::strerror(errno);
        return false;
    }
    if (!ReadToEnd(file.get(), bytes)) {
        error = path + " (" + formatName + "): cannot read: " + std::strerror(errno);
        return false;
    }
    return true;
}

bool LoadDesignFile(std::string const& path, std::string const& formatOverride, DesignFile& out, std::string& error)
{
    std::optional<DF::FileFormat> const format = ChooseFormat(path, formatOverride);
    if (!format) {
        error = path == kStandardInput ? "standard input: name its format with --format EXT"
                                       : path + ": unknown format; name it with --format EXT";
        return false;
    }
    out.path = path;
    out.formatName = DF::DisplayName(*format);

    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(path, out.formatName, bytes, error))
        return false;

    // The SPX reader library is looked up once, through the settings.
    if (*format == DF::FileFormat::VP3)
        EnsureSuiteSettingsProvider();
    DF::LoadResult loaded = DF::LoadDesign(bytes, *format);
    if (!loaded.Loaded()) {
        error = path + " (" + out.formatName + "): " + loaded.meaning + " (status " + std::to_string(loaded.status)
                + ")";
        return false;
    }
    out.design = std::move(loaded.design);
    out.details = std::move(loaded.details);
    return true;
}

} // namespace QelStitch
