#include "app/desktop_page.h"

#include <gtest/gtest.h>

#include <fstream>

#include "app/desktop_options.h"
#include "app/json_reader.h"
#include "module/modules.h"
#include "platform/text.h"
#include "support/test_runtime.h"
#include "support/method_names.h"
#include "support/temp_dir.h"

namespace varnel {
namespace {

using platform::PathText;

PathText pathText(const std::string& utf8) { return platform::utf8ToPathText(utf8); }
PathText joined(const std::string& folder, const std::string& name) { return pathText(folder) + platform::kPathSeparator + pathText(name); }

TEST(DesktopOptions, TakeTheInterfaceAndAutomationAndRefuseAnythingElse) {
    using I = DesktopOptions::Interface;
    struct Case {
        std::vector<std::string> args;
        bool valid;
        I interface;
        bool automation;
    };
    const Case cases[] = {
        {{}, true, I::Page, false},
        {{"--interface=stdio"}, true, I::Stdio, false},
        {{"--automation"}, true, I::Page, true},
        {{"--automation", "--interface=stdio"}, true, I::Stdio, true},
        {{"--interface=stdio", "--interface=page"}, true, I::Page, false},
        {{"--interface"}, false, I::Page, false},
        {{"--interface=window"}, false, I::Page, false},
        {{"host"}, false, I::Page, false},
        {{"--automation=yes"}, false, I::Page, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
        const DesktopOptionsParse parsed = parseDesktopOptions(c.args);
        ASSERT_EQ(parsed.options.has_value(), c.valid) << parsed.error;
        if (!c.valid) {
            EXPECT_NE(parsed.error.find("Unknown argument: "), std::string::npos);
            continue;
        }
        EXPECT_EQ(parsed.options->interface, c.interface);
        EXPECT_EQ(parsed.options->automation, c.automation);
    }
}

TEST(DesktopPage, TheBundleLiesInTheBundleFolderBesideTheExecutable) {
    const std::string sep = platform::pathTextToUtf8(PathText(1, platform::kPathSeparator));
    struct Case {
        std::string executable, folder, root;
    };
    std::vector<Case> cases = {
        {sep + "opt" + sep + "varnel" + sep + "varnel-vpn", sep + "opt" + sep + "varnel",
         "file://" + sep + "opt" + sep + "varnel" + sep + "Bundle" + sep},
        // In the root folder the separators are not merged: the root keeps its own.
        {sep + "varnel-vpn", "", "file://" + sep + sep + "Bundle" + sep},
    };
    if (sep == "\\") cases.push_back({"C:\\VarnelVPN.exe", "C:", "file://C:\\\\Bundle\\"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.executable);
        const BundleLocation bundle = bundleBeside(pathText(c.executable));
        EXPECT_EQ(bundle.file, joined(c.folder + sep + "Bundle", "index.windows.bundle"));
        EXPECT_EQ(bundle.baseUri, fileUri(c.folder + sep + "Bundle") + "/");
        EXPECT_EQ(bundle.root, pathText(c.root));
    }
}

TEST(DesktopPage, FileUrisEncodeEverythingButUnreservedCharactersAndSlashes) {
    const std::pair<std::string, std::string> cases[] = {
        {"/opt/varnel/Bundle", "file:///opt/varnel/Bundle"},
        {"/home/a b/x#1/50%/q?", "file:///home/a%20b/x%231/50%25/q%3F"},
        {"/home/\xC3\xBC/A-Z_a.z~0", "file:///home/%C3%BC/A-Z_a.z~0"},
    };
    for (const auto& [path, uri] : cases) EXPECT_EQ(fileUri(path), uri) << path;
}

TEST(DesktopPage, BundleProblemsSayWhatIsWrongWithTheFile) {
    test::TempDir dir;
    const PathText file = (dir.path() / "index.windows.bundle").native();
    EXPECT_TRUE(bundleProblem(file).has_value());
    EXPECT_EQ(bundleProblem(dir.path().native()), "It is a folder, not a file");
    std::ofstream(dir.path() / "index.windows.bundle") << "/* a bundle */";
    EXPECT_EQ(bundleProblem(file), std::nullopt);
}

TEST(DesktopPage, TheFailureTextNamesTheBundleFileAndTheProblemAsASentence) {
    const PathText file = joined("folder", "index.windows.bundle");
    const std::string shown = platform::pathTextForMessage(file);
    EXPECT_EQ(bundleFailureText(file, "No such file or directory"),
              "VarnelVPN could not start its interface.\n\nBundle file: " + shown + "\nProblem: No such file or directory.\n");
    EXPECT_EQ(bundleFailureText(file, "It stopped."),
              "VarnelVPN could not start its interface.\n\nBundle file: " + shown + "\nProblem: It stopped.\n");
}

TEST(DesktopPage, ModulesAreDescribedWithTheirMethodsInTableOrderAndTheirConstants) {
    auto runtime = test::makeTestRuntime();
    ModuleRegistry registry;
    addVarnelModules(registry, runtime);
    const JsonParseResult parsed = parseJson(describeModules(registry));
    ASSERT_TRUE(parsed.value) << parsed.error;
    const JSValueObject& modules = *parsed.value->asObject();
    ASSERT_EQ(modules.size(), 2u);

    const JSValueObject& tunnel = *modules.find("VarnelTunnel")->asObject();
    std::vector<std::string> methods;
    for (const JSValue& name : *tunnel.find("methods")->asArray()) methods.push_back(*name.asString());
    EXPECT_EQ(methods, test::kVarnelTunnelMethods);
    EXPECT_TRUE(tunnel.find("constants")->asObject()->empty());

    const JSValueObject& config = *modules.find("VarnelBuildConfig")->asObject();
    ASSERT_EQ(config.find("methods")->asArray()->size(), 1u);
    EXPECT_EQ(*(*config.find("methods")->asArray())[0].asString(), "getConstants");
    const JSValueObject& constants = *config.find("constants")->asObject();
    EXPECT_EQ(*constants.find("apiBaseUrl")->asString(), "https://api.varnel.example/api/v1");
    ASSERT_NE(constants.find("includeVpnAuthDeviceMetadata")->asBoolean(), nullptr);
    EXPECT_FALSE(*constants.find("includeVpnAuthDeviceMetadata")->asBoolean());
}

TEST(DesktopPage, ThePageRunsHostScriptThenBundleThenStartAndNoConstantCanCloseAScript) {
    const std::string modules = R"({"M":{"methods":[],"constants":{"text":"</script><script>alert(1)</script>"}}})";
    const std::string page = desktopPageHtml(modules);
    const std::size_t root = page.find("<div id=\"root\"></div>");
    const std::size_t host = page.find("window, \"__varnelHost\"");
    const std::size_t bundle = page.find("<script src=\"index.windows.bundle\"></script>");
    const std::size_t start = page.find("<script>window.__varnelHost._start();</script>");
    ASSERT_NE(root, std::string::npos);
    EXPECT_LT(root, host);
    EXPECT_LT(host, bundle);
    EXPECT_LT(bundle, start);
    EXPECT_NE(page.find("runApplication(\"VarnelMac\""), std::string::npos);
    EXPECT_NE(page.find("<title>VarnelVPN</title>"), std::string::npos);

    // Four script elements and nothing else closes one: the constant's "</script>" is escaped.
    std::size_t closings = 0;
    for (std::size_t at = page.find("</script>"); at != std::string::npos; at = page.find("</script>", at + 1)) ++closings;
    EXPECT_EQ(closings, 3u);
    const std::string escaped = R"({"M":{"methods":[],"constants":{"text":"\u003c/script>\u003cscript>alert(1)\u003c/script>"}}})";
    ASSERT_NE(page.find(escaped), std::string::npos);
    EXPECT_EQ(*parseJson(escaped).value, *parseJson(modules).value);
}

TEST(DesktopPage, HostReportsAreReadFromTheirJson) {
    using K = HostReport::Kind;
    const std::tuple<const char*, K, const char*> cases[] = {
        {R"({"failed":"The file could not be loaded."})", K::Failed, "The file could not be loaded."},
        {R"({"failed":7})", K::Failed, "The interface did not say why"},
        {R"({"firstFrame":true})", K::FirstFrame, ""},
        {R"({"other":1})", K::Unknown, ""},
        {R"(["failed"])", K::Unknown, ""},
        {"not json", K::Unknown, ""},
    };
    for (const auto& [text, kind, reason] : cases) {
        SCOPED_TRACE(text);
        const HostReport report = parseHostReport(text);
        EXPECT_EQ(report.kind, kind);
        EXPECT_EQ(report.reason, reason);
    }
}

}  // namespace
}  // namespace varnel
