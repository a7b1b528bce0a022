// The 31 methods of VarnelTunnel in the order the host records them. Each line declares the promise
// type and the argument types and hands the work to the subsystem that does it.

#include <cstdint>
#include <string>
#include <vector>

#include "app/runtime.h"
#include "bridge/helper_status.h"
#include "bridge/method_binding.h"
#include "bridge/varnel_tunnel_module.h"

namespace varnel {

namespace {

using Str = std::string;
using StrList = std::vector<std::string>;
using Object = JSValueObject;
using Array = JSValueArray;

// A method whose subsystem is not built yet says so instead of pretending.
template <class Result, class... Args>
void addUnavailable(ModuleBuilder& b, const char* name, const char* subsystem) {
    std::string message = std::string(name) + " is not available yet: " + subsystem + " is not built.";
    addPromiseMethod<Result, Args...>(b, name, [message](const Args&..., const Promise<Result>& p) { p.reject(message); });
}

}  // namespace

void addVarnelTunnelMethods(ModuleBuilder& b, const std::shared_ptr<Runtime>& rt) {
    (void)rt;
    addUnavailable<Str>(b, "pingHelper", "the OpenVPN locator");
    addUnavailable<Object>(b, "installHelper", "the OpenVPN locator");
    addUnavailable<Object, Str, Str, Str, Str>(b, "saveOvpnProfile", "the profile store");
    addUnavailable<void, Str, Str>(b, "saveOvpnProfileMeta", "the profile store");
    addUnavailable<Array>(b, "listSavedOvpnProfiles", "the profile store");
    addUnavailable<void, Str>(b, "deleteOvpnProfile", "the profile store");
    addUnavailable<void, Str, Str, Str>(b, "saveOvpnAuth", "the credentials file");
    addUnavailable<Object, Str>(b, "readOvpnAuth", "the credentials file");
    addUnavailable<Object, Str, Str, Str, Str>(b, "connectOvpn", "the connection lifecycle");
    addUnavailable<Object>(b, "disconnect", "the connection lifecycle");
    addUnavailable<Object>(b, "getStatus", "the connection lifecycle");
    addUnavailable<Object>(b, "getHelperInfo", "the OpenVPN locator");
    addUnavailable<std::int32_t, Str, std::int32_t>(b, "measureTcpLatency", "latency measurement");
    addUnavailable<Object>(b, "getTrafficStats", "the traffic sampler");
    addUnavailable<Str>(b, "getDeviceMarketingName", "the device name reader");
    addPromiseMethod<Object, Str, Str>(b, "promptVpnAuth", [](const Str&, const Str&, const Promise<Object>& p) { promptVpnAuth(p); });
    addUnavailable<Object, bool>(b, "setKillSwitchEnabled", "the kill switch");
    addUnavailable<Object, bool>(b, "setBlockIpv6Enabled", "the kill switch");
    addUnavailable<Object>(b, "pickApp", "the file picker");
    addUnavailable<Object>(b, "pickOvpnFile", "the file picker");
    addUnavailable<Object, StrList>(b, "terminateApps", "application termination");
    addUnavailable<bool, bool>(b, "setMenuBarVisible", "the notification-area icon");
    addUnavailable<bool, Str>(b, "updateMenuBarMenu", "the notification-area icon");
    addUnavailable<bool>(b, "activateApp", "the notification-area icon");
    addUnavailable<bool>(b, "notifyVpnConnectedOnHide", "the notification-area icon");
    addPromiseMethod<bool>(b, "requestNotificationPermission", [](const Promise<bool>& p) { requestNotificationPermission(p); });
    addUnavailable<void, Str, Str>(b, "writeUserDefaults", "the user defaults store");
    addUnavailable<Str, Str>(b, "readUserDefaults", "the user defaults store");
    addUnavailable<void, Str, Str, Str>(b, "writeKeychainItem", "the keychain");
    addUnavailable<Str, Str, Str>(b, "readKeychainItem", "the keychain");
    addUnavailable<void, Str, Str>(b, "deleteKeychainItem", "the keychain");
}

}  // namespace varnel
