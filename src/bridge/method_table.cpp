// The 31 methods of VarnelTunnel in the order the host records them. Each line declares the promise
// type and the argument types and hands the work to the subsystem that does it.

#include <cstdint>
#include <string>
#include <vector>

#include "app/runtime.h"
#include "bridge/helper_status.h"
#include "bridge/method_binding.h"
#include "bridge/varnel_tunnel_module.h"
#include "storage/credentials_file.h"
#include "storage/keychain.h"
#include "storage/profile_store.h"
#include "storage/user_defaults.h"

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
    addUnavailable<Str>(b, "pingHelper", "the OpenVPN locator");
    addUnavailable<Object>(b, "installHelper", "the OpenVPN locator");
    addPromiseMethod<Object, Str, Str, Str, Str>(b, "saveOvpnProfile", [rt](const Str& id, const Str& content, const Str& fileName, const Str&, const Promise<Object>& p) {
        p.resolve(storage::saveOvpnProfile(rt->dataFolder, id, content, fileName));
    });
    addPromiseMethod<void, Str, Str>(b, "saveOvpnProfileMeta", [rt](const Str& id, const Str& metaJson, const Promise<void>& p) {
        storage::saveOvpnProfileMeta(rt->dataFolder, id, metaJson);
        p.resolve();
    });
    addPromiseMethod<Array>(b, "listSavedOvpnProfiles", [rt](const Promise<Array>& p) { p.resolve(storage::listSavedOvpnProfiles(rt->dataFolder)); });
    addPromiseMethod<void, Str>(b, "deleteOvpnProfile", [rt](const Str& id, const Promise<void>& p) {
        storage::deleteOvpnProfile(rt->dataFolder, id);
        p.resolve();
    });
    addPromiseMethod<void, Str, Str, Str>(b, "saveOvpnAuth", [rt](const Str& id, const Str& user, const Str& password, const Promise<void>& p) {
        storage::saveOvpnAuth(rt->dataFolder, id, user, password);
        p.resolve();
    });
    addPromiseMethod<Object, Str>(b, "readOvpnAuth", [rt](const Str& id, const Promise<Object>& p) { p.resolve(storage::readOvpnAuth(rt->dataFolder, id)); });
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
    addPromiseMethod<void, Str, Str>(b, "writeUserDefaults", [rt](const Str& key, const Str& value, const Promise<void>& p) {
        storage::writeUserDefaults(rt->dataFolder, key, value);
        p.resolve();
    });
    addPromiseMethod<Str, Str>(b, "readUserDefaults", [rt](const Str& key, const Promise<Str>& p) { p.resolve(storage::readUserDefaults(rt->dataFolder, key)); });
    addPromiseMethod<void, Str, Str, Str>(b, "writeKeychainItem", [rt](const Str& service, const Str& account, const Str& value, const Promise<void>& p) {
        storage::writeKeychainItem(*rt->credentials, service, account, value);
        p.resolve();
    });
    addPromiseMethod<Str, Str, Str>(b, "readKeychainItem", [rt](const Str& service, const Str& account, const Promise<Str>& p) {
        p.resolve(storage::readKeychainItem(*rt->credentials, service, account));
    });
    addPromiseMethod<void, Str, Str>(b, "deleteKeychainItem", [rt](const Str& service, const Str& account, const Promise<void>& p) {
        storage::deleteKeychainItem(*rt->credentials, service, account);
        p.resolve();
    });
}

}  // namespace varnel
