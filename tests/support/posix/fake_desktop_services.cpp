#include "support/posix/fake_desktop_services.h"

#include "platform/posix/session_bus.h"

namespace varnel::test {

namespace {

constexpr char kWatcherName[] = "org.kde.StatusNotifierWatcher", kNotificationsName[] = "org.freedesktop.Notifications";
constexpr char kItemInterface[] = "org.kde.StatusNotifierItem", kMenuInterface[] = "com.canonical.dbusmenu";

constexpr char kWatcherXml[] = R"xml(<node><interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method></interface></node>)xml";
constexpr char kNotificationsXml[] = R"xml(<node><interface name="org.freedesktop.Notifications"><method name="Notify">
  <arg type="s"/><arg type="u"/><arg type="s"/><arg type="s"/><arg type="s"/><arg type="as"/><arg type="a{sv}"/><arg type="i"/>
  <arg type="u" direction="out"/></method><signal name="ActionInvoked"><arg type="u"/><arg type="s"/></signal></interface></node>)xml";

std::string valueText(GVariant* value) {
    if (value == nullptr) return {};
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING) || g_variant_is_of_type(value, G_VARIANT_TYPE_OBJECT_PATH))
        return g_variant_get_string(value, nullptr);
    g_autofree char* printed = g_variant_print(value, FALSE);
    return printed;
}

PanelMenuItem readItem(GVariant* layout) {
    PanelMenuItem item;
    g_autoptr(GVariantIter) properties = nullptr;
    g_autoptr(GVariantIter) children = nullptr;
    g_variant_get(layout, "(ia{sv}av)", &item.id, &properties, &children);
    const char* name = nullptr;
    GVariant* value = nullptr;
    while (g_variant_iter_loop(properties, "{&sv}", &name, &value)) item.properties[name] = valueText(value);
    while (g_variant_iter_loop(children, "v", &value)) item.children.push_back(readItem(value));
    return item;
}

// Takes floating parameters; null on an error.
GVariant* request(GDBusConnection* bus, const std::string& service, bool ofMenu, const char* interface, const char* method,
                  GVariant* parameters, const GVariantType* reply) {
    g_autoptr(GVariant) owned = g_variant_ref_sink(parameters);
    return bus == nullptr ? nullptr : g_dbus_connection_call_sync(bus, service.c_str(), ofMenu ? "/MenuBar" : "/StatusNotifierItem", interface, method,
                                                                  owned, reply, G_DBUS_CALL_FLAGS_NO_AUTO_START, -1, nullptr, nullptr);
}

}  // namespace

std::string desktopBusMissingReason() {
    if (platform::sessionBusAddress().empty()) return "no session bus here: run the tests under dbus-run-session";
    for (const char* name : {kWatcherName, kNotificationsName}) {
        BusDouble probe(name, nullptr, nullptr, "()");
        if (!probe.takeName()) return std::string(name) + " is taken, or there is no bus: these tests use a private bus only (dbus-run-session)";
        probe.dropName();  // answered once the bus has let it go, so a double can take it next
    }
    return {};
}

BusDouble::BusDouble(const char* name, const char* path, const char* xml, const char* reply)
    : name_(name), path_(path), reply_(g_variant_ref_sink(g_variant_new_parsed(reply))), context_(g_main_context_new()),
      bus_(platform::connectSessionBus()) {
    if (bus_ == nullptr || xml == nullptr) return;
    static const GDBusInterfaceVTable table{
        [](GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* arguments,
           GDBusMethodInvocation* invocation, gpointer self) {
            std::string text;
            for (gsize i = 0; i < g_variant_n_children(arguments); ++i) {
                g_autoptr(GVariant) argument = g_variant_get_child_value(arguments, i);
                g_autofree char* printed = g_variant_is_of_type(argument, G_VARIANT_TYPE_VARDICT) ? g_strdup("{...}") : g_variant_print(argument, FALSE);
                text += (i == 0 ? "" : ", ") + std::string(printed);
            }
            static_cast<BusDouble*>(self)->calls_.push_back(text);
            g_dbus_method_invocation_return_value(invocation, static_cast<BusDouble*>(self)->reply_);
        },
        nullptr, nullptr, {}};
    g_autoptr(GDBusNodeInfo) node = g_dbus_node_info_new_for_xml(xml, nullptr);
    g_main_context_push_thread_default(context_);
    object_ = g_dbus_connection_register_object(bus_, path, node->interfaces[0], &table, this, nullptr, nullptr);
    g_main_context_pop_thread_default(context_);
}

BusDouble::~BusDouble() {
    if (bus_ != nullptr) {
        if (object_ != 0) g_dbus_connection_unregister_object(bus_, object_);
        g_dbus_connection_close_sync(bus_, nullptr, nullptr);
        g_object_unref(bus_);
    }
    g_main_context_unref(context_);
    g_variant_unref(reply_);
}

bool BusDouble::takeName() { return bus_ != nullptr && platform::requestName(bus_, name_); }
void BusDouble::dropName() { if (bus_ != nullptr) platform::releaseName(bus_, name_); }

std::vector<std::string> BusDouble::calls() {
    while (g_main_context_iteration(context_, FALSE)) continue;
    return calls_;
}

void BusDouble::emit(const char* interface, const char* signal, GVariant* parameters) {
    g_dbus_connection_emit_signal(bus_, nullptr, path_, interface, signal, parameters, nullptr);
}

FakeStatusNotifierWatcher::FakeStatusNotifierWatcher() : BusDouble(kWatcherName, "/StatusNotifierWatcher", kWatcherXml, "()") {}

std::vector<std::string> FakeStatusNotifierWatcher::registrations() {
    std::vector<std::string> registrations;
    for (const std::string& call : calls()) registrations.push_back(call.substr(1, call.size() - 2));  // unquoted
    return registrations;
}

FakeNotificationServer::FakeNotificationServer()
    : BusDouble(kNotificationsName, "/org/freedesktop/Notifications", kNotificationsXml, "(uint32 7,)") {}

std::string Panel::property(const char* name) {
    g_autoptr(GVariant) reply = request(bus_, name_, false, "org.freedesktop.DBus.Properties", "Get",
                                        g_variant_new("(ss)", kItemInterface, name), G_VARIANT_TYPE("(v)"));
    g_autoptr(GVariant) value = nullptr;
    if (reply != nullptr) g_variant_get(reply, "(v)", &value);
    return valueText(value);
}

PanelMenuItem Panel::layout() {
    const char* all[] = {nullptr};
    g_autoptr(GVariant) reply =
        request(bus_, name_, true, kMenuInterface, "GetLayout", g_variant_new("(ii^as)", 0, -1, all), G_VARIANT_TYPE("(u(ia{sv}av))"));
    if (reply == nullptr) return {};
    g_autoptr(GVariant) root = g_variant_get_child_value(reply, 1);
    return readItem(root);
}

bool Panel::call(const char* method, GVariant* parameters, bool ofMenu) {
    g_autoptr(GVariant) reply = request(bus_, name_, ofMenu, ofMenu ? kMenuInterface : kItemInterface, method, parameters, nullptr);
    return reply != nullptr;
}

}  // namespace varnel::test
