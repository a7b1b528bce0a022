#pragma once
// The icon's menu as the desktop's panel reads it (com.canonical.dbusmenu): the panel fetches the
// layout whenever it shows the menu and reports the item the user clicked.

#include <gio/gio.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/tray_shell.h"

namespace varnel::platform {

// Tray thread only, like the connection that serves it.
class DbusMenu {
public:
    // Receives the menu id of an item that was clicked and can be chosen.
    using Choose = std::function<void(std::uint32_t id)>;

    DbusMenu();

    // Takes the menu; true when it differs from the one served so far (the revision then moves on).
    bool update(const std::vector<TrayMenuEntry>& entries);
    std::uint32_t revision() const { return revision_; }

    static GDBusInterfaceInfo* interfaceInfo();
    // Answers one method call of the interface.
    void handleCall(const char* method, GVariant* parameters, GDBusMethodInvocation* invocation,
                    const Choose& choose) const;
    // The interface's own properties; null for an unknown name.
    GVariant* property(const char* name) const;

    struct Item {
        std::string label;
        bool enabled = true;
        bool separator = false;
        bool checked = false;
        bool submenu = false;
        std::uint32_t id = 0;    // the menu id a choice reports; 0 for none
        std::vector<int> children;  // item numbers
    };

private:

    int addItem(const TrayMenuEntry& entry);
    bool known(int item) const { return item >= 0 && static_cast<std::size_t>(item) < items_.size(); }
    // A floating (ia{sv}av) of item and its children down to depth levels (-1 for all).
    GVariant* layout(int item, int depth, const char* const* names) const;
    // A floating a{sv} of item's properties that differ from their defaults, limited to names.
    GVariant* properties(int item, const char* const* names) const;
    // What a "clicked" event on item chooses, 0 when it chooses nothing.
    std::uint32_t choice(int item) const;

    std::vector<TrayMenuEntry> entries_;
    std::vector<Item> items_;  // the item number is the index; 0 is the root
    std::uint32_t revision_ = 1;
};

}  // namespace varnel::platform
