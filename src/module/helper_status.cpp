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
    if (openVpnPath(runtime).empty()) throw Rejection(std::string("OpenVPN not found. Install OpenVPN Community from ") + kOpenVpnWebSite);
    return "pong";
}

JSValueObject installHelper(const Runtime& runtime) {
    const std::string path = openVpnPath(runtime);
    const bool found = !path.empty();
    return JSValueObject{{"installed", JSValue(found)},
                         {"reachable", JSValue(found)},
                         {"pong", JSValue(found ? "pong" : "")},
                         {"hint", JSValue(found ? path : std::string("OpenVPN not found. Install from ") + kOpenVpnDownloadPage)}};
}

JSValueObject getHelperInfo(Runtime& runtime) {
    const std::string path = openVpnPath(runtime);
    std::string profilesDir;
    try {
        profilesDir = platform::pathTextToUtf8(runtime.dataFolder.profilesDir());
    } catch (const storage::FsError&) {
        // This method never fails: it reports where the folder belongs even when it cannot be made.
        profilesDir = platform::pathTextToUtf8(storage::DataFolder::child(runtime.dataFolder.root(), "profiles"));
    }
    const bool reachable = runtime.tunnel->managementConnected();
    return JSValueObject{{"machService", JSValue("openvpn.exe")},
                         {"plist", JSValue(path)},
                         {"profilesDir", JSValue(profilesDir)},
                         {"installed", JSValue(!path.empty())},
                         {"reachable", JSValue(reachable)}};
}

}  // namespace varnel
