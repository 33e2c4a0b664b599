#include "Platform/Bundle.h"
#include "Platform/Pasteboard.h"
#include "Platform/URL.h"
#include "TestFolder.h"
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Brodix::Platform;

namespace {

struct UrlCase {
    char const* text;
    bool parses;
    bool isFile;
    char const* path;
    char const* lastComponent;
};

TEST(URL, ParsesAndDecodes)
{
    UrlCase const cases[] = {
        {"file:///home/ann/rose.pes", true, true, "/home/ann/rose.pes", "rose.pes"},
        {"file:///home/ann/a%20b%25c.dst", true, true, "/home/ann/a b%c.dst", "a b%c.dst"},
        {"file://localhost/tmp/x.jef", true, true, "/tmp/x.jef", "x.jef"},
        {"FILE:///tmp/x.jef", true, true, "/tmp/x.jef", "x.jef"},
        {"file:///tmp/folder/", true, true, "/tmp/folder/", "folder"},
        {"file:///tmp/%C3%A9t%C3%A9.pes?x=1#frag", true, true, "/tmp/\xC3\xA9t\xC3\xA9.pes", "\xC3\xA9t\xC3\xA9.pes"},
        {"file://otherhost/tmp/x.jef", true, false, "/tmp/x.jef", "x.jef"},
        {"file:relative.pes", true, false, "relative.pes", "relative.pes"},
        {"https://example.com/rose.pes", true, false, "/rose.pes", "rose.pes"},
        {"rose.pes", true, false, "rose.pes", "rose.pes"},
        {"file:///tmp/a b.pes", false, false, "", ""},
        {"file:///tmp/bad%2", false, false, "", ""},
        {"file:///tmp/bad%zz.pes", false, false, "", ""},
        {"file:///tmp/nul%00.pes", false, false, "", ""},
        {"file:///tmp/\xC3\xA9.pes", false, false, "", ""},
        {"", true, false, "", ""},
    };
    for (UrlCase const& c : cases) {
        SCOPED_TRACE(c.text);
        auto const url = URL::URLWithString(c.text);
        ASSERT_EQ(url.has_value(), c.parses);
        if (!url)
            continue;
        EXPECT_EQ(url->isFileURL(), c.isFile);
        EXPECT_EQ(url->path(), c.path);
        EXPECT_EQ(url->lastPathComponent(), c.lastComponent);
    }
}

TEST(URL, FileURLWithPathRoundTrips)
{
    for (char const* path : {"/tmp/plain.dst", "/tmp/with space/a#b?c%d.pes", "/tmp/\xC3\xA9t\xC3\xA9/rose.PES",
                             "/tmp/semi;colon:at@.jef"}) {
        SCOPED_TRACE(path);
        URL const url = URL::FileURLWithPath(path);
        auto const parsed = URL::URLWithString(url.absoluteString());
        ASSERT_TRUE(parsed.has_value()) << url.absoluteString();
        EXPECT_TRUE(parsed->isFileURL());
        EXPECT_EQ(parsed->path(), path);
    }
}

TEST(Pasteboard, ArgumentsBecomeFileURLItemsInOrder)
{
    Pasteboard const pasteboard = Pasteboard::FromArguments(
        {"/tmp/a b.dst", "relative.pes", "file:///x%20y.jef", "https://example.com/a.pes", "odd:name.dst"});
    std::vector<std::string> strings;
    for (PasteboardItem const& item : pasteboard.pasteboardItems())
        strings.push_back(item.stringForType(kFileURLPasteboardType).value_or("<none>"));
    std::string const cwd = URL::FileURLWithPath(std::filesystem::current_path().string()).absoluteString();
    std::vector<std::string> const expected = {"file:///tmp/a%20b.dst", cwd + "/relative.pes", "file:///x%20y.jef",
                                               "https://example.com/a.pes", cwd + "/odd:name.dst"};
    EXPECT_EQ(strings, expected);
    EXPECT_FALSE(pasteboard.pasteboardItems()[0].stringForType("public.utf8-plain-text").has_value());
}

constexpr char kInfoPlist[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>UTExportedTypeDeclarations</key><array>
    <dict><key>UTTypeIdentifier</key><string>com.brodix.dst</string>
      <key>UTTypeTagSpecification</key><dict><key>public.filename-extension</key><array><string>dst</string></array></dict></dict>
    <dict><key>UTTypeIdentifier</key><string>com.brodix.toy</string>
      <key>UTTypeTagSpecification</key><dict><key>public.filename-extension</key><string>10o</string></dict></dict>
  </array>
</dict></plist>)";

TEST(Bundle, DeclaredTypesAndStrings)
{
    QelTest::TestFolder folder;
    folder.Write("Info.plist", kInfoPlist);
    folder.Write("Localizable.strings", R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>Sending %@</key><string>Envoi de %@</string></dict></plist>)");
    Bundle const bundle = Bundle::AtFolder(folder.Path());
    ASSERT_TRUE(bundle.HasInfoDictionary());
    EXPECT_EQ(bundle.TypeIdentifierForExtension("dst"), "com.brodix.dst");
    EXPECT_EQ(bundle.TypeIdentifierForExtension("DsT"), "com.brodix.dst");
    EXPECT_EQ(bundle.TypeIdentifierForExtension("10O"), "com.brodix.toy");
    EXPECT_FALSE(bundle.TypeIdentifierForExtension("pes").has_value());
    EXPECT_FALSE(bundle.TypeIdentifierForExtension("").has_value());
    EXPECT_EQ(bundle.localizedString("Sending %@"), "Envoi de %@");
    EXPECT_EQ(bundle.localizedString("Missing key"), "Missing key");
    EXPECT_EQ(bundle.localizedString("Missing key", "Fallback"), "Fallback");
    EXPECT_EQ(bundle.localizedString("Sending %@", "", "NoSuchTable"), "Sending %@");
}

TEST(Bundle, MissingOrMalformedInfoPlistHasNoDictionary)
{
    QelTest::TestFolder folder;
    EXPECT_FALSE(Bundle::AtFolder(folder.Path()).HasInfoDictionary());
    for (char const* content : {"<plist><dict><key>NSServices</key>", "not a plist at all",
                                "<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>"}) {
        SCOPED_TRACE(content);
        folder.Write("Info.plist", content);
        Bundle const bundle = Bundle::AtFolder(folder.Path());
        EXPECT_FALSE(bundle.HasInfoDictionary());
        EXPECT_EQ(bundle.objectForInfoDictionaryKey("NSServices"), nullptr);
    }
}

TEST(URL, TypeIdentifierOfFiles)
{
    QelTest::TestFolder folder;
    folder.Write("Info.plist", kInfoPlist);
    Bundle const bundle = Bundle::AtFolder(folder.Path());
    std::string const design = folder.Write("ROSE.DsT", "x");
    std::string const text = folder.Write("notes.txt", "x");
    std::string const fifo = folder.Path() + "/pipe.dst";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::string text;
        std::optional<std::string> identifier;
    } const cases[] = {
        {URL::FileURLWithPath(design).absoluteString(), "com.brodix.dst"},
        {URL::FileURLWithPath(text).absoluteString(), kDataTypeIdentifier},
        {URL::FileURLWithPath(folder.Path()).absoluteString(), kFolderTypeIdentifier},
        {URL::FileURLWithPath(fifo).absoluteString(), kItemTypeIdentifier},
        {URL::FileURLWithPath(folder.Path() + "/missing.dst").absoluteString(), std::nullopt},
        {"https://example.com/rose.dst", std::nullopt},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.text);
        auto const url = URL::URLWithString(c.text);
        ASSERT_TRUE(url.has_value());
        EXPECT_EQ(url->typeIdentifier(bundle), c.identifier);
    }
}

TEST(Bundle, FormatStringFillsPlaceholdersInOrder)
{
    struct Case {
        char const* format;
        std::vector<std::string> arguments;
        char const* expected;
    } const cases[] = {
        {"Sending %@", {"rose.pes"}, "Sending rose.pes"},
        {"%@ and %@", {"a", "b"}, "a and b"},
        {"100%% of %@", {"x"}, "100% of x"},
        {"missing %@", {}, "missing "},
        {"trailing %", {"x"}, "trailing %"},
        {"%@", {"%@"}, "%@"},
    };
    for (Case const& c : cases)
        EXPECT_EQ(FormatString(c.format, c.arguments), c.expected) << c.format;
}

} // namespace
