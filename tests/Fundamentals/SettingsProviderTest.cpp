#include "Fundamentals/SettingsProvider.h"
#include "Fundamentals/TextConversion.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>

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
    }
    void TearDown() override
    {
        unsetenv("QEL_COMMONCODE_TESTFILES");
        fs::remove_all(m_root);
    }
    static std::string Narrow(wchar_t const* text) { return text ? Brodix::makeNSString(text) : "<null>"; }

    fs::path m_root;
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

TEST_F(SettingsProviderTest, MissingFoldersAreLoggedAndGiveTheBareSuffix)
{
    unsetenv("QEL_COMMONCODE_TESTFILES");
    setenv("XDG_DATA_HOME", "/proc/no-such-place", 1);
    ::testing::internal::CaptureStderr();
    DefaultSettingsProvider provider(true);
    std::string const log = ::testing::internal::GetCapturedStderr();
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

TEST_F(SettingsProviderTest, SingletonWarnsOnceAndInstallsAFallback)
{
    Singleton::Lock lock;
    if (lock.get_no_init() == nullptr) {
        ::testing::internal::CaptureStderr();
        ISettingsProvider* fallback = lock.get();
        std::string const warning = ::testing::internal::GetCapturedStderr();
        ASSERT_NE(fallback, nullptr);
        EXPECT_EQ(warning, "\nWARNING: No settings provider has been specified.\n"
                           "  This is usually done in your app main(...) function.\n"
                           "  Using a fallback SettingsProvider.\n\n");
    }
    ::testing::internal::CaptureStderr();
    ISettingsProvider* installed = lock.get();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(installed, lock.get_no_init());

    Singleton::Lock nested;   // the lock is recursive
    DefaultSettingsProvider replacement(true);
    nested.set(replacement);
    EXPECT_NE(nested.get_no_init(), &replacement);   // a clone is installed
    EXPECT_EQ(Narrow(nested.get()->GetSystemFilePathW("SysFontsRootFolder")),
              (m_root / "machine").string() + "/Fonts");
}
