// Reading the bundle's service declaration and turning the service request's
// pasteboard into the file URLs the service accepts.
#pragma once
#include "Platform/Bundle.h"
#include "Platform/Pasteboard.h"
#include "Platform/URL.h"
#include <optional>
#include <string>
#include <vector>

namespace Brodix::SendService::ServiceHelpers {

inline constexpr char kServicesKey[] = "NSServices";
inline constexpr char kPortNameKey[] = "NSPortName";
inline constexpr char kSendFileTypesKey[] = "NSSendFileTypes";

inline constexpr char kNotALocalFileReason[] = "not a local file";
inline constexpr char kNotADesignFileReason[] = "not a design file";
inline constexpr char kNotFoundReason[] = "not found";
inline constexpr char kFolderReason[] = "a folder";

// "NSSendFileTypes" of the first "NSServices" entry; nothing when there is no
// service entry or it declares no send types. Entries that are not strings
// are left out.
std::optional<std::vector<std::string>> MainBundleSendFileTypes(Platform::Bundle const& bundle);
std::optional<std::vector<std::string>> MainBundleSendFileTypes();

// The file URLs of the pasteboard, in order, that are existing files (not
// folders) whose type identifier is one of the accepted ones (every type when
// the list is missing).
std::vector<Platform::URL> PboardToPaths(Platform::Pasteboard const& pasteboard,
                                         std::optional<std::vector<std::string>> const& acceptedTypes,
                                         Platform::Bundle const& bundle);

// One selected item: the URL when it is accepted, otherwise why not.
struct SelectedItem {
    std::string name;   // the file's name, or the item's text when it is no file URL
    std::optional<Platform::URL> url;
    std::string reason;
};

// Every item of the pasteboard in order, accepted or not, by the rules of
// PboardToPaths.
std::vector<SelectedItem> SortPasteboard(Platform::Pasteboard const& pasteboard,
                                         std::optional<std::vector<std::string>> const& acceptedTypes,
                                         Platform::Bundle const& bundle);
std::vector<Platform::URL> PboardToPaths(Platform::Pasteboard const& pasteboard,
                                         std::optional<std::vector<std::string>> const& acceptedTypes);

} // namespace Brodix::SendService::ServiceHelpers
