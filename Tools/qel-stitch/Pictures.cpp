// "render" and "thumbnail": pictures of designs as files, and the preview of
// "info --preview" in a terminal.
#include "Commands.h"
#include "DesignPictures/DesignPictures.h"
#include "OutputFile.h"
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iostream>
#include <new>
#include <ostream>
#include <sys/resource.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define QEL_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QEL_ADDRESS_SANITIZER 1
#endif
#endif

namespace QelStitch {

namespace {

namespace Pictures = Brodix::DesignPictures;

constexpr int kDefaultThumbnailSize = 128;
// What a thumbnail may take at most: file managers run it on any file that
// has one of our names, so a hostile one must fail rather than take the machine.
constexpr rlim_t kThumbnailAddressSpace = rlim_t(1) << 30;
constexpr rlim_t kThumbnailSeconds = 20;

int Usage(std::ostream& err, std::string const& message)
{
    err << "qel-stitch: " << message << "\nTry 'qel-stitch --help'.\n";
    return kExitUsage;
}

std::optional<int> ParseSize(std::string const& text)
{
    if (text.empty() || text.size() > 6 || !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return std::nullopt;
    return std::stoi(text);
}

std::string LowerExtension(std::string const& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// Loads, draws and writes; the options are already checked.
int DrawToFile(Options const& options, std::string const& output, Pictures::PictureOptions const& picture, bool svg,
               bool replace, std::ostream& err)
{
    std::string const& input = options.arguments[0];
    try {
        DesignFile file;
        std::string error;
        if (!LoadDesignFile(input, options.formatOverride, file, error)) {
            err << "qel-stitch: " << error << "\n";
            return kExitFailed;
        }
        Pictures::Picture const drawn = svg ? Pictures::DrawSvg(*file.design, picture)
                                            : Pictures::DrawPng(*file.design, picture);
        if (!drawn.Drawn()) {
            err << "qel-stitch: " << input << " (" << file.formatName << "): " << drawn.message << "\n";
            return kExitFailed;
        }
        if (!WriteOutputFile(output, drawn.bytes, replace, error)) {
            err << "qel-stitch: " << output << ": " << error << "\n";
            return kExitFailed;
        }
    } catch (std::bad_alloc const&) {
        err << "qel-stitch: " << input << ": out of memory\n";
        return kExitFailed;
    }
    return kExitOk;
}

// Lowers the soft limits of address space and processor time for as long as
// it lives. The address space is left alone under AddressSanitizer, which
// reserves far more than any limit that would mean something.
class ThumbnailLimits {
public:
    ThumbnailLimits()
    {
#ifndef QEL_ADDRESS_SANITIZER
        m_memory = Lower(RLIMIT_AS, m_oldMemory, kThumbnailAddressSpace);
#endif
        rusage used{};
        ::getrusage(RUSAGE_SELF, &used);
        m_time = Lower(RLIMIT_CPU, m_oldTime, static_cast<rlim_t>(used.ru_utime.tv_sec + used.ru_stime.tv_sec) + kThumbnailSeconds);
    }
    ~ThumbnailLimits()
    {
        if (m_memory)
            ::setrlimit(RLIMIT_AS, &m_oldMemory);
        if (m_time)
            ::setrlimit(RLIMIT_CPU, &m_oldTime);
    }
    ThumbnailLimits(ThumbnailLimits const&) = delete;
    ThumbnailLimits& operator=(ThumbnailLimits const&) = delete;

private:
    static bool Lower(int resource, rlimit& old, rlim_t wanted)
    {
        if (::getrlimit(resource, &old) != 0 || (old.rlim_cur != RLIM_INFINITY && old.rlim_cur <= wanted))
            return false;
        rlimit lowered = old;
        lowered.rlim_cur = wanted;
        return ::setrlimit(resource, &lowered) == 0;
    }

    rlimit m_oldMemory{}, m_oldTime{};
    bool m_memory = false, m_time = false;
};

int RunRender(Options const& options, std::ostream&, std::ostream& err)
{
    std::string const& output = options.arguments[1];
    std::string const extension = LowerExtension(output);
    if (extension != ".png" && extension != ".svg")
        return Usage(err, output + ": the picture must be a .png or .svg file");
    Pictures::PictureOptions picture;
    if (options.size) {
        std::optional<int> const size = ParseSize(*options.size);
        if (!size || *size < 1 || *size > Pictures::kMaxPictureSize)
            return Usage(err, "--size must be a number of pixels from 1 to " + std::to_string(Pictures::kMaxPictureSize));
        picture.size = *size;
    }
    if (options.background) {
        picture.background = Pictures::ParseColour(*options.background);
        if (!picture.background)
            return Usage(err, "--background must be a colour written as #RRGGBB");
    }
    picture.colourBlocks = options.colourBlocks;
    // Saves loading and drawing a design only to refuse to write it.
    if (!options.force && OutputExists(output)) {
        err << "qel-stitch: " << output << ": already exists; use --force to replace it\n";
        return kExitFailed;
    }
    return DrawToFile(options, output, picture, extension == ".svg", options.force, err);
}

int RunThumbnail(Options const& options, std::ostream&, std::ostream& err)
{
    Pictures::PictureOptions picture;
    picture.size = kDefaultThumbnailSize;
    if (options.size) {
        std::optional<int> const size = ParseSize(*options.size);
        if (!size || *size < 1)
            return Usage(err, "-s must be a number of pixels");
        // File managers ask for ever larger thumbnails; the largest we draw will do.
        picture.size = std::min(*size, Pictures::kMaxPictureSize);
    }
    ThumbnailLimits const limits;
    // The file manager chose the output's name and replaces it as it likes.
    return DrawToFile(options, options.arguments[1], picture, false, true, err);
}

void PrintPreview(IDesign const& design, std::ostream& out)
{
    if (PreviewShows(out))
        out << Pictures::TerminalPreview(design);
}

constexpr PictureCommands kPictureCommands{RunRender, RunThumbnail, PrintPreview};

} // namespace

PictureCommands const* LinkedPictureCommands() { return &kPictureCommands; }

} // namespace QelStitch
