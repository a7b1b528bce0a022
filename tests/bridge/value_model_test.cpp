#include "bridge/js_value.h"

#include <gtest/gtest.h>

#include "bridge/js_value_write.h"
#include "support/value_capture.h"

namespace varnel {
namespace {

std::vector<std::string> keysOf(const JSValueObject& o) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : o) keys.push_back(key);
    return keys;
}

TEST(JSValueObject, KeepsKeysInByteWiseOrder) {
    JSValueObject o;
    o["upBps"] = JSValue(1);
    o["downBps"] = JSValue(2);
    o["connected"] = JSValue(true);
    o["\xC3\xA9t\xC3\xA9"] = JSValue(3);  // a byte above 0x7F sorts after every ASCII key
    o["Z"] = JSValue(4);                  // upper case before lower case
    o["up"] = JSValue(5);                 // a prefix before its extensions
    EXPECT_EQ(keysOf(o), (std::vector<std::string>{"Z", "connected", "downBps", "up", "upBps", "\xC3\xA9t\xC3\xA9"}));
}

TEST(JSValueObject, IndexingInsertsNullAndAssignmentReplaces) {
    JSValueObject o;
    EXPECT_TRUE(o["missing"].isNull());
    EXPECT_EQ(o.size(), 1u);
    o["k"] = JSValue("first");
    o["k"] = JSValue("last");
    EXPECT_EQ(o.size(), 2u);
    EXPECT_EQ(*o.find("k")->asString(), "last");
    EXPECT_EQ(o.find("absent"), nullptr);
}

TEST(JSValue, TypeNumbersFollowTheInterfaceNumbering) {
    EXPECT_EQ(static_cast<int>(JSValue().type()), 0);
    EXPECT_EQ(static_cast<int>(JSValue(JSValueObject{}).type()), 1);
    EXPECT_EQ(static_cast<int>(JSValue(JSValueArray{}).type()), 2);
    EXPECT_EQ(static_cast<int>(JSValue("s").type()), 3);
    EXPECT_EQ(static_cast<int>(JSValue(false).type()), 4);
    EXPECT_EQ(static_cast<int>(JSValue(7).type()), 5);
    EXPECT_EQ(static_cast<int>(JSValue(7.0).type()), 6);
}

TEST(JSValueWrite, ObjectsReachTheHostInKeyOrderWithTheirValues) {
    JSValueObject stats{{"upBps", JSValue(std::int64_t{10})}, {"downBps", JSValue(2.5)}, {"connected", JSValue(true)}};
    JSValue value(JSValueArray{JSValue(stats), JSValue(), JSValue("\xE2\x82\xAC")});
    test::ValueCapture capture;
    writeJSValue(capture, value);
    EXPECT_EQ(capture.propertyOrder(), (std::vector<std::string>{"connected", "downBps", "upBps"}));
    EXPECT_EQ(capture.value(), value);
}

}  // namespace
}  // namespace varnel
