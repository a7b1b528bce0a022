#include "platform/posix/dbus_menu.h"

#include <cstring>

#include "platform/posix/session_bus.h"
#include "platform/posix/windows_numbers.h"
#include "platform/text.h"

namespace varnel::platform {

// The interface's introspection document, compiled in from dbus_menu.xml.
extern const unsigned char kDbusMenuXml[];

namespace {

using win::kMfChecked;
using win::kMfGrayedOrDisabled;
using win::kMfPopup;
using win::kMfSeparator;

// The panel reads an underscore as the mark of a mnemonic; our labels are shown as they are.
std::string panelLabel(std::u16string_view text) {
    std::string label;
    for (const char c : wideToUtf8(text)) {
        if (c == '_') label += '_';
        label += c;
    }
    return label;
}

bool wanted(const char* const* names, const char* name) {
    if (names == nullptr || names[0] == nullptr) return true;  // an empty list asks for everything
    for (; *names != nullptr; ++names)
        if (std::strcmp(*names, name) == 0) return true;
    return false;
}

DbusMenu::Item rootItem() {
    DbusMenu::Item root;
    root.submenu = true;
    return root;
}

void returnInvalidItem(GDBusMethodInvocation* invocation, int item) {
    g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS, "No menu item %d", item);
}

}  // namespace

DbusMenu::DbusMenu() { items_.push_back(rootItem()); }

bool DbusMenu::update(const std::vector<TrayMenuEntry>& entries) {
    if (entries == entries_) return false;
    entries_ = entries;
    items_.assign(1, rootItem());
    for (const TrayMenuEntry& entry : entries_) {
        const int item = addItem(entry);
        items_[0].children.push_back(item);
    }
    ++revision_;
    return true;
}

int DbusMenu::addItem(const TrayMenuEntry& entry) {
    Item item;
    item.separator = (entry.flags & kMfSeparator) != 0;
    item.submenu = (entry.flags & kMfPopup) != 0;
    item.enabled = (entry.flags & kMfGrayedOrDisabled) == 0;
    item.checked = (entry.flags & kMfChecked) != 0;
    item.id = item.separator || item.submenu ? 0 : entry.id;
    if (!item.separator) item.label = panelLabel(entry.text);
    const int number = static_cast<int>(items_.size());
    items_.push_back(std::move(item));
    if (items_[number].submenu) {
        for (const TrayMenuEntry& child : entry.submenu) {
            const int childNumber = addItem(child);
            items_[number].children.push_back(childNumber);
        }
    }
    return number;
}

std::uint32_t DbusMenu::choice(int item) const {
    if (!known(item)) return 0;
    const Item& chosen = items_[item];
    return chosen.enabled ? chosen.id : 0;
}

GVariant* DbusMenu::properties(int item, const char* const* names) const {
    const Item& it = items_[item];
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a{sv}"));
    const auto add = [&](const char* name, GVariant* value) {
        if (wanted(names, name))
            g_variant_builder_add(&builder, "{sv}", name, value);
        else
            g_variant_unref(g_variant_ref_sink(value));
    };
    if (it.separator) add("type", g_variant_new_string("separator"));
    if (item != 0 && !it.separator) add("label", g_variant_new_string(it.label.c_str()));
    if (!it.enabled) add("enabled", g_variant_new_boolean(false));
    if (it.checked) {
        add("toggle-type", g_variant_new_string("checkmark"));
        add("toggle-state", g_variant_new_int32(1));
    }
    if (it.submenu) add("children-display", g_variant_new_string("submenu"));
    return g_variant_builder_end(&builder);
}

GVariant* DbusMenu::layout(int item, int depth, const char* const* names) const {
    GVariantBuilder children;
    g_variant_builder_init(&children, G_VARIANT_TYPE("av"));
    if (depth != 0) {
        for (const int child : items_[item].children)
            g_variant_builder_add(&children, "v", layout(child, depth < 0 ? depth : depth - 1, names));
    }
    return g_variant_new("(i@a{sv}av)", item, properties(item, names), &children);
}

