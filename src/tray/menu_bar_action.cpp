#include "tray/menu_bar_action.h"

namespace varnel::tray {

JSValueObject menuBarActionPayload(std::string_view action, std::string_view serverId) {
    JSValueObject payload;
    payload["action"] = JSValue(action);
    if (!serverId.empty()) payload["serverId"] = JSValue(serverId);
    return payload;
}

void sendMenuBarAction(const TrayEvents& events, std::string_view action, std::string_view serverId) {
    events.EmitMenuBarAction(menuBarActionPayload(action, serverId));
}

}  // namespace varnel::tray
