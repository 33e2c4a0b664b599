// Build-time tool: makes the system thread database by opening a new file as
// the system database, which fills it from the built-in thread catalogues.
// Usage: SystemThreadsDbMaker OUTPUT.sqlite
// The file is made beside the output and renamed over it only when complete.
#include "Databases/ColourDB.h"
#include "Fundamentals/TextConversion.h"
#include "StitchFormats/ThreadCatalogues.h"
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

int CountLines(char const* text)
{
    int lines = 0;
    for (; text != nullptr && *text != '\0'; ++text)
        lines += *text == '\n';
    return lines;
}

bool Make(fs::path const& path)
{
    std::unique_ptr<ColourDB, void (*)(ColourDB*)> db(CreateColourDBs(), FreeColourDBs);
    std::wstring const widePath = Brodix::makeWString(path.string());
    if (!OpenDb(db.get(), widePath.c_str(), Brodix::Databases::kSystemDbName))
        return false;
    char* manufacturers = EnumerateManufacturers(db.get(), nullptr);
    int const ranges = CountLines(manufacturers);
    FreeManufacturers(manufacturers);
    return ranges == Brodix::StitchFormats::NumColourBases;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " OUTPUT.sqlite\n";
        return 2;
    }
    fs::path const output = argv[1];
    fs::path const partial = output.string() + ".partial";
    std::error_code ignored;
    fs::remove(partial, ignored);
    fs::remove(partial.string() + "-journal", ignored);
    if (!Make(partial)) {
        std::cerr << partial.string() << ": could not make the system thread database\n";
        fs::remove(partial, ignored);
        return 1;
    }
    std::error_code error;
    fs::rename(partial, output, error);
    if (error) {
        std::cerr << output.string() << ": " << error.message() << "\n";
        return 1;
    }
    return 0;
}
