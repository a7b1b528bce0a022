#include "support/posix/fake_desktop_services.h"

#include <future>
#include <thread>

#include "platform/posix/session_bus.h"

namespace varnel::test {

namespace {

constexpr char kWatcherName[] = "org.kde.StatusNotifierWatcher";
constexpr char kNotificationsName[] = "org.freedesktop.Notifications";
constexpr int kCallTimeoutMs = 5000;

constexpr char kWatcherXml[] = R"xml(<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg type="s" name="service" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg type="s" name="service" direction="in"/></method>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
  </interface>
</node>)xml";

constexpr char kNotificationsXml[] = R"xml(<node>
  <interface name="org.freedesktop.Notifications">
    <method name="Notify">
      <arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/><arg type="u" direction="out"/>
    </method>
    <method name="CloseNotification"><arg type="u" direction="in"/></method>
    <method name="GetCapabilities"><arg type="as" direction="out"/></method>
    <method name="GetServerInformation">
      <arg type="s" direction="out"/><arg type="s" direction="out"/><arg type="s" direction="out"/><arg type="s" direction="out"/>
    </method>
    <signal name="ActionInvoked"><arg type="u"/><arg type="s"/></signal>
    <signal name="NotificationClosed"><arg type="u"/><arg type="u"/></signal>
  </interface>
</node>)xml";

// Read once and kept for the whole test program, as GDBus needs it while an object is registered.
GDBusInterfaceInfo* watcherInterface() {
    static GDBusNodeInfo* const node = g_dbus_node_info_new_for_xml(kWatcherXml, nullptr);
    return node->interfaces[0];
}

GDBusInterfaceInfo* notificationsInterface() {
    static GDBusNodeInfo* const node = g_dbus_node_info_new_for_xml(kNotificationsXml, nullptr);
    return node->interfaces[0];
}

std::string valueText(GVariant* value) {
    if (value == nullptr) return {};
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING) || g_variant_is_of_type(value, G_VARIANT_TYPE_OBJECT_PATH))
        return g_variant_get_string(value, nullptr);
    g_autofree char* printed = g_variant_print(value, FALSE);
    return printed;
}

PanelMenuItem readItem(GVariant* layout) {
    PanelMenuItem item;
    g_autoptr(GVariant) properties = nullptr;
    g_autoptr(GVariant) children = nullptr;
    g_variant_get(layout, "(i@a{sv}@av)", &item.id, &properties, &children);
    GVariantIter iter;
    g_variant_iter_init(&iter, properties);
    const char* name = nullptr;
    GVariant* value = nullptr;
    while (g_variant_iter_next(&iter, "{&sv}", &name, &value)) {
        item.properties[name] = valueText(value);
        g_variant_unref(value);
    }
    for (gsize i = 0; i < g_variant_n_children(children); ++i) {
        g_autoptr(GVariant) boxed = g_variant_get_child_value(children, i);
        g_autoptr(GVariant) child = g_variant_get_variant(boxed);
        item.children.push_back(readItem(child));
    }
    return item;
}

}  // namespace

std::string desktopBusMissingReason() {
    if (platform::sessionBusAddress().empty()) return "no session bus here: run the tests under dbus-run-session";
    GDBusConnection* bus = platform::connectSessionBus();
    if (bus == nullptr) return "the session bus does not take connections";
    std::string reason;
    if (!platform::nameOwner(bus, kWatcherName).empty() || !platform::nameOwner(bus, kNotificationsName).empty())
        reason = "a desktop's watcher or notification server runs on this session bus; these tests use a private "
                 "bus only (dbus-run-session)";
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
    return reason;
}

struct BusThread::State {
    GMainContext* context = g_main_context_new();
    GMainLoop* loop = g_main_loop_new(context, FALSE);
    std::thread thread;

    ~State() {
        g_main_loop_unref(loop);
        g_main_context_unref(context);
    }
};

BusThread::BusThread() : state_(std::make_shared<State>()) {
    std::promise<GDBusConnection*> connected;
    std::future<GDBusConnection*> ready = connected.get_future();
    state_->thread = std::thread([state = state_, &connected] {
        g_main_context_push_thread_default(state->context);
        connected.set_value(platform::connectSessionBus());
        g_main_loop_run(state->loop);
        while (g_main_context_iteration(state->context, FALSE)) {
        }
        g_main_context_pop_thread_default(state->context);
    });
    bus_ = ready.get();
}

BusThread::~BusThread() {
    run([this] {
        if (bus_ != nullptr) {
            g_dbus_connection_close_sync(bus_, nullptr, nullptr);
            g_clear_object(&bus_);
        }
        g_main_loop_quit(state_->loop);
    });
    state_->thread.join();
}

std::string BusThread::uniqueName() const { return bus_ != nullptr ? g_dbus_connection_get_unique_name(bus_) : ""; }

