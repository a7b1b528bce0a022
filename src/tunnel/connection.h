#pragma once
// The connection's lifecycle: connecting a saved profile through OpenVPN, disconnecting, and
// reporting the status the interface polls.

#include <memory>
#include <string>

#include "bridge/js_value.h"
#include "bridge/promise.h"

namespace varnel {

struct Runtime;

inline constexpr const char* kOpenVpnDownloadPage = "https://openvpn.net/community-downloads/";
inline constexpr const char* kOpenVpnWebSite = "https://openvpn.net";

// Starts the connect worker; the promise resolves with {"state": "connecting"} once OpenVPN's
// management interface answers, or rejects with the reason.
void connectOvpn(const std::shared_ptr<Runtime>& runtime, std::string profileId, std::string configFileName,
                 std::string username, std::string password, const Promise<JSValueObject>& promise);
// Starts the disconnect worker; always resolves with {"state": "disconnected"}.
void disconnectOvpn(const std::shared_ptr<Runtime>& runtime, const Promise<JSValueObject>& promise);
// The status object; the first call of the process recovers a tunnel left running.
JSValueObject getStatus(Runtime& runtime);

// Ends an OpenVPN this process or an earlier one left on the management port, and the reader.
void StopStaleOpenVpn(Runtime& runtime);

}  // namespace varnel
