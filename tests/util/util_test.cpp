#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "platform/device_info.h"
#include "platform/files.h"
#include "platform/process_list.h"
#include "support/child_process.h"
#include "support/fake_file_dialog.h"
#include "support/temp_dir.h"
#include "support/test_host.h"
#include "support/test_programs.h"
#include "support/wait_until.h"

namespace varnel::util {
namespace {

using namespace std::string_literals;
using test::ChildProcess;

// Through the module, from the runtime's source.
TEST(DeviceMarketingName, FollowsTheProductThenManufacturerThenFallbackChain) {
    const std::string fallback = platform::kDeviceFallbackName;
    const std::tuple<std::u16string, std::u16string, std::string> cases[] = {
        {u"  Precision 5570 \t", u"Acme", "Precision 5570"}, {u"ThinkPad X1\n", u"", "ThinkPad X1"},  // as the kernel writes it
        {u"Surface\r\nLaptop", u"Acme", "Surface Laptop"}, {u"To be filled by O.E.M.", u"Acme", "Acme PC"},
        {u"  system product name ", u"Acme", "Acme PC"},
        {u"", u"  Acme \n", "Acme PC"}, {u"", u"Default string", "Default string PC"},  // no manufacturer placeholder
        {u"Default string", u"to be filled by o.e.m.", fallback}, {u"", u"", fallback}, {u" \t\r\n", u"  ", fallback},
        {u"DEFAULT STR\u0130NG", u"Acme", "DEFAULT STR\u0130NG"},  // only A to Z fold: a dotted capital I is no placeholder
        {u"Default string 2", u"Acme", "Default string 2"},        // a placeholder inside a longer name is a name
    };
    for (const auto& [product, maker, expected] : cases) {
        const auto source = std::make_shared<test::FakeDeviceInfo>();
        source->product = product;
        source->maker = maker;
        test::TestHost host(test::makeTestRuntime([&](RuntimeServices& s) { s.deviceInfo = source; }));
        EXPECT_EQ(host.callAndWait("getDeviceMarketingName").value, bridge::JSValue(expected)) << expected;
    }
}

// Loopback answers at least 1 whatever the port; no IPv4 address, a label over 63 bytes or a reserved name, 0.
TEST(Latency, LoopbackAnswersAtLeastOneAndNoIpv4AddressZero) {
    const std::pair<std::string, std::int64_t> cases[] = {{"127.0.0.1", 443}, {"127.0.0.1", 0}, {"127.0.0.1", -1}, {"localhost", 443},
                                                          {"", 443}, {"::1", 443}, {"fe80::1", 443}, {std::string(64, 'a') + ".varnel.invalid", 443}};
    for (const auto& [host, port] : cases) {
        const bridge::JSValue figure = test::TestHost().callAndWait("measureTcpLatency", bridge::JSValueArray{host, port}).value;
        const bool reachable = host == "localhost" || host.starts_with("127.");
        EXPECT_TRUE(figure.asInt64() != nullptr && (reachable ? *figure.asInt64() >= 1 : *figure.asInt64() == 0)) << host << ": " << testing::PrintToString(figure);
    }
}

std::size_t countRunning(const std::string& exeName) {
    std::size_t count = 0;
    for (const platform::ProcessEntry& p : platform::listProcesses()) count += p.exeName == exeName;
    return count;
}

bridge::JSValue list(const std::vector<std::string>& names) { return bridge::JSValueArray(names.begin(), names.end()); }

// Copies named in another case by a host of their name all end, the host answering; paths, stems and wildcards match nothing.
TEST(TerminateApps, SparesTheCallingProcess) {
    test::TempDir dir;
    const std::string pid = std::to_string(platform::currentProcessId()), stem = "VarnelSelf" + pid, exeName = stem + ".exe";
    const std::filesystem::path copy = dir.path() / exeName, host = dir.path() / "host";
    std::filesystem::copy_file(test::testProgramPath("sleeper"), copy);
    std::filesystem::create_directory(host);
    std::filesystem::copy_file(VARNEL_HOST_EXE, host / exeName);
    std::vector<ChildProcess> others;
    for (int i = 0; i < 2; ++i) others.push_back(ChildProcess::start(copy.string()));
    ASSERT_TRUE(test::waitUntil([&] { return countRunning(exeName) == 2; })) << "the copies never showed in the process list";
    const bridge::JSValue unmatched = list({copy.string(), "C:\\Tools\\" + exeName, stem, stem + ".ex", "*.exe", stem + "*", " " + exeName});
    for (const bridge::JSValue& names : {unmatched, list({})})
        EXPECT_EQ(test::TestHost().callAndWait("terminateApps", bridge::JSValueArray{names}).value, bridge::JSValue(bridge::JSValueObject{{"terminated", list({})}}));
    EXPECT_EQ(countRunning(exeName), 2u);

    const std::string shouted = R"([["unrelated.exe","VARNELsELF)" + pid + R"(.EXE"]])";
    ChildProcess caller = ChildProcess::start((host / exeName).string(), {"call", "terminateApps", shouted});
    std::string line;
    ASSERT_TRUE(caller.readLine(line));
    EXPECT_EQ(line, R"({"id":1,"result":{"terminated":[")" + exeName + R"(",")" + exeName + R"("]}})");
    EXPECT_EQ(caller.wait(), 0);
    for (ChildProcess& other : others) other.wait();  // throws if it is still running
}

class Pickers : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(std::filesystem::create_directory(folderPath)); }
    bridge::JSValue pick(const std::string& method, std::optional<platform::PathText> answer) {
        dialog = std::make_shared<test::FakeFileDialog>(std::move(answer));
        test::TestHost host(test::makeTestRuntime([&](RuntimeServices& s) { s.fileDialog = dialog; }));
        const test::Settlement settled = host.callAndWait(method);
        EXPECT_TRUE(settled.resolved);
        // The interface thread never waits on a dialog; each picker offers its own files first.
        EXPECT_NE(dialog->requests().at(0).second, std::this_thread::get_id());
        EXPECT_EQ(dialog->requests().at(0).first.filters.at(0).pattern, method == "pickApp" ? "*.exe" : "*.ovpn");
        return settled.value;
    }
    // The chosen file's path as the dialog hands it over, in a folder whose name has a full stop.
    platform::PathText pathOf(const std::string& name) { return (folderPath / std::filesystem::u8path(name)).native(); }

