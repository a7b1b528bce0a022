#include "platform/posix/desktop_notifications.h"

#include <string>

#include "platform/posix/tray_icon_artwork.h"
#include "platform/text.h"

namespace varnel::platform {

namespace {

constexpr char kServer[] = "org.freedesktop.Notifications";
constexpr char kServerPath[] = "/org/freedesktop/Notifications";
constexpr char kAppName[] = "VarnelVPN";
constexpr int kImageWidth = 48;
constexpr gint32 kServerDecidesExpiry = -1;

// The notice's picture as the image-data hint wants it: rows of R, G, B, A bytes.
GVariant* imageHint() {
    const IconPixmap* pixmap = pixmapNearest(trayIconPixmaps(), kImageWidth);
    if (pixmap == nullptr) return nullptr;
    std::string rgba(pixmap->argb.size(), '\0');
    for (std::size_t i = 0; i + 3 < pixmap->argb.size(); i += 4) {
        rgba[i] = static_cast<char>(pixmap->argb[i + 1]);
        rgba[i + 1] = static_cast<char>(pixmap->argb[i + 2]);
        rgba[i + 2] = static_cast<char>(pixmap->argb[i + 3]);
        rgba[i + 3] = static_cast<char>(pixmap->argb[i]);
    }
    GVariant* bytes = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, rgba.data(), rgba.size(), 1);
    return g_variant_new("(iiibii@ay)", pixmap->width, pixmap->height, pixmap->width * 4, TRUE, 8, 4, bytes);
}

}  // namespace

void DesktopNotifications::attach(GDBusConnection* bus, GCancellable* cancellable, std::function<void()> onClick) {
    detach();
    bus_ = bus;
    cancellable_ = cancellable;
    onClick_ = std::move(onClick);
    subscription_ = g_dbus_connection_signal_subscribe(bus_, kServer, kServer, "ActionInvoked", kServerPath, nullptr,
                                                       G_DBUS_SIGNAL_FLAGS_NONE, onAction, this, nullptr);
}

void DesktopNotifications::detach() {
    if (subscription_ != 0) g_dbus_connection_signal_unsubscribe(bus_, subscription_);
    subscription_ = 0;
    bus_ = nullptr;
}

void DesktopNotifications::show(std::u16string_view title, std::u16string_view text) {
    if (bus_ == nullptr) return;
    title_ = wideToUtf8(title);
    // Servers that understand markup in the body would read '<' and '&' in a server label as markup.
    g_autofree char* body = g_markup_escape_text(wideToUtf8(text).c_str(), -1);
    body_ = body;
    waiting_ = true;
    if (!sending_) send();
}

void DesktopNotifications::send() {
    waiting_ = false;
    sending_ = true;
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    if (GVariant* image = imageHint()) g_variant_builder_add(&hints, "{sv}", "image-data", image);
    const char* actions[] = {"default", "Open Varnel VPN", nullptr};
    GVariant* parameters = g_variant_new("(susss^asa{sv}i)", kAppName, latest_, "", title_.c_str(), body_.c_str(),
                                         actions, &hints, kServerDecidesExpiry);
    g_dbus_connection_call(bus_, kServer, kServerPath, kServer, "Notify", parameters, G_VARIANT_TYPE("(u)"),
                           G_DBUS_CALL_FLAGS_NONE, -1, cancellable_, onSent, this);
}

void DesktopNotifications::onSent(GObject* source, GAsyncResult* result, gpointer self) {
    g_autoptr(GError) error = nullptr;
    g_autoptr(GVariant) reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    // A cancelled call means the tray has ended: self may be gone.
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) return;
    auto* notifications = static_cast<DesktopNotifications*>(self);
    notifications->sending_ = false;
    // Without a server (an error) nothing is shown, and the next notice tries again.
    if (reply != nullptr) g_variant_get(reply, "(u)", &notifications->latest_);
    if (notifications->waiting_ && notifications->bus_ != nullptr) notifications->send();
}

void DesktopNotifications::onAction(GDBusConnection*, const char*, const char*, const char*, const char*,
                                    GVariant* parameters, gpointer self) {
    auto* notifications = static_cast<DesktopNotifications*>(self);
    guint32 id = 0;
    const char* action = nullptr;
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)"))) return;
    g_variant_get(parameters, "(u&s)", &id, &action);
    if (id != 0 && id == notifications->latest_ && std::string_view(action) == "default" && notifications->onClick_)
        notifications->onClick_();
}

}  // namespace varnel::platform
