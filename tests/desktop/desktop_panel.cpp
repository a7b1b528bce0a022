// A panel for the desktop tests, on dbus-run-session's bus: it holds the watcher's name so that the
// application's icon registers, and clicks items of the last icon's menu as a user would. Started, it
// says "watching" (or "refused: REASON" and exits 77); then "click LABEL" a line answers "clicked",
// "refused", "no icon" or "missing LABEL".

#include <iostream>

#include "support/posix/fake_desktop_services.h"

namespace {

using namespace varnel::test;

const PanelMenuItem* findByLabel(const PanelMenuItem& item, const std::string& label) {
    for (const PanelMenuItem& child : item.children) {
        if (const auto shown = child.properties.find("label"); shown != child.properties.end() && shown->second == label) return &child;
        if (const PanelMenuItem* inside = findByLabel(child, label)) return inside;
    }
    return nullptr;
}

std::string click(FakeStatusNotifierWatcher& watcher, const std::string& label) {
    const auto items = watcher.registrations();
    if (items.empty()) return "no icon";
    Panel panel(items.back());
    const PanelMenuItem menu = panel.layout();
    const PanelMenuItem* item = findByLabel(menu, label);
    if (item == nullptr) return "missing " + label;
    return panel.call("Event", g_variant_new("(isvu)", item->id, "clicked", g_variant_new_int32(0), 0u), true) ? "clicked" : "refused";
}

}  // namespace

int main() {
    std::string reason = desktopBusMissingReason();
    FakeStatusNotifierWatcher watcher;
    if (reason.empty() && !watcher.takeName()) reason = "org.kde.StatusNotifierWatcher could not be taken";
    std::cout << (reason.empty() ? "watching" : "refused: " + reason) << std::endl;
    if (!reason.empty()) return 77;
    for (std::string line; std::getline(std::cin, line);)
        std::cout << (line.starts_with("click ") ? click(watcher, line.substr(6)) : "unknown command") << std::endl;
    return 0;
}
