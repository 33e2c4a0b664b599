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

std::vector<Platform::URL> PboardToPaths(Platform::Pasteboard const& pasteboard,
                                         std::optional<std::vector<std::string>> const& acceptedTypes,
                                         Platform::Bundle const& bundle)
{
    std::vector<Platform::URL> result;
    for (Platform::PasteboardItem const& item : pasteboard.pasteboardItems()) {
        auto const text = item.stringForType(Platform::kFileURLPasteboardType);
        auto const url = text ? Platform::URL::URLWithString(*text) : std::nullopt;
        if (!url || !url->isFileURL())
            continue;
        auto const type = url->typeIdentifier(bundle);
        if (!type)
            continue;
        // String equality only: a type that merely conforms does not pass.
        if (acceptedTypes && std::find(acceptedTypes->begin(), acceptedTypes->end(), *type) == acceptedTypes->end())
            continue;
        bool isDirectory = false;
        if (!Platform::FileExistsAtPath(url->path(), &isDirectory) || isDirectory)
            continue;
        result.push_back(*url);
    }
    return result;
}

std::vector<Platform::URL> PboardToPaths(Platform::Pasteboard const& pasteboard,
                                         std::optional<std::vector<std::string>> const& acceptedTypes)
{
    return PboardToPaths(pasteboard, acceptedTypes, Platform::Bundle::Main());
}

} // namespace Brodix::SendService::ServiceHelpers
