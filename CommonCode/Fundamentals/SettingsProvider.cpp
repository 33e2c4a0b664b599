#include "Fundamentals/SettingsProvider.h"
#include "Fundamentals/ConsoleLog.h"
#include "Fundamentals/FindAndReplace.h"
#include "Fundamentals/TextConversion.h"
#include "Fundamentals/XdgDataFolders.h"
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace Brodix::SettingsProvider {

namespace fs = std::filesystem;

namespace {

enum class Base { User, System, Framework };

struct KeyEntry {
    std::string_view key;
    Base base;
    wchar_t const* suffix;
};

constexpr KeyEntry kKeyTable[] = {
    {"UserFillsDb", Base::User, L"/System/user.sqlite"},
    {"SystemMotifsDb", Base::System, L"/System/system_mtf.sqlite"},
    {"UserMotifsDb", Base::User, L"/System/user.sqlite"},
    {"SystemThreadsDb", Base::System, L"/System/system_cdb2.sqlite"},
    {"UserThreadsDb", Base::User, L"/System/user.sqlite"},
    {"UsrFontsRootFolder", Base::User, L"/Fonts"},
    {"UserMonogramUserDefault", Base::User, L"/System/user.mga"},
    {"UsrSystemRootFolder", Base::User, L"/System"},
    {"SysAlternativeColours", Base::System, L"/System/AlternativeColour.txt"},
    {"BorderShapes", Base::System, L"/System/BorderShapes.bdr"},
    {"EncoreShapes", Base::System, L"/System/EncoreShapes.bdr"},
    {"SystemFills", Base::System, L"/System/SystemFills.bin"},
    {"SysFillsIconify", Base::System, L"/System/SystemFillsIconify.txt"},
    {"SysFontsRootFolder", Base::System, L"/Fonts"},
    {"SysFramesRootFolder", Base::System, L"/Frames"},
    {"SysFlourishesRootFolder", Base::System, L"/Flourishes"},
    {"SysSuperDesignsRootFolder", Base::System, L"/SuperDesigns"},
    {"SysBackgroundRootFolder", Base::System, L"/Backgrounds"},
    {"SysMonogramDefault", Base::System, L"/System/Default.mga"},
    {"SpxRWDylibPath", Base::Framework, L"/libSpxRW-dy.dylib"},
};

constexpr char kSuiteFolder[] = "Brodix";
constexpr char kProductFolder[] = "Orvo3";
constexpr char kFrameworkSymbol[] = "InitSettingsProvider_QelUIFramework";

#ifndef QEL_INSTALL_LIBDIR
#define QEL_INSTALL_LIBDIR "/usr/local/lib"
#endif

enum class PathType { User = 0, System = 1 };

bool IsReadable(std::string const& path) { return !path.empty() && access(path.c_str(), R_OK) == 0; }

std::string EnvOrEmpty(char const* name)
{
    char const* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string SuiteFolderIn(std::string const& base)
{
    return (fs::path(base) / kSuiteFolder / kProductFolder).string();
}

// The suite's application-support folder for the user (created on demand)
// or for the machine; empty when none can be found or made.
std::string GetPath(PathType type)
{
    if (type == PathType::System) {
        std::string const testFiles = EnvOrEmpty("QEL_COMMONCODE_TESTFILES");
        if (IsReadable(testFiles))
            return testFiles;
        for (std::string const& dataDir : Xdg::DataDirsFromEnvironment()) {
            std::string const candidate = SuiteFolderIn(dataDir);
            if (IsReadable(candidate))
                return candidate;
        }
    } else if (auto const dataHome = Xdg::DataHomeFromEnvironment()) {
        std::string const candidate = SuiteFolderIn(*dataHome);
        std::error_code ignored;
        fs::create_directories(fs::path(candidate) / "System", ignored);
        if (IsReadable(candidate))
            return candidate;
    }
    ConsoleLogInfo("INFO: SettingProvider - couldn't create / find %s folder\n",
               type == PathType::User ? "<UsrAppSupport>" : "<SysAppSupport>");
    return {};
}

void EnsureUserDatabase(std::wstring const& userFolder)
{
    fs::path const system = fs::path(makeNSString(userFolder.c_str())) / "System";
    std::error_code ignored;
    fs::create_directories(system, ignored);
    fs::path const database = system / "user.sqlite";
    if (!fs::exists(database, ignored))
        std::ofstream(database, std::ios::binary);
}

std::shared_ptr<ISettingsProvider> gInstalled;
CriticalSection gSingletonSection;

constexpr char kNoProviderWarning[] = "\nWARNING: No settings provider has been specified.\n"
                                      "  This is usually done in your app main(...) function.\n"
                                      "  Using a fallback SettingsProvider.\n\n";

} // namespace

std::string FindUIFrameworkFolder()
{
    if (void* symbol = dlsym(RTLD_DEFAULT, kFrameworkSymbol)) {
        Dl_info info{};
        if (dladdr(symbol, &info) != 0 && info.dli_fname != nullptr && info.dli_fname[0] != '\0') {
            std::error_code ignored;
            fs::path const object = fs::weakly_canonical(info.dli_fname, ignored);
            if (!object.empty())
                return object.parent_path().string();
        }
    }
    std::error_code ignored;
    fs::path const installed = fs::path(QEL_INSTALL_LIBDIR) / "QelUIFramework2";
    if (fs::is_directory(installed, ignored))
        return installed.string();
    return {};
}

template <typename Map>
wchar_t const* SettingsProviderBase<Map>::CacheAndReturn(char const* key, std::wstring path)
{
    for (int pass = 0; pass < 3; ++pass) {
        findAndReplace(path, std::wstring(L"//"), std::wstring(L"/"));
        findAndReplace(path, std::wstring(L"\\\\"), std::wstring(L"\\"));
    }
    findAndReplace(path, std::wstring(L"\\"), std::wstring(L"/"));
    auto const [entry, inserted] = m_cache.emplace(key, std::move(path));
    (void)inserted;
    return entry->second.c_str();
}

template class SettingsProviderBase<>;

DefaultSettingsProvider::DefaultSettingsProvider(bool flag) : m_flag(flag)
{
    m_systemFolder = ExpandUtf8(GetPath(PathType::System));
    m_userFolder = ExpandUtf8(GetPath(PathType::User));
    std::string const framework = FindUIFrameworkFolder();
    m_frameworkFolder = ExpandUtf8(framework.empty() ? std::string(".") : framework);
    if (!m_userFolder.empty())
        EnsureUserDatabase(m_userFolder);
}

wchar_t const* DefaultSettingsProvider::GetSystemFilePathW(char const* key)
{
    if (key == nullptr)
        return nullptr;
    if (auto const cached = m_cache.find(key); cached != m_cache.end())
        return cached->second.c_str();
    for (KeyEntry const& entry : kKeyTable) {
        if (entry.key != key)
            continue;
        std::wstring const& base = entry.base == Base::User     ? m_userFolder
                                   : entry.base == Base::System ? m_systemFolder
                                                                : m_frameworkFolder;
        return CacheAndReturn(key, base + entry.suffix);
    }
    return nullptr;
}

ISettingsProvider* DefaultSettingsProvider::Clone() const
{
    auto* copy = new DefaultSettingsProvider(m_flag);
    copy->m_systemFolder = m_systemFolder;
    copy->m_userFolder = m_userFolder;
    return copy;
}

ISettingsProvider* MakeSettingsProvider(bool flag) { return new DefaultSettingsProvider(flag); }

Singleton::Lock::Lock() { gSingletonSection.enter(); }
Singleton::Lock::~Lock() { gSingletonSection.leave(); }

void Singleton::Lock::set(ISettingsProvider const& provider)
{
    // The shared pointer releases the clone itself if it cannot be allocated.
    gInstalled = std::shared_ptr<ISettingsProvider>(provider.Clone(), [](ISettingsProvider* p) {
        if (p != nullptr)
            p->Release();
    });
}

ISettingsProvider* Singleton::Lock::get()
{
    if (!gInstalled) {
        std::fputs(kNoProviderWarning, stderr);
        std::fflush(stderr);
        DefaultSettingsProvider const fallback(true);
        set(fallback);
    }
    return gInstalled.get();
}

ISettingsProvider* Singleton::Lock::get_no_init() { return gInstalled.get(); }

} // namespace Brodix::SettingsProvider
