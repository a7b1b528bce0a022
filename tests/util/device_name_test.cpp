#include "util/device_name.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/test_host.h"

namespace varnel::util {
namespace {

struct FixedDeviceInfo final : platform::DeviceInfoSource {
    std::u16string product, maker;
    int makerReads = 0;
    FixedDeviceInfo(std::u16string p, std::u16string m) : product(std::move(p)), maker(std::move(m)) {}
    std::u16string productName() override { return product; }
    std::u16string manufacturer() override {
        ++makerReads;
        return maker;
    }
};

struct NameCase {
    const char* what;
    std::u16string product;
    std::u16string maker;
    std::string expected;  // empty: the fallback name
};

const std::string kFallback = platform::kDeviceFallbackName;

TEST(DeviceMarketingName, FollowsTheProductThenManufacturerThenFallbackChain) {
    const NameCase cases[] = {
        {"product with blanks around it", u"  Precision 5570 \t", u"Acme", "Precision 5570"},
        {"product with a line feed as the kernel writes it", u"ThinkPad X1\n", u"", "ThinkPad X1"},
        {"O.E.M. placeholder product", u"To be filled by O.E.M.", u"Acme", "Acme PC"},
        {"placeholder in capitals", u"DEFAULT STRING", u"Acme", "Acme PC"},
        {"placeholder in small letters with blanks", u"  system product name ", u"Acme", "Acme PC"},
        {"last placeholder of the list", u"Product Name", u"Acme", "Acme PC"},
        {"manufacturer with blanks around it", u"", u"  Acme \n", "Acme PC"},
        {"Default string is no manufacturer placeholder", u"", u"Default string", "Default string PC"},
        {"both placeholders", u"Default string", u"to be filled by o.e.m.", ""},
        {"both missing", u"", u"", ""},
        {"both only white space", u" \t\r\n", u"  ", ""},
        {"line break inside the product", u"Surface\r\nLaptop", u"Acme", "Surface Laptop"},
        {"only A to Z fold: a dotted capital I is no placeholder", u"DEFAULT STR\u0130NG", u"Acme", "DEFAULT STR\u0130NG"},
        {"a placeholder inside a longer name is a name", u"Default string 2", u"Acme", "Default string 2"},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.what);
        FixedDeviceInfo source(c.product, c.maker);
        const std::string expected = c.expected.empty() ? kFallback : c.expected;
        EXPECT_EQ(deviceMarketingName(source), expected);
    }
}

TEST(DeviceMarketingName, ReadsTheManufacturerOnlyWhenTheProductIsUnusable) {
    FixedDeviceInfo named(u"Precision", u"Acme");
    deviceMarketingName(named);
    EXPECT_EQ(named.makerReads, 0);
    FixedDeviceInfo placeholder(u"Default string", u"Acme");
    deviceMarketingName(placeholder);
    EXPECT_EQ(placeholder.makerReads, 1);
}

// The build's own source: the registry under Wine (empty there), /sys/class/dmi/id on Linux.
TEST(DeviceMarketingName, TheSystemSourceGivesATidyNameThroughTheModule) {
    const auto source = platform::systemDeviceInfo();
    const std::string direct = deviceMarketingName(*source);
    ASSERT_FALSE(direct.empty());
    EXPECT_EQ(direct.find_first_of("\r\n"), std::string::npos) << direct;
    EXPECT_NE(direct.front(), ' ');
    EXPECT_NE(direct.back(), ' ');
    if (trimWide(source->productName()).empty() && trimWide(source->manufacturer()).empty()) {
        EXPECT_EQ(direct, kFallback);
    }

    test::TestHost host(test::makeTestRuntime([&](RuntimeServices& s) { s.deviceInfo = source; }));
    const test::Settlement answer = host.callAndWait("getDeviceMarketingName");
    ASSERT_TRUE(answer.resolved);
    EXPECT_EQ(answer.value, JSValue(direct));
}

TEST(DeviceMarketingName, TheModuleAsksTheRuntimesSource) {
    test::TestHost host(test::makeTestRuntime(
        [](RuntimeServices& s) { s.deviceInfo = std::make_shared<FixedDeviceInfo>(u"To be filled by O.E.M.", u" Acme "); }));
    const test::Settlement answer = host.callAndWait("getDeviceMarketingName", JSValue(JSValueArray{JSValue("surplus")}));
    ASSERT_TRUE(answer.resolved);
    EXPECT_EQ(answer.value, JSValue("Acme PC"));
}

}  // namespace
}  // namespace varnel::util