void BusThread::run(const std::function<void()>& work) {
    struct Job {
        const std::function<void()>* work;
        std::promise<void> done;
    } job{&work, {}};
    std::future<void> done = job.done.get_future();
    g_main_context_invoke(
        state_->context,
        [](gpointer data) {
            auto* job = static_cast<Job*>(data);
            (*job->work)();
            job->done.set_value();
            return G_SOURCE_REMOVE;
        },
        &job);
    done.wait();
}

FakeStatusNotifierWatcher::FakeStatusNotifierWatcher() {
    if (thread_.bus() == nullptr) return;
    static const GDBusInterfaceVTable table{onCall, onProperty, nullptr, {}};
    thread_.run([this] {
        object_ = g_dbus_connection_register_object(thread_.bus(), "/StatusNotifierWatcher", watcherInterface(),
                                                    &table, this, nullptr, nullptr);
    });
}

FakeStatusNotifierWatcher::~FakeStatusNotifierWatcher() {
    if (object_ != 0) thread_.run([this] { g_dbus_connection_unregister_object(thread_.bus(), object_); });
}

bool FakeStatusNotifierWatcher::takeName() {
    return thread_.bus() != nullptr && platform::requestName(thread_.bus(), kWatcherName);
}

void FakeStatusNotifierWatcher::dropName() {
    if (thread_.bus() != nullptr) platform::releaseName(thread_.bus(), kWatcherName);
}

std::vector<FakeStatusNotifierWatcher::Registration> FakeStatusNotifierWatcher::registrations() const {
    std::lock_guard lock(mutex_);
    return registrations_;
}

