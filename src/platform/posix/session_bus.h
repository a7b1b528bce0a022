#pragma once
// The session bus as the tray reaches it: a private connection of the tray thread's own, and the
// few questions it puts to the bus itself.

#include <gio/gio.h>

#include <string>

namespace varnel::platform {

// $DBUS_SESSION_BUS_ADDRESS, else the user's bus socket in $XDG_RUNTIME_DIR; empty when neither.
// Never a bus launched for the occasion, as GLib's own look-up would do with an X display.
std::string sessionBusAddress();

// A private connection, so that the tray's names, objects and subscriptions are its own and end
// with it. Null without a session bus. The caller owns the reference.
GDBusConnection* connectSessionBus();

// The unique name that owns name; empty when nobody does or the bus does not answer.
std::string nameOwner(GDBusConnection* bus, const char* name);

// Takes name without queueing; true when the connection owns it afterwards.
bool requestName(GDBusConnection* bus, const std::string& name);
void releaseName(GDBusConnection* bus, const std::string& name);

// The one interface an embedded introspection document describes. The caller owns the reference.
GDBusInterfaceInfo* embeddedInterface(const unsigned char* document);

}  // namespace varnel::platform
