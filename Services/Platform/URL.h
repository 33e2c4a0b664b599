// URLs as the desktop hands them over: parsing with percent-decoding, file
// URLs built from paths, and the type identifier of the file a URL names.
#pragma once
#include <optional>
#include <string>

namespace Brodix::Platform {

class Bundle;

// Type identifiers given to what the bundle does not declare.
inline constexpr char kFolderTypeIdentifier[] = "public.folder";
inline constexpr char kDataTypeIdentifier[] = "public.data";
inline constexpr char kItemTypeIdentifier[] = "public.item";   // pipes, sockets, devices

class URL {
public:
    // Nothing for text that is no URL: characters a URL cannot hold (spaces,
    // controls, non-ASCII), a broken percent escape, or a file URL whose path
    // decodes to a NUL byte. A string without a scheme is a relative URL.
    static std::optional<URL> URLWithString(std::string const& text);
    // The file URL of an absolute path, percent-encoding what needs it.
    static URL FileURLWithPath(std::string const& absolutePath);

    // A file URL on this machine: scheme "file", no host or "localhost", and
    // an absolute path. A file URL naming another host is not one of ours.
    bool isFileURL() const;
    std::string const& absoluteString() const { return m_text; }
    std::string const& scheme() const { return m_scheme; }
    std::string const& host() const { return m_host; }
    // The percent-decoded path.
    std::string const& path() const { return m_path; }
    // The last component of the path, trailing slashes ignored.
    std::string lastPathComponent() const;
    // Lower-case-insensitive extension of the last component, without the dot.
    std::string pathExtension() const;

    // The type identifier of the file the URL names, from the bundle's
    // declared types (extension compared without regard to case); a folder
    // gets kFolderTypeIdentifier, another regular file kDataTypeIdentifier.
    // Nothing when the URL is no file URL or nothing exists at its path.
    std::optional<std::string> typeIdentifier(Bundle const& bundle) const;
    std::optional<std::string> typeIdentifier() const;   // with the main bundle

private:
    std::string m_text;
    std::string m_scheme;
    std::string m_host;
    std::string m_path;
    bool m_hasAuthority = false;
};

} // namespace Brodix::Platform
