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
using Object = JSValueObject;
using Array = JSValueArray;

}  // namespace

void addVarnelTunnelMethods(ModuleBuilder& b, const std::shared_ptr<Runtime>& rt) {
    addPromiseMethod<Str>(b, "pingHelper", [rt](const Promise<Str>& p) { p.resolve(pingHelper(*rt)); });
    addPromiseMethod<Object>(b, "installHelper", [rt](const Promise<Object>& p) { p.resolve(installHelper(*rt)); });
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
    addPromiseMethod<Object, Str, Str, Str, Str>(b, "connectOvpn", [rt](const Str& id, const Str& config, const Str& user, const Str& password, const Promise<Object>& p) {
        rt->tunnel->connect(id, config, user, password, p);
    });
    addPromiseMethod<Object>(b, "disconnect", [rt](const Promise<Object>& p) { rt->tunnel->disconnect(p); });
    addPromiseMethod<Object>(b, "getStatus", [rt](const Promise<Object>& p) { p.resolve(rt->tunnel->status()); });
    addPromiseMethod<Object>(b, "getHelperInfo", [rt](const Promise<Object>& p) { p.resolve(getHelperInfo(*rt)); });
    addPromiseMethod<std::int32_t, Str, std::int32_t>(b, "measureTcpLatency", [rt](const Str& host, std::int32_t, const Promise<std::int32_t>& p) {
        util::measureTcpLatency(*rt->services.threads, host, p);
    });
    addPromiseMethod<Object>(b, "getTrafficStats", [rt](const Promise<Object>& p) { p.resolve(rt->tunnel->trafficStats()); });
    addPromiseMethod<Str>(b, "getDeviceMarketingName", [rt](const Promise<Str>& p) { p.resolve(util::deviceMarketingName(*rt->services.deviceInfo)); });
    addPromiseMethod<Object, Str, Str>(b, "promptVpnAuth", [](const Str&, const Str&, const Promise<Object>& p) { promptVpnAuth(p); });
    addPromiseMethod<Object, bool>(b, "setKillSwitchEnabled", [rt](bool enabled, const Promise<Object>& p) {
        p.resolve(rt->killSwitch->setEnabled(enabled, [&rt] { return rt->tunnel->statusWord() == kStatusConnected; }));
    });
    addPromiseMethod<Object, bool>(b, "setBlockIpv6Enabled", [rt](bool enabled, const Promise<Object>& p) {
        p.resolve(rt->killSwitch->setBlockIpv6(enabled));
    });
    addPromiseMethod<Object>(b, "pickApp", [rt](const Promise<Object>& p) { util::pickApp(*rt->services.threads, rt->services.fileDialog, p); });
    addPromiseMethod<Object>(b, "pickOvpnFile", [rt](const Promise<Object>& p) { util::pickOvpnFile(*rt->services.threads, rt->services.fileDialog, p); });
    addPromiseMethod<Object, StrList>(b, "terminateApps", [](const StrList& names, const Promise<Object>& p) { p.resolve(util::terminateApps(names)); });
    addPromiseMethod<bool, bool>(b, "setMenuBarVisible", [rt](bool visible, const Promise<bool>& p) { p.resolve(rt->tray.setMenuBarVisible(visible)); });
    addPromiseMethod<bool, Str>(b, "updateMenuBarMenu", [rt](const Str& menu, const Promise<bool>& p) { p.resolve(rt->tray.updateMenuBarMenu(menu)); });
    addPromiseMethod<bool>(b, "activateApp", [rt](const Promise<bool>& p) {
        rt->tray.showMainWindow();
        p.resolve(true);
    });
    addPromiseMethod<bool>(b, "notifyVpnConnectedOnHide", [rt](const Promise<bool>& p) {
        rt->tray.showBackgroundNotice();
        p.resolve(true);
    });
    addPromiseMethod<bool>(b, "requestNotificationPermission", [](const Promise<bool>& p) { requestNotificationPermission(p); });
    addPromiseMethod<void, Str, Str>(b, "writeUserDefaults", [rt](const Str& key, const Str& value, const Promise<void>& p) {
        storage::writeUserDefaults(rt->dataFolder, key, value);
        p.resolve();
    });
    addPromiseMethod<Str, Str>(b, "readUserDefaults", [rt](const Str& key, const Promise<Str>& p) { p.resolve(storage::readUserDefaults(rt->dataFolder, key)); });
    addPromiseMethod<void, Str, Str, Str>(b, "writeKeychainItem", [rt](const Str& service, const Str& account, const Str& value, const Promise<void>& p) {
        storage::writeKeychainItem(*rt->services.credentials, service, account, value);
        p.resolve();
    });
    addPromiseMethod<Str, Str, Str>(b, "readKeychainItem", [rt](const Str& service, const Str& account, const Promise<Str>& p) {
        p.resolve(storage::readKeychainItem(*rt->services.credentials, service, account));
    });
    addPromiseMethod<void, Str, Str>(b, "deleteKeychainItem", [rt](const Str& service, const Str& account, const Promise<void>& p) {
        storage::deleteKeychainItem(*rt->services.credentials, service, account);
        p.resolve();
    });
}

}  // namespace varnel
