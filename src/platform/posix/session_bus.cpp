#include "platform/posix/session_bus.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace varnel::platform {

namespace {

// Questions to the bus daemon only: it never calls back, so a blocking call cannot deadlock.
constexpr int kBusCallTimeoutMs = 2000;
constexpr guint32 kDoNotQueue = 4;
constexpr guint32 kPrimaryOwner = 1;
constexpr guint32 kAlreadyOwner = 4;

GVariant* callBus(GDBusConnection* bus, const char* method, GVariant* parameters, const GVariantType* replyType) {
    return g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                       method, parameters, replyType, G_DBUS_CALL_FLAGS_NO_AUTO_START,
                                       kBusCallTimeoutMs, nullptr, nullptr);
}

}  // namespace

std::string sessionBusAddress() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address != nullptr && *address != '\0')
        return address;
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    if (runtimeDir == nullptr || *runtimeDir != '/') return {};
    const std::string socket = std::string(runtimeDir) + "/bus";
    struct stat info{};
    if (::stat(socket.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode) || info.st_uid != ::geteuid()) return {};
    // The address syntax escapes bytes outside its small safe set.
    g_autofree char* escaped = g_dbus_address_escape_value(socket.c_str());
    return std::string("unix:path=") + escaped;
}

GDBusConnection* connectSessionBus() {
    const std::string address = sessionBusAddress();
    if (address.empty()) return nullptr;
    const auto flags = static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                         G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);
    return g_dbus_connection_new_for_address_sync(address.c_str(), flags, nullptr, nullptr, nullptr);
}

std::string nameOwner(GDBusConnection* bus, const char* name) {
    g_autoptr(GVariant) reply = callBus(bus, "GetNameOwner", g_variant_new("(s)", name), G_VARIANT_TYPE("(s)"));
    if (reply == nullptr) return {};
    const char* owner = nullptr;
    g_variant_get(reply, "(&s)", &owner);
    return owner;
}

bool requestName(GDBusConnection* bus, const std::string& name) {
    g_autoptr(GVariant) reply =
        callBus(bus, "RequestName", g_variant_new("(su)", name.c_str(), kDoNotQueue), G_VARIANT_TYPE("(u)"));
    if (reply == nullptr) return false;
    guint32 result = 0;
    g_variant_get(reply, "(u)", &result);
    return result == kPrimaryOwner || result == kAlreadyOwner;
}

void releaseName(GDBusConnection* bus, const std::string& name) {
    // Whatever the bus answers, the name is no longer ours to hold.
    if (GVariant* reply = callBus(bus, "ReleaseName", g_variant_new("(s)", name.c_str()), G_VARIANT_TYPE("(u)"))) g_variant_unref(reply);
}

GDBusInterfaceInfo* embeddedInterface(const unsigned char* document) {
    GError* error = nullptr;
    GDBusNodeInfo* const node = g_dbus_node_info_new_for_xml(reinterpret_cast<const char*>(document), &error);
    // The documents are part of the build: one that names no interface is a build fault, told at once.
    if (node == nullptr || node->interfaces == nullptr || node->interfaces[0] == nullptr)
        g_error("An embedded D-Bus interface document: %s", error != nullptr ? error->message : "no interface");
    GDBusInterfaceInfo* const interface = g_dbus_interface_info_ref(node->interfaces[0]);
    g_dbus_node_info_unref(node);
    return interface;
}

}  // namespace varnel::platform
