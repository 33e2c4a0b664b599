// A temporary folder that is removed with everything in it, and a listing of
// what a test left below a folder.
#pragma once
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace QelTest {

class TestFolder {
public:
    TestFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "qel-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp");
        m_path = pattern;
    }
    ~TestFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TestFolder(TestFolder const&) = delete;
    TestFolder& operator=(TestFolder const&) = delete;

    std::string const& Path() const { return m_path; }
    std::string Write(std::string const& name, std::string const& content) const
    {
        return WriteFile(m_path + "/" + name, content);
    }
    static std::string WriteFile(std::string const& path, std::string const& content)
    {
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

private:
    std::string m_path;
};

// The regular files below folder, as paths relative to it, sorted.
inline std::vector<std::string> FilesUnder(std::string const& folder)
{
    std::vector<std::string> files;
    for (auto const& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files.push_back(std::filesystem::relative(entry.path(), folder).string());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace QelTest
