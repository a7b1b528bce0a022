#pragma once
// The icon as the desktop's panel sees it (org.kde.StatusNotifierItem): what it shows, and the
// clicks it reports.

#include <gio/gio.h>

#include <functional>
#include <string>

namespace varnel::platform {

inline constexpr char kItemPath[] = "/StatusNotifierItem";
inline constexpr char kItemInterface[] = "org.kde.StatusNotifierItem";
inline constexpr char kMenuPath[] = "/MenuBar";
inline constexpr char kMenuInterface[] = "com.canonical.dbusmenu";

// Tray thread only, like the connection that serves it.
class StatusNotifierItem {
public:
    // What the panel's clicks ask for.
    struct Clicks {
        std::function<void()> activate;     // a primary click on the icon
        std::function<void()> contextMenu;  // a panel that shows no menu of its own asks for one
    };

    static GDBusInterfaceInfo* interfaceInfo();
    void handleCall(const char* method, GDBusMethodInvocation* invocation, const Clicks& clicks) const;
    // Null for an unknown name.
    GVariant* property(const char* name) const;

    // Each returns true when the value changed, so that the caller tells the panel.
    bool setToolTip(std::string title);
    bool setStatus(std::string status);

private:
    std::string toolTip_;
    std::string status_ = "Active";
};

}  // namespace varnel::platform
