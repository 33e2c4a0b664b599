// Property lists: the value tree of a bundle's Info.plist and strings table,
// and of a notification's user info. Files are parsed with libplist (XML or
// binary form).
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace Brodix::Platform {

class PropertyValue;
using PropertyArray = std::vector<PropertyValue>;
using PropertyDictionary = std::map<std::string, PropertyValue>;
using PropertyData = std::vector<unsigned char>;

class PropertyValue {
public:
    PropertyValue() = default;
    PropertyValue(bool value) : m_value(value) {}
    PropertyValue(std::int64_t value) : m_value(value) {}
    PropertyValue(int value) : m_value(std::int64_t{value}) {}
    PropertyValue(double value) : m_value(value) {}
    PropertyValue(std::string value) : m_value(std::move(value)) {}
    PropertyValue(char const* value) : m_value(std::string(value)) {}
    PropertyValue(PropertyData value) : m_value(std::move(value)) {}
    PropertyValue(PropertyArray value) : m_value(std::move(value)) {}
    PropertyValue(PropertyDictionary value) : m_value(std::move(value)) {}

    // Each accessor gives null (or nothing) when the value holds another kind.
    std::string const* String() const { return std::get_if<std::string>(&m_value); }
    PropertyArray const* Array() const { return std::get_if<PropertyArray>(&m_value); }
    PropertyDictionary const* Dictionary() const { return std::get_if<PropertyDictionary>(&m_value); }
    PropertyData const* Data() const { return std::get_if<PropertyData>(&m_value); }
    std::optional<std::int64_t> Integer() const;
    std::optional<bool> Boolean() const;

    // The entry of a dictionary value, or null when this is no dictionary or
    // the key is missing.
    PropertyValue const* Find(std::string const& key) const;

private:
    std::variant<std::monostate, bool, std::int64_t, double, std::string, PropertyData, PropertyArray,
                 PropertyDictionary>
        m_value;
};

// Parses a property list held in memory; nothing for malformed input.
std::optional<PropertyValue> ParsePropertyList(std::string const& bytes);

// Reads and parses a property list file; nothing when the file is missing,
// larger than any bundle resource has reason to be, or malformed.
std::optional<PropertyValue> ReadPropertyListFile(std::string const& path);

} // namespace Brodix::Platform
