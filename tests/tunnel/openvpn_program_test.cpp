#include "tunnel/openvpn_program.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/openvpn_install.h"
#include "support/temp_dir.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;
using platform::PathText;

bool onWindows() { return platform::kPathSeparator == '\\'; }

PathText native(const std::string& utf8) { return fs::u8path(utf8).native(); }

TEST(OpenVpnCommandLine, PiecesInOrderWithQuotedPaths) {
    const std::string driver = onWindows() ? " --windows-driver tap-windows6" : "";
    const PathText config = native("C:/Users/J\xC3\xB6rg/profiles/p 1/client.ovpn");
    const PathText auth = native("C:/Users/J\xC3\xB6rg/profiles/p 1/auth.txt");
    const PathText log = native("C:/Users/J\xC3\xB6rg/profiles/p 1/openvpn.log");
    const std::string c = "\"" + platform::pathTextToUtf8(config) + "\"";
    const std::string a = "\"" + platform::pathTextToUtf8(auth) + "\"";
    const std::string l = "\"" + platform::pathTextToUtf8(log) + "\"";

    EXPECT_EQ(openVpnParameters(config, auth, log, 11940, auth, true),
              "--config " + c + " --auth-user-pass " + a + " --log " + l +
                  " --management 127.0.0.1 11940 " + a + " --verb 3 --connect-retry 2 --connect-timeout 10"
                  " --ifconfig-ipv6 fd15:53b6:dead::2/64 fd15:53b6:dead::1 --redirect-gateway ipv6 --block-ipv6" + driver);
    EXPECT_EQ(openVpnParameters(config, {}, log, 21940, {}, false),
              "--config " + c + " --log " + l + " --management 127.0.0.1 21940 --verb 3 --connect-retry 2 --connect-timeout 10" + driver);
    // Non-ASCII path text arrives as UTF-8 in the line.
    EXPECT_NE(openVpnParameters(config, {}, log, 1, {}, false).find("J\xC3\xB6rg"), std::string::npos);
}

class OpenVpnLocatorTest : public ::testing::Test {
protected:
    test::TempDir temp;
    // <temp>/outer/app/varnel(.exe): the application folder is "app", its parent "outer".
    fs::path outer = temp.path() / "outer";
    fs::path app = outer / "app";
    PathText executable = (app / "varnel.exe").native();
    PathText program = platform::kOpenVpnProgramName;

    void SetUp() override { fs::create_directories(app); }
    // Places a copy, then expects the locator to answer it (in that order).
    void expectFoundAfterPlacing(const fs::path& path) {
        const PathText placed = place(path);
        EXPECT_EQ(OpenVpnLocator(executable), placed);
    }
    PathText place(const fs::path& path) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "x";
        return path.native();
    }
};

TEST_F(OpenVpnLocatorTest, ApplicationFolderThenParentThenInstallationsThenSearch) {
    // Without a copy of our own, the first installed one is found, else the system's search.
    PathText expected;
    for (const PathText& candidate : platform::installedOpenVpnCandidates())
        if (expected.empty() && fs::exists(candidate)) expected = candidate;
    if (expected.empty()) expected = platform::searchOpenVpnOnPath();
    EXPECT_EQ(OpenVpnLocator(executable), expected);

    // Each copy placed wins over every one placed before it.
    expectFoundAfterPlacing(outer / program);
    fs::remove(outer / program);  // on Linux the program and its subfolder share the name "openvpn"
    expectFoundAfterPlacing(outer / "openvpn" / program);
    expectFoundAfterPlacing(app / program);
    if (PathText(program) != platform::widenBytes("openvpn")) {
        expectFoundAfterPlacing(app / "openvpn" / program);
        // A folder of that name is no program: the next candidate is found instead.
        fs::remove_all(app / "openvpn");
        fs::create_directories(app / "openvpn" / program);
        EXPECT_EQ(OpenVpnLocator(executable), (app / program).native());
    }
}

TEST_F(OpenVpnLocatorTest, TapInstallerBesideOpenVpnOnlyWhereThereIsOne) {
    const PathText openvpn = place(app / program);
    EXPECT_EQ(TapInstallerPath(openvpn), PathText());
    const PathText installerName = platform::kTapInstallerName;
    if (installerName.empty()) GTEST_SKIP() << "this system has no TAP installer";
    const PathText installer = place(app / installerName);
    EXPECT_EQ(TapInstallerPath(openvpn), installer);
}

}  // namespace
}  // namespace varnel
