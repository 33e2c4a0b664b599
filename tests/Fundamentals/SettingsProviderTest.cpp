#include "Fundamentals/SettingsProvider.h"
#include "Fundamentals/TextConversion.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>

using namespace Brodix::SettingsProvider;
namespace fs = std::filesystem;

namespace {

// Points every folder the provider looks at into a private temporary tree.
class SettingsProviderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_root = fs::path(::testing::TempDir()) / ("settings-" + std::to_string(::getpid()));
        fs::remove_all(m_root);
        fs::create_directories(m_root / "machine");
        setenv("XDG_DATA_HOME", (m_root / "home").c_str(), 1);
        setenv("XDG_DATA_DIRS", (m_root / "nowhere").c_str(), 1);
        setenv("QEL_COMMONCODE_TESTFILES", (m_root / "machine").c_str(), 1);
        char const* home = std::getenv("HOME");
        m_home = home != nullptr ? std::optional<std::string>(home) : std::nullopt;
    }
    void TearDown() override
    {
        unsetenv("QEL_COMMONCODE_TESTFILES");
        if (m_home)
            setenv("HOME", m_home->c_str(), 1);
        else
            unsetenv("HOME");
        fs::remove_all(m_root);
    }
    static std::string Narrow(wchar_t const* text) { return text ? Brodix::makeNSString(text) : "<null>"; }

    fs::path m_root;
    std::optional<std::string> m_home;
};

} // namespace

TEST_F(SettingsProviderTest, ResolvesKeysAgainstTheirFolders)
{
    DefaultSettingsProvider provider(true);
    std::string const machine = (m_root / "machine").string();
    std::string const user = (m_root / "home" / "Brodix" / "Orvo3").string();
    EXPECT_EQ(Narrow(provider.GetSystemFilePathW("SystemThreadsDb")), machine + "/System/system_cdb2.sqlite");
    EXPECT_EQ(Narrow(provider.GetSystemFilePathW("UserThreadsDb")), user + "/System/user.sqlite");
    EXPECT_EQ(Narrow(provider.GetSystemFilePathW("UsrFontsRootFolder")), user + "/Fonts");
    EXPECT_EQ(Narrow(provider.GetSystemFilePathW("SpxRWDylibPath")), "./libSpxRW-dy.dylib");
    EXPECT_EQ(provider.GetSystemFilePathW("userthreadsdb"), nullptr);
    EXPECT_EQ(provider.GetSystemFilePathW(nullptr), nullptr);
    EXPECT_EQ(provider.GetSystemFilePathW("SystemThreadsDb"), provider.GetSystemFilePathW("SystemThreadsDb"));
    EXPECT_EQ(provider.GetPasswordForFilePath("x"), nullptr);
    // The user database is created empty on first use.
    EXPECT_TRUE(fs::is_regular_file(fs::path(user) / "System" / "user.sqlite"));
}

TEST_F(SettingsProviderTest, FoldsDoubledSeparators)
{
    setenv("QEL_COMMONCODE_TESTFILES", ((m_root / "machine").string() + "//").c_str(), 1);
    DefaultSettingsProvider provider(true);
    EXPECT_EQ(Narrow(provider.GetSystemFilePathW("SysFontsRootFolder")), (m_root / "machine").string() + "/Fonts");
}

TEST_F(SettingsProviderTest, MachineFolderFallsBackToXdgDataDirs)
{
    unsetenv("QEL_COMMONCODE_TESTFILES");
    fs::create_directories(m_root / "share2" / "Brodix" / "Orvo3");
    setenv("XDG_DATA_DIRS", ((m_root / "share1").string() + ":" + (m_root / "share2").string()).c_str(), 1);
    DefaultSettingsProvider provider(false);
    EXPECT_EQ(Narrow(provider.GetSystemFilePathW("BorderShapes")),
              (m_root / "share2" / "Brodix" / "Orvo3").string() + "/System/BorderShapes.bdr");
}

// Relative paths in the XDG variables are ignored. The test runs in its own
// folder, where a relative path that was wrongly taken would land.
TEST_F(SettingsProviderTest, RelativeXdgPathsAreIgnored)
{
    unsetenv("QEL_COMMONCODE_TESTFILES");
    fs::create_directories(m_root / "relative-share" / "Brodix" / "Orvo3");
    fs::create_directories(m_root / "share" / "Brodix" / "Orvo3");
    setenv("XDG_DATA_HOME", "relative-home", 1);
    setenv("HOME", (m_root / "house").c_str(), 1);
    setenv("XDG_DATA_DIRS", ("relative-share:" + (m_root / "share").string()).c_str(), 1);
    fs::path const previous = fs::current_path();
    fs::current_path(m_root);
    DefaultSettingsProvider provider(true);
    fs::current_path(previous);

    EXPECT_EQ(Narrow(provider.GetSystemFilePathW("UserThreadsDb")),
              (m_root / "house" / ".local" / "share" / "Brodix" / "Orvo3").string() + "/System/user.sqlite");
    EXPECT_EQ(Narrow(provider.GetSystemFilePathW("SystemThreadsDb")),
              (m_root / "share" / "Brodix" / "Orvo3").string() + "/System/system_cdb2.sqlite");
    EXPECT_FALSE(fs::exists(m_root / "relative-home"));
}

