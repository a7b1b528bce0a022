#pragma once
// The helper questions the interface asks before it connects. OpenVPN plays the helper's part.

#include <string>

#include "bridge/js_value.h"
#include "bridge/promise.h"

namespace varnel {

struct Runtime;

inline constexpr const char* kPromptUnavailableMessage = "Interactive auth prompt not available on Windows";

// "pong" when OpenVPN is found; throws Rejection otherwise.
std::string pingHelper(const Runtime& runtime);
// {"installed", "reachable", "pong", "hint"}: whether OpenVPN is found (it installs nothing).
bridge::JSValueObject installHelper(const Runtime& runtime);
// {"machService", "plist", "profilesDir", "installed", "reachable"}; reachable means a management
// connection to a running OpenVPN exists.
bridge::JSValueObject getHelperInfo(Runtime& runtime);

// There is no interactive prompt: the interface asks for credentials itself.
inline void promptVpnAuth(const bridge::Promise<bridge::JSValueObject>& promise) { promise.reject(kPromptUnavailableMessage); }

// Notices are shown without asking for permission.
inline void requestNotificationPermission(const bridge::Promise<bool>& promise) { promise.resolve(true); }

}  // namespace varnel
