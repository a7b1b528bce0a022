#include <gtest/gtest.h>

#include "module/build_config_module.h"
#include "support/method_names.h"
#include "support/test_host.h"
#include "support/value_capture.h"

namespace varnel {
namespace {

using test::TestHost;

TEST(ModuleSurface, HostRecordsTwoEventInitialisersThenTheMethodsInTableOrderThenInitialize) {
    TestHost host;
    const auto& modules = host.registry().modules();
    ASSERT_EQ(modules.size(), 2u);
    EXPECT_EQ(modules[0]->name, "VarnelTunnel");
    EXPECT_EQ(modules[1]->name, "VarnelBuildConfig");

    std::vector<std::string> expected = {"initializer", "initializer"};
    expected.insert(expected.end(), test::kVarnelTunnelMethods.begin(), test::kVarnelTunnelMethods.end());
    expected.push_back("initializer");
    EXPECT_EQ(modules[0]->memberOrder, expected);
    EXPECT_EQ(modules[1]->memberOrder, std::vector<std::string>{"constants"});
}

TEST(ModuleSurface, EveryMethodSettlesWithAResultOrAPlainRejection) {
    TestHost host;
    host.initialize();
    for (const std::string& method : test::kVarnelTunnelMethods) {
        SCOPED_TRACE(method);
        auto record = host.call(method);
        test::Settlement s = record->wait();
        if (!s.resolved) {
            const JSValueObject* rejection = s.value.asObject();
            ASSERT_NE(rejection, nullptr);
            ASSERT_EQ(rejection->size(), 3u);
            EXPECT_EQ(*rejection->find("code")->asString(), "EUNSPECIFIED");
            EXPECT_FALSE(rejection->find("message")->asString()->empty());
            EXPECT_TRUE(rejection->find("userInfo")->isNull());
        }
    }
}

TEST(ModuleSurface, SurplusArgumentsAreIgnored) {
    TestHost host;
    JSValue surplus(JSValueArray{JSValue("a"), JSValue("b"), JSValue(3), JSValue(JSValueObject{})});
    EXPECT_EQ(host.callAndWait("requestNotificationPermission", surplus).value, JSValue(true));
    EXPECT_EQ(host.callAndWait("promptVpnAuth", surplus).value, host.callAndWait("promptVpnAuth").value);
    EXPECT_EQ(*host.callAndWait("promptVpnAuth", JSValue("not a list")).value.asObject()->find("message")->asString(),
              "Interactive auth prompt not available on Windows");
}

TEST(ModuleEvents, DroppedBeforeInitializeAndDeliveredAfter) {
    TestHost host;
    JSValueObject payload{{"action", JSValue("connect")}, {"id", JSValue("s1")}};
    host.runtime().events->EmitMenuBarAction(payload);
    host.runtime().events->EmitAppWindowDidShow();
    EXPECT_TRUE(host.events().empty());

    host.initialize();
    host.runtime().events->EmitMenuBarAction(payload);
    host.runtime().events->EmitAppWindowDidShow();
    auto events = host.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].emitter, "RCTDeviceEventEmitter");
    EXPECT_EQ(events[0].name, "menuBarAction");
    EXPECT_EQ(events[0].args, JSValue(JSValueArray{JSValue(payload)}));
    EXPECT_EQ(events[1].emitter, "RCTDeviceEventEmitter");
    EXPECT_EQ(events[1].name, "appWindowDidShow");
    EXPECT_EQ(events[1].args, JSValue(JSValueArray{}));
}

TEST(ModuleEvents, GoToTheNewestModuleAndNeverToADestroyedOne) {
    std::shared_ptr<Runtime> runtime = test::makeTestRuntime();
    TestHost first(runtime);
    first.initialize();
    first.unload();  // the host drops the module, as on a reload of the interface
    runtime->events->EmitAppWindowDidShow();
    EXPECT_TRUE(first.events().empty());

    TestHost second(runtime);
    TestHost third(runtime);
    second.initialize();
    third.initialize();
    runtime->events->EmitAppWindowDidShow();
    EXPECT_TRUE(second.events().empty());
    EXPECT_EQ(third.events().size(), 1u);
}

TEST(BuildConfig, ConstantsAreTheHttpsApiAddressAndABooleanFalse) {
    TestHost host;
    const auto& module = *host.registry().find("VarnelBuildConfig");
    ASSERT_EQ(module.constantProviders.size(), 1u);
    test::ValueCapture capture;
    capture.WriteObjectBegin();
    module.constantProviders[0](capture);
    capture.WriteObjectEnd();
    EXPECT_EQ(capture.propertyOrder(), (std::vector<std::string>{"apiBaseUrl", "includeVpnAuthDeviceMetadata"}));
    EXPECT_EQ(capture.value(), JSValue(JSValueObject{{"apiBaseUrl", JSValue(kApiBaseUrl)},
                                                     {"includeVpnAuthDeviceMetadata", JSValue(false)}}));
    const std::string url = kApiBaseUrl;
    EXPECT_EQ(url.rfind("https://", 0), 0u);
    EXPECT_EQ(url.substr(url.size() - 7), "/api/v1");
}

}  // namespace
}  // namespace varnel
