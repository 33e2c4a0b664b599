// Command-line parsing of qel-stitch and the table of its commands.
#include "Commands.h"
#include "DesignFiles/DesignFiles.h"
#include <optional>
#include <algorithm>
#include <ostream>
#include <string_view>

namespace QelStitch {

namespace {

struct Command {
    char const* name;
    char const* options;     // the command's own options, as shown in the usage text
    char const* arguments;   // as shown in the usage text
    char const* summary;
    std::size_t minArguments;
    std::size_t maxArguments;
    int (*run)(Options const&, std::ostream&, std::ostream&);
};

constexpr std::size_t kAny = static_cast<std::size_t>(-1);

// Run only where the picture library is linked in; elsewhere Run hands them
// to the picture helper first.
int RunRender(Options const& options, std::ostream& out, std::ostream& err)
{
    return LinkedPictureCommands()->render(options, out, err);
}

int RunThumbnail(Options const& options, std::ostream& out, std::ostream& err)
{
    return LinkedPictureCommands()->thumbnail(options, out, err);
}

// One line per command.
constexpr Command kCommands[] = {
    {"info", "[--preview] ", "FILE...", "format, counts, size, colours and notes of each file", 1, kAny, RunInfo},
    {"dump", "", "FILE", "the loaded design as JSON on standard output", 1, 1, RunDump},
    {"convert", "[--to EXT] [--force] [--add-trims] [--thread-range NAME] [--note TEXT] ", "IN OUT",
     "write IN as OUT, in the format of OUT's extension or --to, after the edits asked for", 2, 2, RunConvert},
    {"threads", "[--json] ", "[RANGE]",
     "the thread ranges of the system and user databases, or the threads of RANGE", 0, 1, RunThreads},
    {"fits", "[--rotate] ", "FILE WIDTHxHEIGHT",
     "whether the design fits a hoop of that size in millimetres, about the hoop's centre", 2, 2, RunFits},
    {"render", "[--size N] [--background '#RRGGBB'] [--colour-blocks] [--force] ", "FILE OUT",
     "draw the stitches of FILE to OUT, a PNG or SVG picture by OUT's extension", 2, 2, RunRender},
    {"thumbnail", "[-s SIZE] ", "INPUT OUTPUT",
     "write a PNG thumbnail of INPUT for file managers, replacing OUTPUT", 2, 2, RunThumbnail},
};

// Options that belong to one command.
struct CommandOption {
    std::string_view name;
    char const* value;   // the value's name in the usage text; null for a flag
    char const* command;   // the commands it belongs to, separated by spaces
    char const* help;
    void (*set)(Options&, std::string const& value);
};

bool IsOptionOf(CommandOption const& option, std::string_view command)
{
    std::string_view commands = option.command;
    while (!commands.empty()) {
        std::size_t const end = std::min(commands.find(' '), commands.size());
        if (commands.substr(0, end) == command)
            return true;
        commands.remove_prefix(std::min(end + 1, commands.size()));
    }
    return false;
}

constexpr CommandOption kCommandOptions[] = {
    {"--to", "EXT", "convert", "write this format (an extension such as dst), whatever OUT's extension",
     [](Options& o, std::string const& v) { o.outputFormat = v; }},
    {"--force", nullptr, "convert render", "replace OUT when it exists",
     [](Options& o, std::string const&) { o.force = true; }},
    {"--add-trims", nullptr, "convert", "put a trim before each long connecting stitch",
     [](Options& o, std::string const&) { o.addTrims = true; }},
    {"--thread-range", "NAME", "convert", "move every colour to the nearest thread of this range",
     [](Options& o, std::string const& v) { o.threadRange = v; }},
    {"--note", "TEXT", "convert", "add this text to the design's notes",
     [](Options& o, std::string const& v) { o.note = v; }},
    {"--json", nullptr, "threads", "print JSON instead of lines", [](Options& o, std::string const&) { o.json = true; }},
    {"--rotate", nullptr, "fits", "test the design turned 90 degrees",
     [](Options& o, std::string const&) { o.rotate = true; }},
    {"--size", "N", "render", "the longer side of the picture in pixels (default 512)",
     [](Options& o, std::string const& v) { o.size = v; }},
    {"--background", "#RRGGBB", "render", "fill the picture with this colour instead of leaving it clear",
     [](Options& o, std::string const& v) { o.background = v; }},
    {"--colour-blocks", nullptr, "render", "draw each colour block in its own picture, side by side",
     [](Options& o, std::string const&) { o.colourBlocks = true; }},
    {"-s", "SIZE", "thumbnail", "the longer side of the thumbnail in pixels (default 128)",
     [](Options& o, std::string const& v) { o.size = v; }},
    {"--preview", nullptr, "info", "show a small picture of each design when writing to a terminal",
     [](Options& o, std::string const&) { o.preview = true; }},
};

// The option the argument names, with "--name=value" split off into value.
CommandOption const* FindCommandOption(std::string_view arg, std::optional<std::string>& joinedValue)
{
    for (CommandOption const& option : kCommandOptions) {
        if (arg == option.name)
            return &option;
        if (option.value != nullptr && arg.size() > option.name.size() && arg.starts_with(option.name)
            && arg[option.name.size()] == '=') {
            joinedValue = std::string(arg.substr(option.name.size() + 1));
            return &option;
        }
    }
    return nullptr;
}

void PrintUsage(std::ostream& out)
{
    out << "Usage: qel-stitch [--format EXT] COMMAND ARGUMENTS\n"
           "       qel-stitch help COMMAND | COMMAND --help\n"
           "       qel-stitch --help | --version\n\nCommands:\n";
    for (Command const& c : kCommands)
        out << "  " << c.name << " " << c.options << c.arguments << "\n      " << c.summary << "\n";
    out << "\nOptions:\n"
           "  --format EXT  read every file as this format (an extension such as dst),\n"
           "                instead of choosing it from the file's own extension\n"
           "  -             as FILE: read the design from standard input (with --format)\n";
    for (CommandOption const& option : kCommandOptions)
    {
        std::string const shown = std::string(option.name) + (option.value != nullptr ? std::string(" ") + option.value : "");
        out << "  " << shown << std::string(shown.size() < 21 ? 21 - shown.size() : 1, ' ') << option.help << " ("
            << option.command << ")\n";
    }
    out << "\nFormats:";
    for (Brodix::DesignFiles::FileFormat const format : Brodix::DesignFiles::AllFileFormats())
        out << " " << Brodix::DesignFiles::Extension(format);
    out << "\nOutput formats (convert):";
    for (Brodix::DesignFiles::FileFormat const format : Brodix::DesignFiles::SavableFileFormats())
        out << " " << Brodix::DesignFiles::Extension(format);
    out << "\nPicture formats (render): png svg";
    out << "\n\nDesign coordinates are tenths of a millimetre with y growing downwards.\n"
           "Exit status: 0 success (fits: whether or not the design fits), 1 a file could not be\n"
           "read, decoded or written or a thread database or range could not be used, 2 usage error.\n";
}

void PrintCommandUsage(Command const& c, std::ostream& out)
{
    out << "Usage: qel-stitch [--format EXT] " << c.name << " " << c.options << c.arguments << "\n" << c.summary
        << "\n";
    bool first = true;
    for (CommandOption const& option : kCommandOptions) {
        if (!IsOptionOf(option, c.name))
            continue;
        if (first)
            out << "\nOptions:\n";
        first = false;
        std::string const shown = std::string(option.name) + (option.value != nullptr ? std::string(" ") + option.value : "");
        out << "  " << shown << std::string(shown.size() < 21 ? 21 - shown.size() : 1, ' ') << option.help << "\n";
    }
    out << "\nSee 'qel-stitch --help' for the formats and the exit status.\n";
}

Command const* FindCommand(std::string_view name)
{
    for (Command const& c : kCommands)
        if (name == c.name)
            return &c;
    return nullptr;
}

int UsageError(std::ostream& err, std::string const& message)
{
    err << "qel-stitch: " << message << "\nTry 'qel-stitch --help'.\n";
    return kExitUsage;
}

} // namespace

int Run(std::vector<std::string> const& args, std::ostream& out, std::ostream& err)
{
    Options options;
    std::vector<CommandOption const*> usedOptions;
    Command const* command = nullptr;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view const arg = args[i];
        bool const isOption = !optionsEnded && arg.size() > 1 && arg.front() == '-';
        if (isOption) {
            if (arg == "--") {
                optionsEnded = true;
            } else if (arg == "--help" || arg == "-h") {
                if (command != nullptr)
                    PrintCommandUsage(*command, out);
                else
                    PrintUsage(out);
                return kExitOk;
            } else if (arg == "--version") {
                out << "qel-stitch " << QEL_VERSION << "\n";
                return kExitOk;
            } else if (arg == "--format" || arg.starts_with("--format=")) {
                bool const joined = arg != "--format";
                if (!joined && ++i == args.size())
                    return UsageError(err, "--format needs an extension");
                options.formatOverride =
                    joined ? std::string(arg.substr(std::string_view("--format=").size())) : args[i];
                // An empty override would silently fall back to the file's extension.
                if (options.formatOverride.empty())
                    return UsageError(err, "--format needs an extension");
            } else if (std::optional<std::string> value; CommandOption const* option = FindCommandOption(arg, value)) {
                if (option->value != nullptr && !value) {
                    if (++i == args.size())
                        return UsageError(err, std::string(option->name) + " needs a value");
                    value = args[i];
                }
                option->set(options, value.value_or(std::string()));
                usedOptions.push_back(option);
            } else {
                return UsageError(err, "unknown option '" + std::string(arg) + "'");
            }
            continue;
        }
        if (command != nullptr) {
            options.arguments.push_back(args[i]);
            continue;
        }
        // "help COMMAND" is the command's own help; "help" alone the general one.
        if (arg == "help") {
            if (i + 1 == args.size()) {
                PrintUsage(out);
                return kExitOk;
            }
            Command const* asked = FindCommand(args[i + 1]);
            if (asked == nullptr)
                return UsageError(err, "unknown command '" + args[i + 1] + "'");
            PrintCommandUsage(*asked, out);
            return kExitOk;
        }
        command = FindCommand(arg);
        if (command == nullptr)
            return UsageError(err, "unknown command '" + std::string(arg) + "'");
    }
    if (!options.formatOverride.empty() && !Brodix::DesignFiles::FileFormatFromExtension(options.formatOverride))
        return UsageError(err, "unknown format '" + options.formatOverride + "'");
    if (command == nullptr)
        return UsageError(err, "no command given");
    for (CommandOption const* option : usedOptions)
        if (!IsOptionOf(*option, command->name))
            return UsageError(err, std::string(option->name) + " is an option of " + option->command);
    if (options.arguments.size() < command->minArguments || options.arguments.size() > command->maxArguments)
        return UsageError(err, std::string(command->name) + " takes " + command->arguments);
    bool const draws = command->run == RunRender || command->run == RunThumbnail
                       || (command->run == RunInfo && options.preview && PreviewShows(out));
    if (draws && LinkedPictureCommands() == nullptr)
        return RunPictureHelper(args, err);
    return command->run(options, out, err);
}

} // namespace QelStitch
