#pragma once
// The "menuBarAction" event: what the user chose in the tray menu, for the interface to act on.

#include <string_view>

#include "bridge/js_value.h"
#include "tray/tray_events.h"

namespace varnel::tray {

// {"action": action} with "serverId" added only when it is not empty.
bridge::JSValueObject menuBarActionPayload(std::string_view action, std::string_view serverId);

// Dropped by the forwarders while the module is not initialised.
void sendMenuBarAction(const TrayEvents& events, std::string_view action, std::string_view serverId);

}  // namespace varnel::tray
