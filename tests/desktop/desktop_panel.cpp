// A desktop panel for the end-to-end test, on the session bus of dbus-run-session: it holds
// org.kde.StatusNotifierWatcher so that the application's icon registers, and clicks the icon's
// menu items as a user would. One command a line on standard input, one answer a line out; the
// end of the input ends it.
//   varnel_desktop_panel
//   (started)            -> "watching" once the name is held, or "refused: REASON" and exit 77
//   items                -> "items SERVICE ..." (every item registered so far)
//   click SERVICE LABEL  -> "clicked ID", "missing LABEL among LABEL | LABEL ..." or "refused"

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/posix/session_bus.h"
#include "support/posix/fake_desktop_services.h"

namespace {

using varnel::test::PanelMenuItem;

// Labels as the menu serves them: an underscore is doubled there, as a mnemonic mark is read.
std::string shownLabel(const PanelMenuItem& item) {
    const auto found = item.properties.find("label");
    if (found == item.properties.end()) return {};
    std::string label;
    const std::string& served = found->second;
    for (std::size_t i = 0; i < served.size(); ++i) {
        label += served[i];
        if (served[i] == '_' && i + 1 < served.size() && served[i + 1] == '_') ++i;
    }
    return label;
}

const PanelMenuItem* findByLabel(const PanelMenuItem& item, const std::string& label, std::vector<std::string>& seen) {
    for (const PanelMenuItem& child : item.children) {
        const std::string shown = shownLabel(child);
        if (!shown.empty()) seen.push_back(shown);
        if (shown == label) return &child;
        if (const PanelMenuItem* inside = findByLabel(child, label, seen)) return inside;
    }
    return nullptr;
}

// The click as a panel sends it; the item's error, if it answers with one, is the answer.
std::string clickItem(const std::string& service, std::int32_t id) {
    GDBusConnection* bus = varnel::platform::connectSessionBus();
    if (bus == nullptr) return "refused: no session bus";
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus, service.c_str(), "/MenuBar", "com.canonical.dbusmenu", "Event",
                                                  g_variant_new("(isvu)", id, "clicked", g_variant_new_int32(0), 0u),
                                                  nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, 5000, nullptr, &error);
    std::string answer = "clicked " + std::to_string(id);
    if (reply != nullptr) g_variant_unref(reply);
    else answer = std::string("refused: ") + (error != nullptr ? error->message : "no answer");
    if (error != nullptr) g_error_free(error);
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
    return answer;
}

std::string click(const std::string& service, const std::string& label) {
    const PanelMenuItem menu = varnel::test::Panel(service).layout();
    std::vector<std::string> seen;
    const PanelMenuItem* item = findByLabel(menu, label, seen);
    if (item == nullptr) {
        std::string answer = "missing " + label + " among";
        for (std::size_t i = 0; i < seen.size(); ++i) answer += (i == 0 ? " " : " | ") + seen[i];
        return answer;
    }
    return clickItem(service, item->id);
}

}  // namespace

int main() {
    if (const std::string reason = varnel::test::desktopBusMissingReason(); !reason.empty()) {
        std::cout << "refused: " << reason << std::endl;
        return 77;
    }
    varnel::test::FakeStatusNotifierWatcher watcher;
    if (!watcher.takeName()) {
        std::cout << "refused: org.kde.StatusNotifierWatcher could not be taken" << std::endl;
        return 77;
    }
    std::cout << "watching" << std::endl;
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream words(line);
        std::string command;
        words >> command;
        if (command == "items") {
            std::string answer = "items";
            for (const auto& registration : watcher.registrations()) answer += " " + registration;
            std::cout << answer << std::endl;
        } else if (command == "click") {
            std::string service, label;
            words >> service;
            std::getline(words >> std::ws, label);
            std::cout << click(service, label) << std::endl;
        } else {
            std::cout << "unknown command" << std::endl;
        }
    }
    return 0;
}
