#include "module/helper_status.h"

#include "module/runtime.h"
#include "bridge/rejection.h"
#include "storage/fs_error.h"
#include "tunnel/connection.h"

namespace varnel {

namespace {
std::string openVpnPath(const Runtime& runtime) { return platform::pathTextToUtf8(runtime.tunnel->openVpnProgram()); }
}  // namespace

std::string pingHelper(const Runtime& runtime) {
    if (openVpnPath(runtime).empty()) throw bridge::Rejection(std::string("OpenVPN not found. Install OpenVPN Community from ") + tunnel::kOpenVpnWebSite);
    return "pong";
}

bridge::JSValueObject installHelper(const Runtime& runtime) {
    const std::string path = openVpnPath(runtime);
    const bool found = !path.empty();
    return bridge::JSValueObject{{"installed", bridge::JSValue(found)},
                         {"reachable", bridge::JSValue(found)},
                         {"pong", bridge::JSValue(found ? "pong" : "")},
                         {"hint", bridge::JSValue(found ? path : std::string("OpenVPN not found. Install from ") + tunnel::kOpenVpnDownloadPage)}};
}

bridge::JSValueObject getHelperInfo(Runtime& runtime) {
    const std::string path = openVpnPath(runtime);
    std::string profilesDir;
    try {
        profilesDir = platform::pathTextToUtf8(runtime.dataFolder.profilesDir());
    } catch (const storage::FsError&) {
        // This method never fails: it reports where the folder belongs even when it cannot be made.
        profilesDir = platform::pathTextToUtf8(storage::DataFolder::child(runtime.dataFolder.root(), "profiles"));
    }
    const bool reachable = runtime.tunnel->managementConnected();
    return bridge::JSValueObject{{"machService", bridge::JSValue("openvpn.exe")},
                         {"plist", bridge::JSValue(path)},
                         {"profilesDir", bridge::JSValue(profilesDir)},
                         {"installed", bridge::JSValue(!path.empty())},
                         {"reachable", bridge::JSValue(reachable)}};
}

}  // namespace varnel
