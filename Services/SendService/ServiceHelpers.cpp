#include "SendService/ServiceHelpers.h"
#include "Platform/FileManager.h"
#include <algorithm>

namespace Brodix::SendService::ServiceHelpers {

std::optional<std::vector<std::string>> MainBundleSendFileTypes(Platform::Bundle const& bundle)
{
    Platform::PropertyValue const* services = bundle.objectForInfoDictionaryKey(kServicesKey);
    if (services == nullptr || services->Array() == nullptr || services->Array()->empty())
        return std::nullopt;
    Platform::PropertyValue const* types = services->Array()->front().Find(kSendFileTypesKey);
    if (types == nullptr || types->Array() == nullptr)
        return std::nullopt;
    std::vector<std::string> result;
    for (Platform::PropertyValue const& type : *types->Array())
        if (type.String() != nullptr)
            result.push_back(*type.String());
    return result;
}

std::optional<std::vector<std::string>> MainBundleSendFileTypes()
{
    return MainBundleSendFileTypes(Platform::Bundle::Main());
}

std::vector<SelectedItem> SortPasteboard(Platform::Pasteboard const& pasteboard,
                                         std::optional<std::vector<std::string>> const& acceptedTypes,
                                         Platform::Bundle const& bundle)
{
    std::vector<SelectedItem> result;
    for (Platform::PasteboardItem const& item : pasteboard.pasteboardItems()) {
        auto const text = item.stringForType(Platform::kFileURLPasteboardType);
        auto const url = text ? Platform::URL::URLWithString(*text) : std::nullopt;
        SelectedItem& selected = result.emplace_back();
        selected.name = text ? *text : std::string();
        if (!url || !url->isFileURL()) {
            selected.reason = kNotALocalFileReason;
            continue;
        }
        selected.name = url->lastPathComponent();
        // Existence first: a missing file has no type to tell, and the user
        // should hear "not found" rather than "not a design file".
        bool isDirectory = false;
        if (!Platform::FileExistsAtPath(url->path(), &isDirectory)) {
            selected.reason = kNotFoundReason;
            continue;
        }
        if (isDirectory) {
            selected.reason = kFolderReason;
            continue;
        }
        auto const type = url->typeIdentifier(bundle);
        // String equality only: a type that merely conforms does not pass.
        if (!type ||
            (acceptedTypes && std::find(acceptedTypes->begin(), acceptedTypes->end(), *type) == acceptedTypes->end())) {
            selected.reason = kNotADesignFileReason;
            continue;
        }
        selected.url = *url;
    }
    return result;
}

std::vector<Platform::URL> PboardToPaths(Platform::Pasteboard const& pasteboard,
                                         std::optional<std::vector<std::string>> const& acceptedTypes,
                                         Platform::Bundle const& bundle)
{
    std::vector<Platform::URL> result;
    for (SelectedItem& item : SortPasteboard(pasteboard, acceptedTypes, bundle))
        if (item.url)
            result.push_back(std::move(*item.url));
    return result;
}

std::vector<Platform::URL> PboardToPaths(Platform::Pasteboard const& pasteboard,
                                         std::optional<std::vector<std::string>> const& acceptedTypes)
{
    return PboardToPaths(pasteboard, acceptedTypes, Platform::Bundle::Main());
}

} // namespace Brodix::SendService::ServiceHelpers
