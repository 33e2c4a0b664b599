#include "Vp3File.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Vp3/SpxLibrary.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"
#include "SuiteSettings.h"
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

namespace QelStitch {

namespace {

namespace Vp3 = Brodix::Vp3Lib;

bool IsVp3Extension(std::string extension)
{
    if (!extension.empty() && extension.front() == '.')
        extension.erase(0, 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == "vp3";
}

std::string Vp3StatusMeaning(unsigned int status)
{
    switch (status) {
    case Vp3::kStatusNoDesign:
        return "unsupported format version, or no design in the file";
    case Vp3::kStatusBadData:
        return "damaged colour or stitch data";
    case Vp3::kStatusBadMagic:
        return "not a VP3 file";
    default:
        return "unreadable data";
    }
}

struct FreeDeleter {
    void operator()(void* block) const { std::free(block); }
};

// Lettering and SPX objects, and whether the library that reads SPX data is
// there: without it, SPX objects add no stitches.
void AddEmbeddedObjectDetails(Vp3::CVP3ReadWrite const& vp3, DesignFile& out)
{
    Vp3::CEmbeddedObjectCounts const counts = vp3.CountEmbeddedObjects();
    out.details.emplace_back("texts", std::to_string(counts.texts));
    out.details.emplace_back("characters", std::to_string(counts.characters));
    out.details.emplace_back("SPX objects", std::to_string(counts.spxObjects));
    out.details.emplace_back("SPX library", Brodix::Spx::IsAvailable(Brodix::Spx::Library()) ? "found" : "not found");
}

} // namespace

bool IsVp3Name(std::string const& path, std::string const& formatOverride)
{
    if (!formatOverride.empty())
        return IsVp3Extension(formatOverride);
    return IsVp3Extension(std::filesystem::path(path).extension().string());
}

// Unexpected or unreadable blocks (2 and 3) are skipped, and the rest of the
// file is used, as the send service does.
bool LoadVp3Design(std::vector<unsigned char> const& bytes, DesignFile& out, std::string& error)
{
    EnsureSuiteSettingsProvider();
    std::vector<std::shared_ptr<IDesign>> designs;
    Vp3::CVP3ReadWrite vp3;
    unsigned int const status =
        vp3.ReadFromMemory(Vp3::CDesignHolder(&designs), bytes.data(), bytes.size(), {0, 0}, true);
    if (status != Vp3::kStatusOK && status != Vp3::kStatusUnexpectedClass && status != Vp3::kStatusUnreadable) {
        error = Vp3StatusMeaning(status) + " (status " + std::to_string(status) + ")";
        return false;
    }
    auto merged = std::make_shared<Brodix::CSimpleDesign>();
    for (auto const& design : designs)
        Brodix::CSimpleDesign::MergeDesign(*merged, *design, true, false);
    if (status != Vp3::kStatusOK)
        out.details.emplace_back("skipped", "blocks this reader does not know (status " + std::to_string(status) + ")");
    AddEmbeddedObjectDetails(vp3, out);
    out.design = std::move(merged);
    return true;
}

bool SaveVp3Design(IDesign const& design, std::string const& path, std::string& error)
{
    void* buffer = nullptr;
    unsigned long size = 0;
    Vp3::CVP3ReadWrite vp3;
    unsigned int const status = vp3.WriteToMemory(Vp3::CDesignHolder(design), buffer, size, {0, 0}, true);
    if (status == Vp3::kStatusNoStitches) {
        error = "the design has no stitches to write";
        return false;
    }
    if (status != Vp3::kStatusOK) {
        error = "the design cannot be encoded (status " + std::to_string(status) + ")";
        return false;
    }
    std::unique_ptr<void, FreeDeleter> const bytes(buffer);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        error = std::string("cannot create: ") + std::strerror(errno);
        return false;
    }
    file.write(static_cast<char const*>(bytes.get()), static_cast<std::streamsize>(size));
    file.close();
    if (!file) {
        error = "cannot write";
        return false;
    }
    return true;
}

} // namespace QelStitch
