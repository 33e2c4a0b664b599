// The binding to the SPX reader library, an outside component that turns the
// SPX data of an embedded SPX object into points. The library is named by the
// settings key "SpxRWDylibPath", opened on first use and never closed.
#pragma once
#include "Fundamentals/ArchiverStream.h"
#include "Fundamentals/CommonTypes.h"
#include "Fundamentals/CriticalSection.h"
#include "StitchFormats/Vp3/SpxRWStream.h"
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Brodix::Spx {

// No library, or no such symbol in it.
struct BadLibraryLoadOrSymbol {};

// One opened library.
class DylibExports {
public:
    // Opens the library that the installed settings provider names; without
    // a provider, or without the key, nothing is opened.
    DylibExports();
    // Opens the library at path. Only absolute paths are opened: a library in
    // whatever folder the program runs in is never loaded.
    explicit DylibExports(std::string const& path);
    DylibExports(DylibExports const&) = delete;
    DylibExports& operator=(DylibExports const&) = delete;

    template <typename T>
    T findSym(char const* name) const
    {
        return reinterpret_cast<T>(FindAddress(name));
    }
    bool IsLoaded() const { return m_handle != nullptr; }

private:
    void Open(std::string const& path);
    void* FindAddress(char const* name) const;   // throws BadLibraryLoadOrSymbol

    void* m_handle = nullptr;
};

// Opens the library on the first get(), once, whichever thread asks first.
class LazyExports {
public:
    LazyExports() = default;                     // the library of the settings
    explicit LazyExports(std::string path);      // the library at path
    LazyExports(LazyExports const&) = delete;
    LazyExports& operator=(LazyExports const&) = delete;

    std::shared_ptr<DylibExports> get();

private:
    std::optional<std::string> m_path;
    std::shared_ptr<DylibExports> m_exports;
    CriticalSection m_section;
};

// The process's library, made on first use and gone at exit.
LazyExports& Library();

// The record's functions, forwarding to the IArchiverStream in the context.
// None lets an exception out into the library.
namespace SpxRW_CDecl {
struct StaticExports {
    static bool Flush(void* context);
    static bool IsEOF(void* context);
    static unsigned int GetSize(void* context);
    static unsigned int Read(void* context, unsigned char* buffer, unsigned int count);
    static unsigned int Write(void* context, unsigned char* buffer, unsigned int count);
    static unsigned int Tell(void* context);
    static void SetPos(void* context, unsigned int position);
};
} // namespace SpxRW_CDecl

SpxRW_Stream MakeStream(IArchiverStream& stream);

// Runs the library's LoadSpxInVp3 on the stream from its current position
// and appends the points it returns. False, with points unchanged, when the
// library or the function is missing, when it fails, or when its count is
// negative, above the most records any reader may build, or comes without an
// array.
bool LoadPoints(LazyExports& library, IArchiverStream& stream, std::vector<CommonTypes::PointI>& points);

// True when the library opens and exports LoadSpxInVp3.
bool IsAvailable(LazyExports& library);

} // namespace Brodix::Spx
