#pragma once
// The balloon on Linux: a desktop notification (org.freedesktop.Notifications) that replaces the
// previous one, as a new balloon replaces the old on the Windows icon.

#include <gio/gio.h>

#include <functional>
#include <string>
#include <string_view>

namespace varnel::platform {

// Tray thread only, like the connection it sends on.
class DesktopNotifications {
public:
    DesktopNotifications() = default;
    DesktopNotifications(const DesktopNotifications&) = delete;
    DesktopNotifications& operator=(const DesktopNotifications&) = delete;
    ~DesktopNotifications() { detach(); }

    // From here on a click on the latest notice runs onClick on the calling thread's context.
    // Replies that come after cancellable is cancelled are dropped unseen (the tray has ended).
    void attach(GDBusConnection* bus, GCancellable* cancellable, std::function<void()> onClick);
    void detach();

    // Sends the notice; without a notification server nothing is shown and nothing fails.
    void show(std::u16string_view title, std::u16string_view text);

private:
    static void onSent(GObject* source, GAsyncResult* result, gpointer self);
    static void onAction(GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* parameters,
                         gpointer self);

    void send();

    GDBusConnection* bus_ = nullptr;
    guint subscription_ = 0;
    guint32 latest_ = 0;  // the server's id of our latest notice, 0 before the first
    // One notice at a time is on its way, so that the next one knows which it replaces; a notice
    // asked for meanwhile waits here, and a newer one takes its place.
    bool sending_ = false;
    bool waiting_ = false;
    std::string title_;
    std::string body_;
    GCancellable* cancellable_ = nullptr;
    std::function<void()> onClick_;
};

}  // namespace varnel::platform