void FakeStatusNotifierWatcher::onCall(GDBusConnection* bus, const char* sender, const char*, const char*,
                                       const char* method, GVariant* parameters, GDBusMethodInvocation* invocation,
                                       gpointer self) {
    auto* watcher = static_cast<FakeStatusNotifierWatcher*>(self);
    if (std::string_view(method) == "RegisterStatusNotifierItem") {
        const char* service = nullptr;
        g_variant_get(parameters, "(&s)", &service);
        {
            std::lock_guard lock(watcher->mutex_);
            watcher->registrations_.push_back({sender, service});
        }
        g_dbus_connection_emit_signal(bus, nullptr, "/StatusNotifierWatcher", kWatcherName,
                                      "StatusNotifierItemRegistered", g_variant_new("(s)", service), nullptr);
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

GVariant* FakeStatusNotifierWatcher::onProperty(GDBusConnection*, const char*, const char*, const char*,
                                                const char* name, GError**, gpointer self) {
    const std::string_view property = name;
    if (property == "IsStatusNotifierHostRegistered") return g_variant_new_boolean(TRUE);
    if (property == "ProtocolVersion") return g_variant_new_int32(0);
    GVariantBuilder items;
    g_variant_builder_init(&items, G_VARIANT_TYPE("as"));
    for (const Registration& r : static_cast<FakeStatusNotifierWatcher*>(self)->registrations())
        g_variant_builder_add(&items, "s", r.service.c_str());
    return g_variant_builder_end(&items);
}

FakeNotificationServer::FakeNotificationServer() {
    if (thread_.bus() == nullptr) return;
    static const GDBusInterfaceVTable table{onCall, nullptr, nullptr, {}};
    thread_.run([this] {
        object_ = g_dbus_connection_register_object(thread_.bus(), "/org/freedesktop/Notifications",
                                                    notificationsInterface(), &table, this, nullptr, nullptr);
    });
}

FakeNotificationServer::~FakeNotificationServer() {
    if (object_ != 0) thread_.run([this] { g_dbus_connection_unregister_object(thread_.bus(), object_); });
}

bool FakeNotificationServer::takeName() {
    return thread_.bus() != nullptr && platform::requestName(thread_.bus(), kNotificationsName);
}

std::vector<FakeNotificationServer::Notice> FakeNotificationServer::notices() const {
    std::lock_guard lock(mutex_);
    return notices_;
}

void FakeNotificationServer::invokeAction(std::uint32_t id, const std::string& key) {
    thread_.run([&] {
        g_dbus_connection_emit_signal(thread_.bus(), nullptr, "/org/freedesktop/Notifications", kNotificationsName,
                                      "ActionInvoked", g_variant_new("(us)", id, key.c_str()), nullptr);
    });
}

void FakeNotificationServer::onCall(GDBusConnection*, const char*, const char*, const char*, const char* method,
                                    GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self) {
    auto* server = static_cast<FakeNotificationServer*>(self);
    const std::string_view name = method;
    if (name == "GetCapabilities") {
        const char* capabilities[] = {"actions", "body", "body-markup", nullptr};
        return g_dbus_method_invocation_return_value(invocation, g_variant_new("(^as)", capabilities));
    }
    if (name == "GetServerInformation")
        return g_dbus_method_invocation_return_value(invocation, g_variant_new("(ssss)", "fake", "test", "1", "1.2"));
    if (name != "Notify") return g_dbus_method_invocation_return_value(invocation, nullptr);

    Notice notice;
    const char *appName, *appIcon, *summary, *body;
    g_autofree const char** actions = nullptr;
    g_autoptr(GVariant) hints = nullptr;
    g_variant_get(parameters, "(&su&s&s&s^a&s@a{sv}i)", &appName, &notice.replacesId, &appIcon, &summary, &body, &actions,
                  &hints, &notice.expireTimeout);
    notice.appName = appName;
    notice.appIcon = appIcon;
    notice.summary = summary;
    notice.body = body;
    for (const char** a = actions; a != nullptr && *a != nullptr; ++a) notice.actions.push_back(*a);
    GVariantIter iter;
    g_variant_iter_init(&iter, hints);
    const char* hint = nullptr;
    while (g_variant_iter_next(&iter, "{&sv}", &hint, nullptr)) notice.hints.push_back(hint);
    {
        std::lock_guard lock(server->mutex_);
        notice.id = notice.replacesId != 0 ? notice.replacesId : server->nextId_++;
        server->notices_.push_back(notice);
    }
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", notice.id));
}

GVariant* Panel::call(const char* path, const char* interface, const char* method, GVariant* parameters,
                      const GVariantType* reply) {
    if (thread_.bus() == nullptr) {
        if (parameters != nullptr) g_variant_unref(g_variant_ref_sink(parameters));
        return nullptr;
    }
    return g_dbus_connection_call_sync(thread_.bus(), service_.c_str(), path, interface, method, parameters, reply,
                                       G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr, nullptr);
}

GVariant* Panel::itemPropertyValue(const char* name) {
    g_autoptr(GVariant) reply = call("/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get",
                                     g_variant_new("(ss)", "org.kde.StatusNotifierItem", name), G_VARIANT_TYPE("(v)"));
    if (reply == nullptr) return nullptr;
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    return value;
}

std::string Panel::itemProperty(const char* name) {
    g_autoptr(GVariant) value = itemPropertyValue(name);
    return valueText(value);
}

std::string Panel::menuProperty(const char* name) {
    g_autoptr(GVariant) reply = call("/MenuBar", "org.freedesktop.DBus.Properties", "Get",
                                     g_variant_new("(ss)", "com.canonical.dbusmenu", name), G_VARIANT_TYPE("(v)"));
    if (reply == nullptr) return {};
    g_autoptr(GVariant) value = nullptr;
    g_variant_get(reply, "(v)", &value);
    return valueText(value);
}

PanelMenuItem Panel::layout(std::uint32_t* revision) {
    const char* all[] = {nullptr};
    g_autoptr(GVariant) reply = call("/MenuBar", "com.canonical.dbusmenu", "GetLayout", g_variant_new("(ii^as)", 0, -1, all),
                                     G_VARIANT_TYPE("(u(ia{sv}av))"));
    if (reply == nullptr) return {};
    guint32 seen = 0;
    g_autoptr(GVariant) root = nullptr;
    g_variant_get(reply, "(u@(ia{sv}av))", &seen, &root);
    if (revision != nullptr) *revision = seen;
    return readItem(root);
}

bool Panel::menuEvent(std::int32_t id, const char* event) {
    g_autoptr(GVariant) reply = call("/MenuBar", "com.canonical.dbusmenu", "Event",
                                     g_variant_new("(isvu)", id, event, g_variant_new_int32(0), 0u), nullptr);
    return reply != nullptr;
}

bool Panel::itemCall(const char* method, GVariant* parameters) {
    g_autoptr(GVariant) reply = call("/StatusNotifierItem", "org.kde.StatusNotifierItem", method, parameters, nullptr);
    return reply != nullptr;
}

void Panel::listen() {
    const std::string owner = thread_.bus() != nullptr ? platform::nameOwner(thread_.bus(), service_.c_str()) : "";
    if (owner.empty()) return;
    thread_.run([&] {
        g_dbus_connection_signal_subscribe(
            thread_.bus(), owner.c_str(), nullptr, nullptr, nullptr, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
            [](GDBusConnection*, const char*, const char*, const char*, const char* signal, GVariant*, gpointer self) {
                auto* panel = static_cast<Panel*>(self);
                std::lock_guard lock(panel->mutex_);
                panel->signals_.push_back(signal);
            },
            this, nullptr);
    });
}

std::vector<std::string> Panel::signalsSeen() const {
    std::lock_guard lock(mutex_);
    return signals_;
}

}  // namespace varnel::test
