#pragma once
// VarnelTunnel's methods in the order the interface expects them registered.

#include <string>
#include <vector>

namespace varnel::test {

inline const std::vector<std::string> kVarnelTunnelMethods = {
    "pingHelper", "installHelper", "saveOvpnProfile", "saveOvpnProfileMeta", "listSavedOvpnProfiles",
    "deleteOvpnProfile", "saveOvpnAuth", "readOvpnAuth", "connectOvpn", "disconnect", "getStatus",
    "getHelperInfo", "measureTcpLatency", "getTrafficStats", "getDeviceMarketingName", "promptVpnAuth",
    "setKillSwitchEnabled", "setBlockIpv6Enabled", "pickApp", "pickOvpnFile", "terminateApps",
    "setMenuBarVisible", "updateMenuBarMenu", "activateApp", "notifyVpnConnectedOnHide",
    "requestNotificationPermission", "writeUserDefaults", "readUserDefaults", "writeKeychainItem",
    "readKeychainItem", "deleteKeychainItem"};

}  // namespace varnel::test