TEST_F(SettingsProviderTest, MissingFoldersAreLoggedAndGiveTheBareSuffix)
{
    unsetenv("QEL_COMMONCODE_TESTFILES");
    setenv("XDG_DATA_HOME", "/proc/no-such-place", 1);
    // Information lines stay quiet unless debug logging is asked for.
    unsetenv("QEL_LOG");
    ::testing::internal::CaptureStderr();
    DefaultSettingsProvider quiet(true);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    setenv("QEL_LOG", "debug", 1);
    ::testing::internal::CaptureStderr();
    DefaultSettingsProvider provider(true);
    std::string const log = ::testing::internal::GetCapturedStderr();
    unsetenv("QEL_LOG");
    EXPECT_NE(log.find("INFO: SettingProvider - couldn't create / find <SysAppSupport> folder\n"), std::string::npos);
    EXPECT_NE(log.find("INFO: SettingProvider - couldn't create / find <UsrAppSupport> folder\n"), std::string::npos);
    EXPECT_EQ(Narrow(provider.GetSystemFilePathW("SystemThreadsDb")), "/System/system_cdb2.sqlite");
    EXPECT_EQ(Narrow(provider.GetSystemFilePathW("UserThreadsDb")), "/System/user.sqlite");
}

TEST_F(SettingsProviderTest, CloneKeepsTheFoldersButNotTheCache)
{
    std::unique_ptr<ISettingsProvider, void (*)(ISettingsProvider*)> original(
        MakeSettingsProvider(true), [](ISettingsProvider* p) { p->Release(); });
    wchar_t const* path = original->GetSystemFilePathW("SystemThreadsDb");
    unsetenv("QEL_COMMONCODE_TESTFILES");
    std::unique_ptr<ISettingsProvider, void (*)(ISettingsProvider*)> copy(original->Clone(),
                                                                         [](ISettingsProvider* p) { p->Release(); });
    wchar_t const* copied = copy->GetSystemFilePathW("SystemThreadsDb");
    EXPECT_NE(copied, path);
    EXPECT_EQ(Narrow(copied), Narrow(path));
}

// The singleton lives for the whole process, so the fallback is checked in a
// fresh one: whichever test ran before (or a repeated run) may have installed
// a provider already. The child's exit code says which check failed.
int FallbackProblem()
{
    Singleton::Lock lock;
    if (lock.get_no_init() != nullptr)
        return 2;
    ::testing::internal::CaptureStderr();
    ISettingsProvider* fallback = lock.get();
    ISettingsProvider* again = lock.get();
    std::string const warning = ::testing::internal::GetCapturedStderr();
    if (fallback == nullptr || again != fallback || lock.get_no_init() != fallback)
        return 3;
    if (warning != "\nWARNING: No settings provider has been specified.\n"
                   "  This is usually done in your app main(...) function.\n"
                   "  Using a fallback SettingsProvider.\n\n")
        return 4;
    return 0;
}

[[noreturn]] void CheckFallbackInFreshProcess(fs::path const& root)
{
    int const problem = FallbackProblem();
    fs::remove_all(root);   // the child's own tree; its TearDown never runs
    std::_Exit(problem);
}

TEST_F(SettingsProviderTest, SingletonWarnsOnceAndInstallsAFallback)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");   // re-executes the test program: a fresh singleton
    EXPECT_EXIT(CheckFallbackInFreshProcess(m_root), ::testing::ExitedWithCode(0), "");

    Singleton::Lock lock;
    Singleton::Lock nested;   // the lock is recursive
    DefaultSettingsProvider replacement(true);
    nested.set(replacement);
    EXPECT_NE(nested.get_no_init(), &replacement);   // a clone is installed
    ::testing::internal::CaptureStderr();
    ISettingsProvider* installed = lock.get();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(installed, lock.get_no_init());
    EXPECT_EQ(Narrow(installed->GetSystemFilePathW("SysFontsRootFolder")), (m_root / "machine").string() + "/Fonts");
}
