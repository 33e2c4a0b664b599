#include "Vp3File.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

namespace QelStitch {

namespace {

namespace Vp3 = Brodix::Vp3Lib;

struct FreeDeleter {
    void operator()(void* block) const { std::free(block); }
};

} // namespace

bool IsVp3Name(std::string const& path, std::string const& formatOverride)
{
    return ChooseFormat(path, formatOverride) == Brodix::DesignFiles::FileFormat::VP3;
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
