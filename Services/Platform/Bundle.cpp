#include "Platform/Bundle.h"
#include "Platform/FileManager.h"
#include <algorithm>
#include <cctype>

namespace Brodix::Platform {
namespace {

constexpr char kInstalledShareFolder[] = "/../share/";
constexpr char kExportedTypes[] = "UTExportedTypeDeclarations";
constexpr char kImportedTypes[] = "UTImportedTypeDeclarations";
constexpr char kTypeIdentifier[] = "UTTypeIdentifier";
constexpr char kTagSpecification[] = "UTTypeTagSpecification";
constexpr char kExtensionTag[] = "public.filename-extension";

std::string Lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool DeclaresExtension(PropertyValue const& declaration, std::string const& loweredExtension)
{
    PropertyValue const* tags = declaration.Find(kTagSpecification);
    PropertyValue const* extensions = tags != nullptr ? tags->Find(kExtensionTag) : nullptr;
    if (extensions == nullptr)
        return false;
    if (auto const* single = extensions->String())
        return Lowered(*single) == loweredExtension;
    if (auto const* list = extensions->Array())
        for (PropertyValue const& entry : *list)
            if (auto const* text = entry.String(); text != nullptr && Lowered(*text) == loweredExtension)
                return true;
    return false;
}

} // namespace

Bundle Bundle::AtFolder(std::string const& resourceFolder)
{
    Bundle bundle;
    bundle.m_folder = resourceFolder;
    if (auto info = ReadPropertyListFile(resourceFolder + "/" + kInfoPlistName); info && info->Dictionary())
        bundle.m_info = std::move(*info);
    return bundle;
}

std::vector<std::string> Bundle::MainResourceFolderCandidates()
{
    std::string const folder = ExecutableFolder();
    return {folder, folder + kInstalledShareFolder + ExecutableName()};
}

Bundle const& Bundle::Main()
{
    static Bundle const main = [] {
        auto const candidates = MainResourceFolderCandidates();
        for (std::string const& folder : candidates)
            if (FileExistsAtPath(folder + "/" + kInfoPlistName, nullptr))
                return AtFolder(folder);
        return AtFolder(candidates.front());
    }();
    return main;
}

std::string Bundle::localizedString(std::string const& key, std::string const& value, std::string const& table) const
{
    std::string const name = (table.empty() ? std::string(kDefaultStringsTable) : table) + ".strings";
    if (auto strings = ReadPropertyListFile(m_folder + "/" + name))
        if (PropertyValue const* entry = strings->Find(key); entry != nullptr && entry->String() != nullptr)
            return *entry->String();
    return value.empty() ? key : value;
}

std::optional<std::string> Bundle::TypeIdentifierForExtension(std::string const& extension) const
{
    if (extension.empty())
        return std::nullopt;
    std::string const lowered = Lowered(extension);
    for (char const* list : {kExportedTypes, kImportedTypes}) {
        PropertyValue const* declarations = objectForInfoDictionaryKey(list);
        if (declarations == nullptr || declarations->Array() == nullptr)
            continue;
        for (PropertyValue const& declaration : *declarations->Array()) {
            PropertyValue const* identifier = declaration.Find(kTypeIdentifier);
            if (identifier != nullptr && identifier->String() != nullptr && DeclaresExtension(declaration, lowered))
                return *identifier->String();
        }
    }
    return std::nullopt;
}

std::string FormatString(std::string const& format, std::vector<std::string> const& arguments)
{
    std::string result;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == '@') {
            if (next < arguments.size())
                result += arguments[next++];
            ++i;
        } else if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == '%') {
            result += '%';
            ++i;
        } else {
            result += format[i];
        }
    }
    return result;
}

} // namespace Brodix::Platform
