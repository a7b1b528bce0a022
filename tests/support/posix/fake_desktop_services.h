#pragma once
// A Linux desktop's watcher, notification server and panel as doubles on a private session bus. Each has
// a connection and main context of its own: calls wait until the test asks the double for them.

#include <gio/gio.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace varnel::test {

// Why the doubles cannot run here (no bus, or a real watcher or notification server on it), or "" when they can.
std::string desktopBusMissingReason();

// Serves path with the interface of xml, answering each call with reply and keeping its arguments in
// GVariant text, a dictionary as "{...}".
class BusDouble {
public:
    BusDouble(const char* name, const char* path, const char* xml, const char* reply);
    ~BusDouble();
    BusDouble(const BusDouble&) = delete;

    bool takeName();
    void dropName();
    std::vector<std::string> calls();
    void emit(const char* interface, const char* signal, GVariant* parameters);

protected:
    const std::string name_;
    const char* const path_;
    GVariant* const reply_;
    GMainContext* const context_;
    GDBusConnection* const bus_;
    guint object_ = 0;
    std::vector<std::string> calls_;
};

struct FakeStatusNotifierWatcher : BusDouble {
    FakeStatusNotifierWatcher();
    std::vector<std::string> registrations();  // the items' bus names, in order
};

// Answers every notice with the id 7.
struct FakeNotificationServer : BusDouble {
    FakeNotificationServer();
};

// A menu item as a panel reads it: properties (strings bare, others in GVariant text), children.
struct PanelMenuItem {
    std::int32_t id = 0;
    std::map<std::string, std::string> properties;
    std::vector<PanelMenuItem> children;
};

class Panel : BusDouble {
public:
    explicit Panel(const std::string& service) : BusDouble(service.c_str(), nullptr, nullptr, "()") {}
    const std::string& service() const { return name_; }

    std::string property(const char* name);  // a property of the item as text; "" when unreadable
    PanelMenuItem layout();
    bool call(const char* method, GVariant* parameters, bool ofMenu = false);
};

}  // namespace varnel::test
