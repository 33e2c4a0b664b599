// "fits": whether a design fits a hoop of the given size in millimetres. The
// design stays where it is, about the hoop's centre.
#include "Commands.h"
#include "SharedCode/DesignEditing.h"
#include "TextOut.h"
#include <charconv>
#include <cmath>
#include <optional>
#include <ostream>

namespace QelStitch {

namespace {

namespace DE = Brodix::DesignEditing;

constexpr double kTenthsPerMillimetre = 10.0;

std::optional<double> PositiveNumber(std::string_view text)
{
    double value = 0.0;
    auto const [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) || value <= 0.0)
        return std::nullopt;
    return value;
}

// WIDTHxHEIGHT, such as 100x80 or 126.5x110.
std::optional<DE::CGSize> ParseHoop(std::string_view text)
{
    std::size_t const x = text.find_first_of("xX");
    if (x == std::string_view::npos)
        return std::nullopt;
    auto const width = PositiveNumber(text.substr(0, x));
    auto const height = PositiveNumber(text.substr(x + 1));
    if (!width || !height)
        return std::nullopt;
    return DE::CGSize{*width, *height};
}

std::string Number(double millimetres)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", millimetres);
    return text;
}

} // namespace

int RunFits(Options const& options, std::ostream& out, std::ostream& err)
{
    std::string const& path = options.arguments[0];
    auto const hoop = ParseHoop(options.arguments[1]);
    if (!hoop) {
        err << "qel-stitch: '" << options.arguments[1] << "' is no hoop size; give WIDTHxHEIGHT in millimetres\n"
            << "Try 'qel-stitch --help'.\n";
        return kExitUsage;
    }
    DesignFile file;
    std::string error;
    if (!LoadDesignFile(path, options.formatOverride, file, error)) {
        err << "qel-stitch: " << error << "\n";
        return kExitFailed;
    }
    IDesign const& design = *file.design;
    DE::CGSize const hoopUnits{hoop->width * kTenthsPerMillimetre, hoop->height * kTenthsPerMillimetre};
    bool const fits = DE::IsFitIntoHoopSize(design, hoopUnits, options.rotate);

    double width = 0.0, height = 0.0;
    if (design.GetStitchCount() > 0) {
        Brodix::CommonTypes::RectI const rect = design.GetDesignRectangle();
        width = static_cast<double>(rect.right) - rect.left;
        height = static_cast<double>(rect.bottom) - rect.top;
    }
    DE::CGSize const needed = DE::SizeAboutCentre(design);
    out << (fits ? "fits" : "does not fit") << ": design " << Millimetres(width) << " x " << Millimetres(height)
        << " mm, " << Millimetres(needed.width) << " x " << Millimetres(needed.height)
        << " mm about the hoop's centre; hoop " << Number(hoop->width) << " x " << Number(hoop->height) << " mm"
        << (options.rotate ? ", design turned 90 degrees" : "") << "\n";
    return kExitOk;
}

} // namespace QelStitch
