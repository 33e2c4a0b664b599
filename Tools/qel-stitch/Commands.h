// The subcommands of qel-stitch. Each prints to out, reports failures as one
// line each on err, and returns the exit status.
#pragma once
#include "DesignFile.h"
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace QelStitch {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;   // a file could not be read or decoded
constexpr int kExitUsage = 2;

struct Options {
    std::string formatOverride;
    std::vector<std::string> arguments;   // what follows the command
    // convert: the output's format (an extension) instead of OUT's own, and
    // whether an existing OUT is replaced
    std::optional<std::string> outputFormat;
    bool force = false;
    // convert: edits applied before writing
    bool addTrims = false;
    std::optional<std::string> threadRange;
    std::optional<std::string> note;
    bool json = false;     // threads
    bool rotate = false;   // fits
    // render and thumbnail
    std::optional<std::string> size;
    std::optional<std::string> background;
    bool colourBlocks = false;   // --force above serves render too
    bool preview = false;  // info
};

int RunInfo(Options const& options, std::ostream& out, std::ostream& err);
int RunDump(Options const& options, std::ostream& out, std::ostream& err);
int RunConvert(Options const& options, std::ostream& out, std::ostream& err);
int RunThreads(Options const& options, std::ostream& out, std::ostream& err);
int RunFits(Options const& options, std::ostream& out, std::ostream& err);

// The commands that draw, from the picture library (Pictures.cpp). qel-stitch
// itself links none of it, so that converting loads no picture libraries:
// it hands a command that draws to its helper, qel-stitch-pictures, which is
// qel-stitch with them.
struct PictureCommands {
    int (*render)(Options const& options, std::ostream& out, std::ostream& err);
    int (*thumbnail)(Options const& options, std::ostream& out, std::ostream& err);
    // A picture of the design in colour, for PreviewShows(out).
    void (*preview)(IDesign const& design, std::ostream& out);
};
// Null in qel-stitch itself.
PictureCommands const* LinkedPictureCommands();
// Whether info --preview draws: only onto standard output that is a terminal.
bool PreviewShows(std::ostream const& out);
// Runs the picture helper with the command line in place of this process;
// returns (with the reason on err) only when it cannot.
int RunPictureHelper(std::vector<std::string> const& args, std::ostream& err);

// The editing options of convert; false (with the reason on err) when one cannot be applied.
bool ApplyEdits(Options const& options, IDesign& design, std::ostream& err);

void PrintInfo(DesignFile const& file, std::ostream& out);
void PrintJson(DesignFile const& file, std::ostream& out);

// Parses the command line (without the program name) and runs the command.
int Run(std::vector<std::string> const& args, std::ostream& out, std::ostream& err);

} // namespace QelStitch
