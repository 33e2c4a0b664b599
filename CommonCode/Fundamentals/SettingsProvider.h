// Resolves the suite's data files (thread databases, fonts, the SPX reader
// library) by key, from the per-user, per-machine and UI-framework folders.
#pragma once
#include "Fundamentals/CriticalSection.h"
#include <map>
#include <memory>
#include <string>

namespace Brodix::SettingsProvider {

class ISettingsProvider {
public:
    virtual wchar_t const* GetSystemFilePathW(char const* key) = 0;   // null for an unknown key
    virtual char const* GetPasswordForFilePath(char const* path) = 0;
    virtual ISettingsProvider* Clone() const = 0;
    virtual void Release() = 0;

protected:
    virtual ~ISettingsProvider() = default;
};

template <typename Map = std::map<std::string, std::wstring>>
class SettingsProviderBase : public ISettingsProvider {
public:
    char const* GetPasswordForFilePath(char const*) override { return nullptr; }
    void Release() override { delete this; }

protected:
    // Folds doubled separators, turns backslashes into slashes, and keeps the
    // first answer for a key so the returned pointer stays valid.
    wchar_t const* CacheAndReturn(char const* key, std::wstring path);

    Map m_cache;
};

class DefaultSettingsProvider : public SettingsProviderBase<> {
public:
    explicit DefaultSettingsProvider(bool flag);

    wchar_t const* GetSystemFilePathW(char const* key) override;
    ISettingsProvider* Clone() const override;

    std::wstring const& SystemFolder() const { return m_systemFolder; }
    std::wstring const& UserFolder() const { return m_userFolder; }
    std::wstring const& FrameworkFolder() const { return m_frameworkFolder; }

private:
    std::wstring m_systemFolder;
    std::wstring m_userFolder;
    std::wstring m_frameworkFolder;
    bool m_flag;
};

ISettingsProvider* MakeSettingsProvider(bool flag);

// The process-wide provider. Every access holds a Lock for its duration.
class Singleton {
public:
    class Lock {
    public:
        Lock();
        ~Lock();
        Lock(Lock const&) = delete;
        Lock& operator=(Lock const&) = delete;

        void set(ISettingsProvider const& provider);
        ISettingsProvider* get();           // installs a fallback provider when none is set
        ISettingsProvider* get_no_init();   // null when none is set
    };
};

// The folder of the UI-framework library: the folder of the loaded object that
// defines InitSettingsProvider_QelUIFramework, else the installed framework
// folder (<libdir>/QelUIFramework2) when it exists; empty when neither is found.
std::string FindUIFrameworkFolder();

} // namespace Brodix::SettingsProvider