void DbusMenu::handleCall(const char* method, GVariant* parameters, GDBusMethodInvocation* invocation,
                          const Choose& choose) const {
    const std::string_view name = method;
    if (name == "GetLayout") {
        gint32 parent = 0, depth = 0;
        g_autofree const char** names = nullptr;
        g_variant_get(parameters, "(ii^a&s)", &parent, &depth, &names);
        if (!known(parent)) return returnInvalidItem(invocation, parent);
        g_dbus_method_invocation_return_value(invocation,
                                              g_variant_new("(u@(ia{sv}av))", revision_, layout(parent, depth, names)));
    } else if (name == "GetGroupProperties") {
        g_autoptr(GVariant) ids = g_variant_get_child_value(parameters, 0);
        g_autofree const char** names = nullptr;
        g_variant_get_child(parameters, 1, "^a&s", &names);
        GVariantBuilder result;
        g_variant_builder_init(&result, G_VARIANT_TYPE("a(ia{sv})"));
        const gsize count = g_variant_n_children(ids);
        for (gsize i = 0; i < (count == 0 ? items_.size() : count); ++i) {
            gint32 item = static_cast<gint32>(i);
            if (count != 0) g_variant_get_child(ids, i, "i", &item);
            if (known(item)) g_variant_builder_add(&result, "(i@a{sv})", item, properties(item, names));
        }
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(a(ia{sv}))", &result));
    } else if (name == "GetProperty") {
        gint32 item = 0;
        const char* property = nullptr;
        g_variant_get(parameters, "(i&s)", &item, &property);
        if (!known(item)) return returnInvalidItem(invocation, item);
        const char* only[] = {property, nullptr};
        g_autoptr(GVariant) found = properties(item, only);
        g_autoptr(GVariant) value = g_variant_lookup_value(found, property, nullptr);
        if (value == nullptr)
            return g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS,
                                                         "No property %s", property);
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(v)", value));
    } else if (name == "Event") {
        gint32 item = 0;
        const char* event = nullptr;
        g_variant_get(parameters, "(i&svu)", &item, &event, nullptr, nullptr);
        if (!known(item)) return returnInvalidItem(invocation, item);
        g_dbus_method_invocation_return_value(invocation, nullptr);
        if (std::strcmp(event, "clicked") == 0) {
            if (const std::uint32_t id = choice(item); id != 0) choose(id);
        }
    } else if (name == "EventGroup") {
        g_autoptr(GVariant) events = g_variant_get_child_value(parameters, 0);
        GVariantBuilder errors;
        g_variant_builder_init(&errors, G_VARIANT_TYPE("ai"));
        std::vector<std::uint32_t> chosen;
        for (gsize i = 0; i < g_variant_n_children(events); ++i) {
            gint32 item = 0;
            const char* event = nullptr;
            g_variant_get_child(events, i, "(i&svu)", &item, &event, nullptr, nullptr);
            if (!known(item))
                g_variant_builder_add(&errors, "i", item);
            else if (std::strcmp(event, "clicked") == 0 && choice(item) != 0)
                chosen.push_back(choice(item));
        }
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(ai)", &errors));
        for (const std::uint32_t id : chosen) choose(id);
    } else if (name == "AboutToShow") {
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(b)", FALSE));
    } else if (name == "AboutToShowGroup") {
        g_autoptr(GVariant) ids = g_variant_get_child_value(parameters, 0);
        GVariantBuilder errors;
        g_variant_builder_init(&errors, G_VARIANT_TYPE("ai"));
        for (gsize i = 0; i < g_variant_n_children(ids); ++i) {
            gint32 item = 0;
            g_variant_get_child(ids, i, "i", &item);
            if (!known(item)) g_variant_builder_add(&errors, "i", item);
        }
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(@aiai)", g_variant_new_array(G_VARIANT_TYPE_INT32, nullptr, 0), &errors));
    } else {
        g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD, "No method %s",
                                              method);
    }
}

GVariant* DbusMenu::property(const char* name) const {
    const std::string_view property = name;
    if (property == "Version") return g_variant_new_uint32(3);
    if (property == "TextDirection") return g_variant_new_string("ltr");
    if (property == "Status") return g_variant_new_string("normal");
    if (property == "IconThemePath") return g_variant_new_strv(nullptr, 0);
    return nullptr;
}

GDBusInterfaceInfo* DbusMenu::interfaceInfo() {
    static GDBusInterfaceInfo* const info = embeddedInterface(kDbusMenuXml);
    return info;
}

}  // namespace varnel::platform
