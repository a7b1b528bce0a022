#pragma once
// What a Linux desktop offers the tray on the session bus, as doubles that record what they are
// told: a StatusNotifierWatcher, a notification server, and a panel that reads the icon and its
// menu. For a private bus only (dbus-run-session): each takes well-known names of the desktop.

#include <gio/gio.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace varnel::test {

// Why the desktop doubles cannot run here, or "" when they can: there must be a session bus on
// which no real watcher or notification server runs already (a user's session is never used).
std::string desktopBusMissingReason();

// A GLib main context run by a thread of its own with a private connection to the session bus, so
// that a double answers while the test thread waits or calls.
class BusThread {
public:
    BusThread();
    ~BusThread();
    BusThread(const BusThread&) = delete;
    BusThread& operator=(const BusThread&) = delete;

    GDBusConnection* bus() const { return bus_; }
    std::string uniqueName() const;
    // Runs work on the thread and returns when it is done.
    void run(const std::function<void()>& work);

private:
    struct State;
    std::shared_ptr<State> state_;
    GDBusConnection* bus_ = nullptr;
};

class FakeStatusNotifierWatcher {
public:
    struct Registration {
        std::string sender;
        std::string service;
    };

    FakeStatusNotifierWatcher();
    ~FakeStatusNotifierWatcher();

    // Takes or gives up org.kde.StatusNotifierWatcher, as a panel does when it starts or ends.
    bool takeName();
    void dropName();
    std::vector<Registration> registrations() const;
    std::string uniqueName() const { return thread_.uniqueName(); }

private:
    static void onCall(GDBusConnection*, const char* sender, const char*, const char*, const char* method,
                       GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self);
    static GVariant* onProperty(GDBusConnection*, const char*, const char*, const char*, const char* name, GError**,
                                gpointer self);

    BusThread thread_;
    guint object_ = 0;
    mutable std::mutex mutex_;
    std::vector<Registration> registrations_;
};

class FakeNotificationServer {
public:
    struct Notice {
        std::uint32_t id = 0;
        std::string appName;
        std::uint32_t replacesId = 0;
        std::string appIcon;
        std::string summary;
        std::string body;
        std::vector<std::string> actions;
        std::vector<std::string> hints;  // names only
        std::int32_t expireTimeout = 0;
    };

    FakeNotificationServer();
    ~FakeNotificationServer();

    bool takeName();
    std::vector<Notice> notices() const;
    // What the server sends when the user clicks a notice (key "default") or one of its buttons.
    void invokeAction(std::uint32_t id, const std::string& key);

private:
    static void onCall(GDBusConnection*, const char*, const char*, const char*, const char* method,
                       GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self);

    BusThread thread_;
    guint object_ = 0;
    mutable std::mutex mutex_;
    std::vector<Notice> notices_;
    std::uint32_t nextId_ = 1;
};

// One item of a menu as a panel reads it: the properties it was sent, as text, and the children.
struct PanelMenuItem {
    std::int32_t id = 0;
    std::map<std::string, std::string> properties;  // strings as they are; others in GVariant text
    std::vector<PanelMenuItem> children;
};

// What a panel does with an item: reads it, its menu, and tells it of clicks. Calls block.
class Panel {
public:
    explicit Panel(std::string service) : service_(std::move(service)) {}

    // The item's property in GVariant text form (strings quoted); "" when it cannot be read.
    std::string itemProperty(const char* name);
    // The property itself, or null.
    GVariant* itemPropertyValue(const char* name);
    std::string menuProperty(const char* name);
    // The whole menu from its root; revision receives the layout's revision.
    PanelMenuItem layout(std::uint32_t* revision = nullptr);
    // True when the call was answered without an error.
    bool menuEvent(std::int32_t id, const char* event);
    bool itemCall(const char* method, GVariant* parameters);
    // Every signal the item and its menu sent since this panel came, by name.
    std::vector<std::string> signalsSeen() const;
    // Watches the item's signals from now on.
    void listen();

private:
    GVariant* call(const char* path, const char* interface, const char* method, GVariant* parameters,
                   const GVariantType* reply);

    std::string service_;
    mutable std::mutex mutex_;
    std::vector<std::string> signals_;
    BusThread thread_;  // last: it ends first, before what its callbacks touch
};

}  // namespace varnel::test