    test::TempDir files;
    const std::filesystem::path folderPath = files.path() / "v2.0";
    const std::string folder = platform::pathTextToUtf8(folderPath.native());
    std::shared_ptr<test::FakeFileDialog> dialog;
};

TEST_F(Pickers, PickAppNamesTheProgramWithoutItsLastExtension) {
    EXPECT_EQ(pick("pickApp", std::nullopt), bridge::JSValue(bridge::JSValueObject{}));
    std::vector<std::pair<const char*, const char*>> cases = {
        {"tool.beta.exe", "tool.beta"}, {".hidden", ""}, {"README", "README"}, {"trailing.", "trailing"}, {"B\xC3\xA4r.exe", "B\xC3\xA4r"}};
    if (platform::kPathSeparator == '/') cases.push_back({"a\\b.exe", "a\\b"});  // on Linux a backslash is part of a name
    for (const auto& [file, name] : cases) {
        const bridge::JSValueObject result{{"bundleId", file}, {"name", name}, {"path", platform::pathTextToUtf8(pathOf(file))}, {"color", "#1d8fef"}};
        EXPECT_EQ(pick("pickApp", pathOf(file)), bridge::JSValue(result));
    }
}

// The bytes without a first UTF-8 byte-order mark; an unreadable file is still named.
TEST_F(Pickers, PickOvpnFileHandsOverTheFilesBytesAndItsFolder) {
    EXPECT_EQ(pick("pickOvpnFile", std::nullopt), bridge::JSValue(bridge::JSValueObject{}));
    const std::string bom = "\xEF\xBB\xBF", fffd = "\xEF\xBF\xBD";  // the interface sees other bytes as they convert
    const std::pair<std::string, std::string> cases[] = {
        {bom + "client\r\nremote a 1194\r\n\0tail"s, "client\r\nremote a 1194\r\n\0tail"s}, {bom + bom + "a", bom + "a"},
        {bom, ""}, {"\xEF\xBB", fffd}, {"a" + bom, "a" + bom}, {"\xFF\xFE" "c\0l\0"s, fffd + fffd + "c\0l\0"s}, {"", ""},
    };
    for (const auto& [bytes, content] : cases) {
        ASSERT_TRUE(platform::writeWholeFile(pathOf("office.ovpn"), bytes));
        EXPECT_EQ(pick("pickOvpnFile", pathOf("office.ovpn")),
                  bridge::JSValue(bridge::JSValueObject{{"fileName", "office.ovpn"}, {"content", content}, {"sourceDirectory", folder}}));
    }
    EXPECT_EQ(pick("pickOvpnFile", pathOf("gone.ovpn")),
              bridge::JSValue(bridge::JSValueObject{{"fileName", "gone.ovpn"}, {"content", ""}, {"sourceDirectory", folder}}));
}

}  // namespace
}  // namespace varnel::util
