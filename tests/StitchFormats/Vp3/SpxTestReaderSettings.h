// A settings provider that names the project's SPX test reader library for
// "SpxRWDylibPath" and knows no other key, and its installation as the
// process's provider. Programs that use it install it before their first
// VP3 read: the SPX library is looked up once per process.
#pragma once
#include "Fundamentals/SettingsProvider.h"
#include "Fundamentals/TextConversion.h"
#include <string>
#include <string_view>

namespace Vp3Test {

class SpxTestReaderSettings : public Brodix::SettingsProvider::SettingsProviderBase<> {
public:
    explicit SpxTestReaderSettings(std::wstring path) : m_path(std::move(path)) {}

    wchar_t const* GetSystemFilePathW(char const* key) override
    {
        if (key == nullptr || std::string_view(key) != "SpxRWDylibPath")
            return nullptr;
        return CacheAndReturn(key, m_path);
    }
    ISettingsProvider* Clone() const override { return new SpxTestReaderSettings(m_path); }

private:
    std::wstring m_path;
};

inline void InstallSpxTestReader(std::string const& libraryPath)
{
    Brodix::SettingsProvider::Singleton::Lock lock;
    lock.set(SpxTestReaderSettings(Brodix::ExpandUtf8(libraryPath)));
}

} // namespace Vp3Test
