#include "tray/menu_bar_action.h"

namespace varnel::tray {

bridge::JSValueObject menuBarActionPayload(std::string_view action, std::string_view serverId) {
    bridge::JSValueObject payload;
    payload["action"] = bridge::JSValue(action);
    if (!serverId.empty()) payload["serverId"] = bridge::JSValue(serverId);
    return payload;
}

void sendMenuBarAction(const TrayEvents& events, std::string_view action, std::string_view serverId) {
    events.EmitMenuBarAction(menuBarActionPayload(action, serverId));
}

}  // namespace varnel::tray
