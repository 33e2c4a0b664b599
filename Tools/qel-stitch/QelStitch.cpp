// Command-line parsing of qel-stitch and the table of its commands.
#include "Commands.h"
#include "DesignFiles/DesignFiles.h"
#include <ostream>
#include <string_view>

namespace QelStitch {

namespace {

struct Command {
    char const* name;
    char const* arguments;   // as shown in the usage text
    char const* summary;
    std::size_t minArguments;
    std::size_t maxArguments;
    int (*run)(Options const&, std::ostream&, std::ostream&);
};

constexpr std::size_t kAny = static_cast<std::size_t>(-1);

// One line per command.
constexpr Command kCommands[] = {
    {"info", "FILE...", "format, counts, size, colours and notes of each file", 1, kAny, RunInfo},
    {"dump", "FILE", "the loaded design as JSON on standard output", 1, 1, RunDump},
    {"convert", "IN OUT", "write IN as OUT, in the format of OUT's extension (vp3)", 2, 2, RunConvert},
};

void PrintUsage(std::ostream& out)
{
    out << "Usage: qel-stitch [--format EXT] COMMAND ARGUMENTS\n"
           "       qel-stitch --help | --version\n\nCommands:\n";
    for (Command const& c : kCommands)
        out << "  " << c.name << " " << c.arguments << "\n      " << c.summary << "\n";
    out << "\nOptions:\n"
           "  --format EXT  read every file as this format (an extension such as dst),\n"
           "                instead of choosing it from the file's own extension\n\n"
           "Formats:";
    for (Brodix::DesignFiles::FileFormat const format : Brodix::DesignFiles::AllFileFormats())
        out << " " << Brodix::DesignFiles::Extension(format);
    out << "\nOutput formats (convert): vp3";
    out << "\n\nDesign coordinates are tenths of a millimetre with y growing downwards.\n"
           "Exit status: 0 success, 1 a file could not be read, decoded or written, 2 usage error.\n";
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
    Command const* command = nullptr;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view const arg = args[i];
        bool const isOption = !optionsEnded && arg.size() > 1 && arg.front() == '-';
        if (isOption) {
            if (arg == "--") {
                optionsEnded = true;
            } else if (arg == "--help" || arg == "-h") {
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
            } else {
                return UsageError(err, "unknown option '" + std::string(arg) + "'");
            }
            continue;
        }
        if (command != nullptr) {
            options.arguments.push_back(args[i]);
            continue;
        }
        for (Command const& c : kCommands)
            if (arg == c.name)
                command = &c;
        if (command == nullptr)
            return UsageError(err, "unknown command '" + std::string(arg) + "'");
    }
    if (!options.formatOverride.empty() && !Brodix::DesignFiles::FileFormatFromExtension(options.formatOverride))
        return UsageError(err, "unknown format '" + options.formatOverride + "'");
    if (command == nullptr)
        return UsageError(err, "no command given");
    if (options.arguments.size() < command->minArguments || options.arguments.size() > command->maxArguments)
        return UsageError(err, std::string(command->name) + " takes " + command->arguments);
    return command->run(options, out, err);
}

} // namespace QelStitch
