#include "util/pick_result.h"

#include <gtest/gtest.h>

#include <string>

namespace varnel::util {
namespace {

using namespace std::string_literals;

struct AppCase {
    std::string path;
    char separator;
    std::string bundleId;
    std::string name;
};

TEST(AppPickResult, NamesTheFileAndCutsItsLastExtension) {
    const AppCase cases[] = {
        {R"(C:\Program Files\Example\example.exe)", '\\', "example.exe", "example"},
        {R"(C:\Tools\tool.beta.exe)", '\\', "tool.beta.exe", "tool.beta"},
        {R"(C:\Tools\.hidden)", '\\', ".hidden", ""},
        {R"(C:\Tools\README)", '\\', "README", "README"},
        {R"(C:\dir.v2\tool)", '\\', "tool", "tool"},
        {"example.exe", '\\', "example.exe", "example"},
        {R"(C:\Tools\trailing.)", '\\', "trailing.", "trailing"},
        {"/usr/bin/tool.beta.exe", '/', "tool.beta.exe", "tool.beta"},
        // On Linux a backslash is a character of the file name.
        {R"(/home/u/a\b.exe)", '/', R"(a\b.exe)", R"(a\b)"},
        {"C:\\Programme\\B\xC3\xA4r.exe", '\\', "B\xC3\xA4r.exe", "B\xC3\xA4r"},
    };
    for (const AppCase& c : cases) {
        SCOPED_TRACE(c.path);
        const JSValueObject expected{{"bundleId", JSValue(c.bundleId)}, {"name", JSValue(c.name)}, {"path", JSValue(c.path)}, {"color", JSValue("#1d8fef")}};
        EXPECT_EQ(appPickResult(c.path, c.separator), expected);
    }
}

struct OvpnCase {
    const char* what;
    std::string path;
    char separator;
    std::string bytes;
    std::string fileName;
    std::string content;
    std::string sourceDirectory;
};

TEST(OvpnFilePickResult, SplitsThePathAndRemovesOnlyALeadingUtf8Mark) {
    const std::string bom = "\xEF\xBB\xBF";
    const OvpnCase cases[] = {
        {"UTF-8 mark removed", R"(C:\p\x.ovpn)", '\\', bom + "client\r\n", "x.ovpn", "client\r\n", R"(C:\p)"},
        {"UTF-16 kept whole", R"(C:\p\x.ovpn)", '\\', "\xFF\xFE" "c\0l\0"s, "x.ovpn", "\xFF\xFE" "c\0l\0"s, R"(C:\p)"},
        {"empty file", R"(C:\p\x.ovpn)", '\\', "", "x.ovpn", "", R"(C:\p)"},
        {"nothing but the mark", R"(C:\p\x.ovpn)", '\\', bom, "x.ovpn", "", R"(C:\p)"},
        {"two bytes of a mark stay", R"(C:\p\x.ovpn)", '\\', "\xEF\xBB", "x.ovpn", "\xEF\xBB", R"(C:\p)"},
        {"only the first of two marks goes", R"(C:\p\x.ovpn)", '\\', bom + bom + "a", "x.ovpn", bom + "a", R"(C:\p)"},
        {"a mark later on stays", R"(C:\p\x.ovpn)", '\\', "a" + bom, "x.ovpn", "a" + bom, R"(C:\p)"},
        {"NUL bytes and CR LF kept", R"(C:\p\x.ovpn)", '\\', "a\0b\r\n"s, "x.ovpn", "a\0b\r\n"s, R"(C:\p)"},
        {"no separator", "x.ovpn", '\\', "a", "x.ovpn", "a", ""},
        {"file at the drive's root", R"(C:\x.ovpn)", '\\', "a", "x.ovpn", "a", "C:"},
        {"Linux path", "/home/u/vpn/x.ovpn", '/', "a", "x.ovpn", "a", "/home/u/vpn"},
        {"Linux root", "/x.ovpn", '/', "a", "x.ovpn", "a", ""},
    };
    for (const OvpnCase& c : cases) {
        SCOPED_TRACE(c.what);
        const JSValueObject expected{{"fileName", JSValue(c.fileName)}, {"content", JSValue(c.content)}, {"sourceDirectory", JSValue(c.sourceDirectory)}};
        EXPECT_EQ(ovpnFilePickResult(c.path, c.bytes, c.separator), expected);
    }
}

}  // namespace
}  // namespace varnel::util
