// The program's bundle: its information dictionary (an Info.plist) and the
// strings table beside it. The main bundle's resources live beside the
// executable in the build tree, and in <prefix>/share/<program name> once
// installed.
#pragma once
#include "Platform/PropertyList.h"
#include <optional>
#include <string>
#include <vector>

namespace Brodix::Platform {

inline constexpr char kInfoPlistName[] = "Info.plist";
inline constexpr char kDefaultStringsTable[] = "Localizable";

class Bundle {
public:
    // Loads the Info.plist and strings tables found in the folder. A missing
    // or malformed Info.plist leaves the bundle without an information
    // dictionary; every key then reads as absent.
    static Bundle AtFolder(std::string const& resourceFolder);
    static Bundle const& Main();
    // Where the main bundle's resources are looked for, in order.
    static std::vector<std::string> MainResourceFolderCandidates();

    std::string const& ResourceFolder() const { return m_folder; }
    bool HasInfoDictionary() const { return m_info.Dictionary() != nullptr; }
    // Null when the key is absent.
    PropertyValue const* objectForInfoDictionaryKey(std::string const& key) const { return m_info.Find(key); }

    // The entry for key in the table (default "Localizable", read from
    // <table>.strings, an XML property list of strings); when absent, value if
    // non-empty, else the key itself.
    std::string localizedString(std::string const& key, std::string const& value = {},
                                std::string const& table = {}) const;

    // The type identifier that the bundle declares for a file extension
    // (UTExportedTypeDeclarations, then UTImportedTypeDeclarations), the
    // extension compared without regard to case.
    std::optional<std::string> TypeIdentifierForExtension(std::string const& extension) const;

private:
    std::string m_folder;
    PropertyValue m_info;
};

// Fills "%@" placeholders in order with the arguments and turns "%%" into
// "%"; a placeholder without an argument stays empty.
std::string FormatString(std::string const& format, std::vector<std::string> const& arguments);

} // namespace Brodix::Platform
