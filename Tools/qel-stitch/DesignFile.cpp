#include "DesignFile.h"
#include "Callbacks.h"
#include "Fundamentals/MemoryStream.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/FormatTypeTable.h"
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace QelStitch {

namespace SF = Brodix::StitchFormats;

std::optional<SF::Format> ChooseFormat(std::string const& path, std::string const& formatOverride)
{
    if (!formatOverride.empty())
        return SF::FormatFromExtension(formatOverride);
    return SF::FormatFromExtension(std::filesystem::path(path).extension().string());
}

std::string StatusMeaning(SF::Format format, int status)
{
    std::string const name = SF::FormatName(format);
    switch (status) {
    case 1:
        return "a compressed or scrambled section cannot be decoded";
    case 2:
        return "unsupported version or variant of " + name;
    case 3:
        return "truncated: the header cannot be read";
    case 4:
        return "not a " + name + " file, or no reader for " + name;
    case 5:
        return "damaged or refused data (counts out of range, or colours that do not match the colour changes)";
    default:
        return "unreadable data";
    }
}

bool LoadDesignFile(std::string const& path, std::string const& formatOverride, DesignFile& out, std::string& error)
{
    std::optional<SF::Format> const format = ChooseFormat(path, formatOverride);
    if (!format) {
        error = path + ": unknown format; name it with --format EXT";
        return false;
    }
    out.path = path;
    out.formatName = SF::FormatName(*format);

    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + " (" + out.formatName + "): cannot open: " + std::strerror(errno);
        return false;
    }
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) {
        error = path + " (" + out.formatName + "): cannot read";
        return false;
    }

    Brodix::Archivers::MemoryStreamRW<Brodix::IArchiverStream> stream(std::move(bytes));
    Win1252Encoding encoding;
    ZLibInflater zlib;
    auto design = std::make_shared<Brodix::CSimpleDesign>();
    int const status = SF::Load(*design, stream, 0, *format, &encoding, nullptr, &zlib, nullptr);
    if (status != 0) {
        error = path + " (" + out.formatName + "): " + StatusMeaning(*format, status) + " (status "
                + std::to_string(status) + ")";
        return false;
    }
    out.design = std::move(design);
    return true;
}

} // namespace QelStitch
