#include "DesignFile.h"
#include "Callbacks.h"
#include "Fundamentals/MemoryStream.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/FormatTypeTable.h"
#include "StitchFormats/PesHeaders.h"
#include "Vp3File.h"
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ios>
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
        return "not a valid " + name + " file, or no reader for " + name;
    case 5:
        return "damaged or refused data (counts out of range, or colours that do not match the colour changes)";
    default:
        return "unreadable data";
    }
}

// The PES version header: version, hoop and number of hoop positions. The
// stream is left at the start for the reader.
void DescribePesHeader(Brodix::IArchiverStream& stream, DesignFile& out)
{
    char magic[9] = {};
    stream.Read(magic, 8);
    stream.SetPos(0);
    int const version = std::atoi(magic + 4);
    std::unique_ptr<BasePESHeader> header = CreatePESHeader(version);
    if (header == nullptr)
        return;
    header->SetDefaults();
    bool const loaded = header->LoadFromFile(stream);
    stream.SetPos(0);
    if (!loaded)
        return;
    int width = 0;
    int height = 0;
    bool rotated = false;
    header->GetHoop(width, height, rotated);
    out.details.emplace_back("PES version", std::to_string(version));
    out.details.emplace_back("hoop", std::to_string(width) + " x " + std::to_string(height) + " mm" +
                                         (rotated ? " (rotated)" : ""));
    out.details.emplace_back("hoop positions", std::to_string(header->GetNumHoops()));
}

// Reads the whole file; on failure error names the file and the format.
bool ReadWholeFile(std::string const& path, std::string const& formatName, std::vector<unsigned char>& bytes,
                   std::string& error)
{
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

bool LoadVp3DesignFile(std::string const& path, DesignFile& out, std::string& error)
{
    out.path = path;
    out.formatName = "VP3";
    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(path, out.formatName, bytes, error))
        return false;
    if (!LoadVp3Design(bytes, out, error)) {
        error = path + " (VP3): " + error;
        return false;
    }
    return true;
}

bool LoadDesignFile(std::string const& path, std::string const& formatOverride, DesignFile& out, std::string& error)
{
    if (IsVp3Name(path, formatOverride))
        return LoadVp3DesignFile(path, out, error);
    std::optional<SF::Format> const format = ChooseFormat(path, formatOverride);
    if (!format) {
        error = path + ": unknown format; name it with --format EXT";
        return false;
    }
    out.path = path;
    out.formatName = SF::FormatName(*format);

    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(path, out.formatName, bytes, error))
        return false;

    Brodix::Archivers::MemoryStreamRW<Brodix::IArchiverStream> stream(std::move(bytes));
    if (*format == SF::FormatPES)
        DescribePesHeader(stream, out);
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
