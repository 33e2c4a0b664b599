#include "Platform/PropertyList.h"
#include "Platform/FileManager.h"
#include <plist/plist.h>
#include <cstdlib>
#include <memory>

namespace Brodix::Platform {
namespace {

// Bundle resources are a few kilobytes; anything far larger is not one.
constexpr std::size_t kMaxPropertyListBytes = 4 * 1024 * 1024;
// Deeper nesting than this is no resource of ours, and bounds the recursion.
constexpr int kMaxDepth = 64;

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistHolder = std::unique_ptr<std::remove_pointer_t<plist_t>, PlistFree>;

// libplist hands out strings allocated with malloc.
std::string TakeCString(char* text)
{
    std::string result = text != nullptr ? std::string(text) : std::string();
    std::free(text);
    return result;
}

std::optional<PropertyValue> Convert(plist_t node, int depth);

std::optional<PropertyValue> ConvertArray(plist_t node, int depth)
{
    PropertyArray items;
    uint32_t const count = plist_array_get_size(node);
    for (uint32_t i = 0; i < count; ++i) {
        auto item = Convert(plist_array_get_item(node, i), depth + 1);
        if (!item)
            return std::nullopt;
        items.push_back(std::move(*item));
    }
    return PropertyValue(std::move(items));
}

std::optional<PropertyValue> ConvertDictionary(plist_t node, int depth)
{
    PropertyDictionary entries;
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(node, &iterator);
    if (iterator == nullptr)
        return std::nullopt;
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, iterator, &key, &value);
        if (value == nullptr) {
            std::free(key);
            break;
        }
        std::string name = TakeCString(key);
        auto converted = Convert(value, depth + 1);
        if (!converted) {
            std::free(iterator);
            return std::nullopt;
        }
        entries.emplace(std::move(name), std::move(*converted));
    }
    std::free(iterator);
    return PropertyValue(std::move(entries));
}

std::optional<PropertyValue> Convert(plist_t node, int depth)
{
    if (node == nullptr || depth > kMaxDepth)
        return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return PropertyValue(value != 0);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        // Integers are stored as 64 bits; negative ones come back wrapped.
        return PropertyValue(static_cast<std::int64_t>(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return PropertyValue(value);
    }
    case PLIST_STRING: {
        char* value = nullptr;
        plist_get_string_val(node, &value);
        return PropertyValue(TakeCString(value));
    }
    case PLIST_DATA: {
        char* bytes = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        PropertyData data(reinterpret_cast<unsigned char*>(bytes), reinterpret_cast<unsigned char*>(bytes) + length);
        std::free(bytes);
        return PropertyValue(std::move(data));
    }
    case PLIST_ARRAY:
        return ConvertArray(node, depth);
    case PLIST_DICT:
        return ConvertDictionary(node, depth);
    default:
        // Dates and keyed-archiver identifiers have no use in our resources.
        return PropertyValue();
    }
}

} // namespace

std::optional<std::int64_t> PropertyValue::Integer() const
{
    if (auto const* value = std::get_if<std::int64_t>(&m_value))
        return *value;
    return std::nullopt;
}

std::optional<bool> PropertyValue::Boolean() const
{
    if (auto const* value = std::get_if<bool>(&m_value))
        return *value;
    return std::nullopt;
}

PropertyValue const* PropertyValue::Find(std::string const& key) const
{
    auto const* entries = Dictionary();
    if (entries == nullptr)
        return nullptr;
    auto const found = entries->find(key);
    return found != entries->end() ? &found->second : nullptr;
}

std::optional<PropertyValue> ParsePropertyList(std::string const& bytes)
{
    if (bytes.empty() || bytes.size() > kMaxPropertyListBytes)
        return std::nullopt;
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    PlistHolder holder(root);
    if (root == nullptr)
        return std::nullopt;
    return Convert(root, 0);
}

std::optional<PropertyValue> ReadPropertyListFile(std::string const& path)
{
    auto contents = ReadFileContents(path, kMaxPropertyListBytes);
    if (!contents)
        return std::nullopt;
    return ParsePropertyList(std::string(contents->begin(), contents->end()));
}

} // namespace Brodix::Platform
