// A desktop panel for the desktop tests, on the session bus of dbus-run-session: it holds
// org.kde.StatusNotifierWatcher so that the application's icon registers, and clicks the menu items
// of the icon registered last as a user would. One command a line on standard input, one answer a
// line out; the end of the input ends it.
//   (started)    -> "watching" once the name is held, or "refused: REASON" and exit 77
//   click LABEL  -> "clicked", "refused", "no icon" or "missing LABEL among LABEL | LABEL ..."

#include <iostream>
#include <string>

#include "support/posix/fake_desktop_services.h"

namespace {

using varnel::test::PanelMenuItem;

const PanelMenuItem* findByLabel(const PanelMenuItem& item, const std::string& label, std::string& seen) {
    for (const PanelMenuItem& child : item.children) {
        const auto shown = child.properties.find("label");
        if (shown != child.properties.end() && shown->second == label) return &child;
        if (shown != child.properties.end()) seen += (seen.empty() ? " " : " | ") + shown->second;
        if (const PanelMenuItem* inside = findByLabel(child, label, seen)) return inside;
    }
    return nullptr;
}

std::string click(varnel::test::FakeStatusNotifierWatcher& watcher, const std::string& label) {
    const auto items = watcher.registrations();
    if (items.empty()) return "no icon";
    varnel::test::Panel panel(items.back());
    const PanelMenuItem menu = panel.layout();
    std::string seen;
    const PanelMenuItem* item = findByLabel(menu, label, seen);
    if (item == nullptr) return "missing " + label + " among" + seen;
    const bool clicked = panel.call("Event", g_variant_new("(isvu)", item->id, "clicked", g_variant_new_int32(0), 0u), true);
    return clicked ? "clicked" : "refused";
}

int refuse(const std::string& reason) {
    std::cout << "refused: " << reason << std::endl;
    return 77;
}

}  // namespace

int main() {
    if (const std::string reason = varnel::test::desktopBusMissingReason(); !reason.empty()) return refuse(reason);
    varnel::test::FakeStatusNotifierWatcher watcher;
    if (!watcher.takeName()) return refuse("org.kde.StatusNotifierWatcher could not be taken");
    std::cout << "watching" << std::endl;
    for (std::string line; std::getline(std::cin, line);) {
        std::cout << (line.rfind("click ", 0) == 0 ? click(watcher, line.substr(6)) : "unknown command") << std::endl;
    }
    return 0;
}
