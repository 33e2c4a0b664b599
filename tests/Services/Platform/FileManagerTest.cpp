#include "Platform/FileManager.h"
#include "TestFolder.h"
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <cstdlib>
#include <optional>
#include <string>

using namespace Brodix::Platform;

namespace {

std::vector<unsigned char> Bytes(std::string const& text) { return {text.begin(), text.end()}; }

TEST(FileManager, ReadsRegularFilesWithinTheLimitOnly)
{
    QelTest::TestFolder folder;
    std::string const small = folder.Write("small.dst", "abc");
    std::string const empty = folder.Write("empty.dst", "");
    std::string const fifo = folder.Path() + "/pipe.dst";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadFileContents(small, 3), Bytes("abc"));
    EXPECT_EQ(ReadFileContents(empty, 3), Bytes(""));
    EXPECT_FALSE(ReadFileContents(small, 2).has_value());
    EXPECT_FALSE(ReadFileContents(folder.Path(), 100).has_value());
    EXPECT_FALSE(ReadFileContents(fifo, 100).has_value());   // would block for ever if opened for reading
    EXPECT_FALSE(ReadFileContents(folder.Path() + "/missing", 100).has_value());
}

TEST(FileManager, ExistenceAndFolders)
{
    QelTest::TestFolder folder;
    std::string const file = folder.Write("a.dst", "x");
    bool isDirectory = true;
    EXPECT_TRUE(FileExistsAtPath(file, &isDirectory));
    EXPECT_FALSE(isDirectory);
    EXPECT_TRUE(FileExistsAtPath(folder.Path(), &isDirectory));
    EXPECT_TRUE(isDirectory);
    EXPECT_FALSE(FileExistsAtPath(folder.Path() + "/nothing", &isDirectory));
    EXPECT_TRUE(CreateDirectories(folder.Path() + "/a/b/c"));
    EXPECT_TRUE(FileExistsAtPath(folder.Path() + "/a/b/c", &isDirectory) && isDirectory);
    EXPECT_FALSE(CreateDirectories(file + "/sub"));
}

// Sets an environment variable for one scope, then puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(char const* name, char const* value) : m_name(name)
    {
        if (char const* old = std::getenv(name))
            m_old = old;
        Set(value);
    }
    ~ScopedEnv() { Set(m_old ? m_old->c_str() : nullptr); }
    ScopedEnv(ScopedEnv const&) = delete;
    ScopedEnv& operator=(ScopedEnv const&) = delete;

private:
    void Set(char const* value) { value != nullptr ? ::setenv(m_name, value, 1) : ::unsetenv(m_name); }

    char const* m_name;
    std::optional<std::string> m_old;
};

// The receiver's folder follows the same rules as the settings provider: a
// relative XDG_DATA_HOME is ignored.
TEST(FileManager, UserDataFolderIgnoresRelativePaths)
{
    struct Case {
        char const* xdgDataHome;
        char const* home;
        char const* expected;
    } const cases[] = {
        {"/data/ann", "/home/ann", "/data/ann"},
        {nullptr, "/home/ann", "/home/ann/.local/share"},
        {"", "/home/ann", "/home/ann/.local/share"},
        {"data/ann", "/home/ann", "/home/ann/.local/share"},
        {"data/ann", nullptr, "./.local/share"},
    };
    for (Case const& c : cases) {
        ScopedEnv const dataHome("XDG_DATA_HOME", c.xdgDataHome);
        ScopedEnv const home("HOME", c.home);
        EXPECT_EQ(UserDataFolder(), c.expected) << (c.xdgDataHome ? c.xdgDataHome : "(unset)");
    }
}

TEST(FileManager, AtomicCreateNeverReplacesAndLeavesNoTemporaryFile)
{
    QelTest::TestFolder folder;
    std::string error;
    EXPECT_EQ(CreateFileAtomically(folder.Path(), "rose.vp3", Bytes("first"), &error), CreateFileResult::Created);
    EXPECT_EQ(CreateFileAtomically(folder.Path(), "rose.vp3", Bytes("second"), &error),
              CreateFileResult::AlreadyExists);
    EXPECT_EQ(ReadFileContents(folder.Path() + "/rose.vp3", 100), Bytes("first"));
    for (char const* name : {"", ".", "..", "a/b.vp3"})
        EXPECT_EQ(CreateFileAtomically(folder.Path(), name, Bytes("x"), &error), CreateFileResult::Failed) << name;
    EXPECT_EQ(CreateFileAtomically(folder.Path() + "/missing", "a.vp3", Bytes("x"), &error),
              CreateFileResult::Failed);
    EXPECT_FALSE(error.empty());
    std::size_t entries = 0;
    for (auto const& entry : std::filesystem::directory_iterator(folder.Path())) {
        EXPECT_EQ(entry.path().filename(), "rose.vp3");
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
}

} // namespace
