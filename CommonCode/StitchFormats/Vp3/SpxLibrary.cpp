// Opening the SPX reader library and calling it. The one place where the VP3
// library reaches the dynamic loader.
#include "StitchFormats/Vp3/SpxLibrary.h"

#include "Fundamentals/SettingsProvider.h"
#include "Fundamentals/TextConversion.h"
#include "StitchFormats/Stitches.h"

#include <dlfcn.h>
#include <algorithm>
#include <limits>

namespace Brodix::Spx {
namespace {

constexpr char kSettingsKey[] = "SpxRWDylibPath";
constexpr int kMaxPoints = CStitches::kMaxStitchCount;
constexpr unsigned long kLargestPosition = std::numeric_limits<unsigned int>::max();

// The path is copied while the settings lock is held: the provider's answer
// lives only as long as the provider stays installed.
std::string PathFromSettings()
{
    SettingsProvider::Singleton::Lock lock;
    SettingsProvider::ISettingsProvider* const provider = lock.get_no_init();
    if (provider == nullptr)
        return {};
    return makeNSString(provider->GetSystemFilePathW(kSettingsKey));
}

IArchiverStream& StreamOf(void* context) { return *static_cast<IArchiverStream*>(context); }

unsigned int Clamped(unsigned long value) { return static_cast<unsigned int>(std::min(value, kLargestPosition)); }

} // namespace

DylibExports::DylibExports() { Open(PathFromSettings()); }

DylibExports::DylibExports(std::string const& path) { Open(path); }

void DylibExports::Open(std::string const& path)
{
    if (path.empty() || path.front() != '/')
        return;
    m_handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
}

void* DylibExports::FindAddress(char const* name) const
{
    if (m_handle == nullptr)
        throw BadLibraryLoadOrSymbol();
    void* const address = dlsym(m_handle, name);
    if (address == nullptr)
        throw BadLibraryLoadOrSymbol();
    return address;
}

LazyExports::LazyExports(std::string path) : m_path(std::move(path)) {}

std::shared_ptr<DylibExports> LazyExports::get()
{
    CriticalSection::Lock const lock(m_section);
    if (!m_exports)
        m_exports = m_path ? std::make_shared<DylibExports>(*m_path) : std::make_shared<DylibExports>();
    return m_exports;
}

LazyExports& Library()
{
    static LazyExports library;
    return library;
}

namespace SpxRW_CDecl {

bool StaticExports::Flush(void* context)
{
    try {
        return StreamOf(context).Flush();
    } catch (...) {
        return false;
    }
}

bool StaticExports::IsEOF(void* context)
{
    try {
        return StreamOf(context).IsEOF();
    } catch (...) {
        return true;
    }
}

unsigned int StaticExports::GetSize(void* context)
{
    try {
        return Clamped(StreamOf(context).GetSize());
    } catch (...) {
        return 0;
    }
}

unsigned int StaticExports::Read(void* context, unsigned char* buffer, unsigned int count)
{
    try {
        return buffer == nullptr ? 0 : Clamped(StreamOf(context).Read(buffer, count));
    } catch (...) {
        return 0;
    }
}

unsigned int StaticExports::Write(void* context, unsigned char* buffer, unsigned int count)
{
    try {
        return buffer == nullptr ? 0 : Clamped(StreamOf(context).Write(buffer, count));
    } catch (...) {
        return 0;
    }
}

unsigned int StaticExports::Tell(void* context)
{
    try {
        return Clamped(StreamOf(context).GetPos());
    } catch (...) {
        return 0;
    }
}

void StaticExports::SetPos(void* context, unsigned int position)
{
    try {
        StreamOf(context).SetPos(position);
    } catch (...) {
    }
}

} // namespace SpxRW_CDecl

SpxRW_Stream MakeStream(IArchiverStream& stream)
{
    using SpxRW_CDecl::StaticExports;
    return {sizeof(SpxRW_Stream),   &stream,         &StaticExports::Flush,
            &StaticExports::IsEOF,   &StaticExports::GetSize, &StaticExports::Read,
            &StaticExports::Write,   &StaticExports::Tell,    &StaticExports::SetPos};
}

bool IsAvailable(LazyExports& library)
{
    try {
        return library.get()->findSym<LoadSpxInVp3Function>(kLoadSpxInVp3Name) != nullptr;
    } catch (BadLibraryLoadOrSymbol const&) {
        return false;
    }
}

bool LoadPoints(LazyExports& library, IArchiverStream& stream, std::vector<CommonTypes::PointI>& points)
{
    LoadSpxInVp3Function load = nullptr;
    try {
        load = library.get()->findSym<LoadSpxInVp3Function>(kLoadSpxInVp3Name);
    } catch (BadLibraryLoadOrSymbol const&) {
        return false;
    }
    SpxRW_Stream record = MakeStream(stream);
    CommonTypes::PointI* returned = nullptr;
    int count = 0;
    int result = -1;
    try {
        result = load(&record, &returned, &count);
    } catch (...) {
        result = -1;
    }
    std::unique_ptr<CommonTypes::PointI[]> const owned(returned);
    // Nothing tells how long the array really is: a count that no design
    // could hold, or one without an array, is not believed.
    if (result != 0 || count < 0 || count > kMaxPoints || (count > 0 && returned == nullptr))
        return false;
    points.insert(points.end(), returned, returned + count);
    return true;
}

} // namespace Brodix::Spx
