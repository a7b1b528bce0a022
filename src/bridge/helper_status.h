#pragma once
// The helper questions the interface asks before it connects. OpenVPN plays the helper's part.

#include "bridge/js_value.h"
#include "bridge/promise.h"

namespace varnel {

inline constexpr const char* kPromptUnavailableMessage = "Interactive auth prompt not available on Windows";

// There is no interactive prompt: the interface asks for credentials itself.
inline void promptVpnAuth(const Promise<JSValueObject>& promise) { promise.reject(kPromptUnavailableMessage); }

// Notices are shown without asking for permission.
inline void requestNotificationPermission(const Promise<bool>& promise) { promise.resolve(true); }

}  // namespace varnel
