#include "platform/posix/status_notifier_item.h"

#include "platform/posix/session_bus.h"
#include "platform/posix/tray_icon_artwork.h"

namespace varnel::platform {

// The interface's introspection document, compiled in from status_notifier_item.xml.
extern const unsigned char kStatusNotifierItemXml[];

namespace {

GVariant* pixmapList(bool withImages) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a(iiay)"));
    if (withImages) {
        for (const IconPixmap& pixmap : trayIconPixmaps()) {
            GVariant* bytes = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, pixmap.argb.data(), pixmap.argb.size(), 1);
            g_variant_builder_add(&builder, "(ii@ay)", pixmap.width, pixmap.height, bytes);
        }
    }
    return g_variant_builder_end(&builder);
}

}  // namespace

GDBusInterfaceInfo* StatusNotifierItem::interfaceInfo() {
    static GDBusInterfaceInfo* const info = embeddedInterface(kStatusNotifierItemXml);
    return info;
}

void StatusNotifierItem::handleCall(const char* method, GDBusMethodInvocation* invocation, const Clicks& clicks) const {
    const std::string_view name = method;
    g_dbus_method_invocation_return_value(invocation, nullptr);
    if (name == "Activate") {
        clicks.activate();
    } else if (name == "ContextMenu") {
        clicks.contextMenu();
    }
    // A middle click and the wheel mean nothing to this icon, as other buttons on Windows.
}

GVariant* StatusNotifierItem::property(const char* name) const {
    const std::string_view property = name;
    if (property == "Category") return g_variant_new_string("ApplicationStatus");
    if (property == "Id") return g_variant_new_string("VarnelVPN");
    if (property == "Title") return g_variant_new_string("Varnel VPN");
    if (property == "Status") return g_variant_new_string(status_.c_str());
    if (property == "WindowId") return g_variant_new_int32(0);
    if (property == "IconPixmap") return pixmapList(true);
    if (property == "OverlayIconPixmap" || property == "AttentionIconPixmap") return pixmapList(false);
    if (property == "IconThemePath" || property == "IconName" || property == "OverlayIconName" ||
        property == "AttentionIconName" || property == "AttentionMovieName")
        return g_variant_new_string("");
    if (property == "ToolTip") return g_variant_new("(s@a(iiay)ss)", "", pixmapList(true), toolTip_.c_str(), "");
    if (property == "ItemIsMenu") return g_variant_new_boolean(false);
    if (property == "Menu") return g_variant_new_object_path(kMenuPath);
    return nullptr;
}

bool StatusNotifierItem::setToolTip(std::string title) {
    if (title == toolTip_) return false;
    toolTip_ = std::move(title);
    return true;
}

bool StatusNotifierItem::setStatus(std::string status) {
    if (status == status_) return false;
    status_ = std::move(status);
    return true;
}

}  // namespace varnel::platform
