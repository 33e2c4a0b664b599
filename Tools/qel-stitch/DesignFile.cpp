#include "DesignFile.h"
#include "SuiteSettings.h"
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <ios>
#include <iterator>
#include <vector>

namespace QelStitch {

namespace DF = Brodix::DesignFiles;

std::optional<DF::FileFormat> ChooseFormat(std::string const& path, std::string const& formatOverride)
{
    if (!formatOverride.empty())
        return DF::FileFormatFromExtension(formatOverride);
    return DF::FileFormatFromExtension(std::filesystem::path(path).extension().string());
}

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
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + " (" + formatName + "): cannot open: " + std::strerror(errno);
        return false;
    }
    // A directory opens, and the stream buffer throws on its first read.
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        error = path + " (" + formatName + "): cannot read: " + std::strerror(EISDIR);
        return false;
    }
    try {
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    } catch (std::ios_base::failure const&) {
        file.setstate(std::ios::badbit);
    }
    if (file.bad()) {
        error = path + " (" + formatName + "): cannot read";
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
