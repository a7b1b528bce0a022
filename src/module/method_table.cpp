// The 31 methods of VarnelTunnel in the order the host records them. Each line declares the promise
// type and the argument types and hands the work to the subsystem that does it.

#include <cstdint>
#include <string>
#include <vector>

#include "module/runtime.h"
#include "module/helper_status.h"
#include "bridge/method_binding.h"
#include "module/varnel_tunnel_module.h"
#include "storage/credentials_file.h"
#include "storage/keychain.h"
#include "storage/profile_store.h"
#include "storage/user_defaults.h"
#include "util/app_termination.h"
#include "util/device_name.h"
#include "util/file_pickers.h"
#include "util/latency.h"

namespace varnel {

namespace {

using Str = std::string;
using StrList = std::vector<std::string>;
using Object = bridge::JSValueObject;
using Array = bridge::JSValueArray;

}  // namespace

void addVarnelTunnelMethods(bridge::ModuleBuilder& b, const std::shared_ptr<Runtime>& rt) {
    bridge::addPromiseMethod<Str>(b, "pingHelper", [rt](const bridge::Promise<Str>& p) { p.resolve(pingHelper(*rt)); });
    bridge::addPromiseMethod<Object>(b, "installHelper", [rt](const bridge::Promise<Object>& p) { p.resolve(installHelper(*rt)); });
    bridge::addPromiseMethod<Object, Str, Str, Str, Str>(b, "saveOvpnProfile", [rt](const Str& id, const Str& content, const Str& fileName, const Str&, const bridge::Promise<Object>& p) {
        p.resolve(storage::saveOvpnProfile(rt->dataFolder, id, content, fileName));
    });
    bridge::addPromiseMethod<void, Str, Str>(b, "saveOvpnProfileMeta", [rt](const Str& id, const Str& metaJson, const bridge::Promise<void>& p) {
        storage::saveOvpnProfileMeta(rt->dataFolder, id, metaJson);
        p.resolve();
    });
    bridge::addPromiseMethod<Array>(b, "listSavedOvpnProfiles", [rt](const bridge::Promise<Array>& p) { p.resolve(storage::listSavedOvpnProfiles(rt->dataFolder)); });
    bridge::addPromiseMethod<void, Str>(b, "deleteOvpnProfile", [rt](const Str& id, const bridge::Promise<void>& p) {
        storage::deleteOvpnProfile(rt->dataFolder, id);
        p.resolve();
    });
    bridge::addPromiseMethod<void, Str, Str, Str>(b, "saveOvpnAuth", [rt](const Str& id, const Str& user, const Str& password, const bridge::Promise<void>& p) {
        storage::saveOvpnAuth(rt->dataFolder, id, user, password);
        p.resolve();
    });
    bridge::addPromiseMethod<Object, Str>(b, "readOvpnAuth", [rt](const Str& id, const bridge::Promise<Object>& p) { p.resolve(storage::readOvpnAuth(rt->dataFolder, id)); });
    bridge::addPromiseMethod<Object, Str, Str, Str, Str>(b, "connectOvpn", [rt](const Str& id, const Str& config, const Str& user, const Str& password, const bridge::Promise<Object>& p) {
        rt->tunnel->connect(id, config, user, password, p);
    });
    bridge::addPromiseMethod<Object>(b, "disconnect", [rt](const bridge::Promise<Object>& p) { rt->tunnel->disconnect(p); });
    bridge::addPromiseMethod<Object>(b, "getStatus", [rt](const bridge::Promise<Object>& p) { p.resolve(rt->tunnel->status()); });
    bridge::addPromiseMethod<Object>(b, "getHelperInfo", [rt](const bridge::Promise<Object>& p) { p.resolve(getHelperInfo(*rt)); });
    bridge::addPromiseMethod<std::int32_t, Str, std::int32_t>(b, "measureTcpLatency", [rt](const Str& host, std::int32_t, const bridge::Promise<std::int32_t>& p) {
        util::measureTcpLatency(*rt->services.threads, host, p);
    });
    bridge::addPromiseMethod<Object>(b, "getTrafficStats", [rt](const bridge::Promise<Object>& p) { p.resolve(rt->tunnel->trafficStats()); });
    bridge::addPromiseMethod<Str>(b, "getDeviceMarketingName", [rt](const bridge::Promise<Str>& p) { p.resolve(util::deviceMarketingName(*rt->services.deviceInfo)); });
    bridge::addPromiseMethod<Object, Str, Str>(b, "promptVpnAuth", [](const Str&, const Str&, const bridge::Promise<Object>& p) { promptVpnAuth(p); });
    bridge::addPromiseMethod<Object, bool>(b, "setKillSwitchEnabled", [rt](bool enabled, const bridge::Promise<Object>& p) {
        p.resolve(rt->killSwitch->setEnabled(enabled, [&rt] { return rt->tunnel->statusWord() == tunnel::kStatusConnected; }));
    });
    bridge::addPromiseMethod<Object, bool>(b, "setBlockIpv6Enabled", [rt](bool enabled, const bridge::Promise<Object>& p) {
        p.resolve(rt->killSwitch->setBlockIpv6(enabled));
    });
    bridge::addPromiseMethod<Object>(b, "pickApp", [rt](const bridge::Promise<Object>& p) { util::pickApp(*rt->services.threads, rt->services.fileDialog, p); });
    bridge::addPromiseMethod<Object>(b, "pickOvpnFile", [rt](const bridge::Promise<Object>& p) { util::pickOvpnFile(*rt->services.threads, rt->services.fileDialog, p); });
    bridge::addPromiseMethod<Object, StrList>(b, "terminateApps", [](const StrList& names, const bridge::Promise<Object>& p) { p.resolve(util::terminateApps(names)); });
    bridge::addPromiseMethod<bool, bool>(b, "setMenuBarVisible", [rt](bool visible, const bridge::Promise<bool>& p) { p.resolve(rt->tray.setMenuBarVisible(visible)); });
    bridge::addPromiseMethod<bool, Str>(b, "updateMenuBarMenu", [rt](const Str& menu, const bridge::Promise<bool>& p) { p.resolve(rt->tray.updateMenuBarMenu(menu)); });
    bridge::addPromiseMethod<bool>(b, "activateApp", [rt](const bridge::Promise<bool>& p) {
        rt->tray.showMainWindow();
        p.resolve(true);
    });
    bridge::addPromiseMethod<bool>(b, "notifyVpnConnectedOnHide", [rt](const bridge::Promise<bool>& p) {
        rt->tray.showBackgroundNotice();
        p.resolve(true);
    });
    bridge::addPromiseMethod<bool>(b, "requestNotificationPermission", [](const bridge::Promise<bool>& p) { requestNotificationPermission(p); });
    bridge::addPromiseMethod<void, Str, Str>(b, "writeUserDefaults", [rt](const Str& key, const Str& value, const bridge::Promise<void>& p) {
        storage::writeUserDefaults(rt->dataFolder, key, value);
        p.resolve();
    });
    bridge::addPromiseMethod<Str, Str>(b, "readUserDefaults", [rt](const Str& key, const bridge::Promise<Str>& p) { p.resolve(storage::readUserDefaults(rt->dataFolder, key)); });
    bridge::addPromiseMethod<void, Str, Str, Str>(b, "writeKeychainItem", [rt](const Str& service, const Str& account, const Str& value, const bridge::Promise<void>& p) {
        storage::writeKeychainItem(*rt->services.credentials, service, account, value);
        p.resolve();
    });
    bridge::addPromiseMethod<Str, Str, Str>(b, "readKeychainItem", [rt](const Str& service, const Str& account, const bridge::Promise<Str>& p) {
        p.resolve(storage::readKeychainItem(*rt->services.credentials, service, account));
    });
    bridge::addPromiseMethod<void, Str, Str>(b, "deleteKeychainItem", [rt](const Str& service, const Str& account, const bridge::Promise<void>& p) {
        storage::deleteKeychainItem(*rt->services.credentials, service, account);
        p.resolve();
    });
}

}  // namespace varnel
