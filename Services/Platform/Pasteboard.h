// The pasteboard of a service request. The desktop starts the service with
// the selected files as arguments (file URLs or plain paths, as a desktop
// file's %U passes them); each becomes one item of type "public.file-url".
#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace Brodix::Platform {

inline constexpr char kFileURLPasteboardType[] = "public.file-url";

class PasteboardItem {
public:
    void setString(std::string const& type, std::string value) { m_strings[type] = std::move(value); }
    // Nothing when the item has no string of that type.
    std::optional<std::string> stringForType(std::string const& type) const;

private:
    std::map<std::string, std::string> m_strings;
};

class Pasteboard {
public:
    // One item per argument, in order. An argument with a URL scheme followed
    // by "//" or a "file:" argument is taken as a URL string as it stands;
    // anything else is a path, made absolute against the current folder and
    // turned into a file URL.
    static Pasteboard FromArguments(std::vector<std::string> const& arguments);

    std::vector<PasteboardItem> const& pasteboardItems() const { return m_items; }
    void addItem(PasteboardItem item) { m_items.push_back(std::move(item)); }

private:
    std::vector<PasteboardItem> m_items;
};

} // namespace Brodix::Platform
