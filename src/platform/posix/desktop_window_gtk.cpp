// The main window on Linux: a GTK 3 top-level window holding the web view, run by gtk_main on the
// thread that made it.

#include <gtk/gtk.h>

#include <deque>
#include <mutex>

#include "platform/desktop_window.h"
#include "platform/posix/web_view_content_gtk.h"

namespace varnel::platform {

namespace {

// The application's icon at the sizes the build draws, compiled into the program as resources.
constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};
constexpr char kIconResourceFolder[] = "/org/varnel/vpn/icons/";

GList* loadIcons() {
    GList* icons = nullptr;
    for (int size : kIconSizes) {
        const std::string path = kIconResourceFolder + std::to_string(size) + ".png";
        if (GdkPixbuf* icon = gdk_pixbuf_new_from_resource(path.c_str(), nullptr)) icons = g_list_append(icons, icon);
    }
    return icons;
}

// Created and used on the window thread, except post() and quit(); mutex_ guards tasks_ and
// drainScheduled_.
class GtkDesktopWindow final : public DesktopWindow {
public:
    GtkDesktopWindow(const DesktopWindowSetup& setup, DesktopWindowEvents events)
        : events_(std::move(events)), content_(setup, events_), minWidth_(setup.minWidth), minHeight_(setup.minHeight) {
        window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_title(GTK_WINDOW(window_), setup.title.c_str());
        gtk_window_set_default_size(GTK_WINDOW(window_), setup.width, setup.height);
        GdkGeometry geometry{};
        geometry.min_width = setup.minWidth;
        geometry.min_height = setup.minHeight;
        gtk_window_set_geometry_hints(GTK_WINDOW(window_), nullptr, &geometry, GDK_HINT_MIN_SIZE);
        if (GList* icons = loadIcons()) {
            gtk_window_set_icon_list(GTK_WINDOW(window_), icons);
            g_list_free_full(icons, g_object_unref);
        }
        gtk_container_add(GTK_CONTAINER(window_), content_.widget());
        gtk_widget_show(content_.widget());
        g_signal_connect(window_, "delete-event", G_CALLBACK(onDelete), this);
    }

    WindowContent& content() override { return content_; }
    void hide() override { gtk_widget_hide(window_); }
    void present() override { gtk_window_present(GTK_WINDOW(window_)); }
    void run() override { gtk_main(); }

    void quit() override {
        post([] { gtk_main_quit(); });
    }

    void post(std::function<void()> task) override {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        if (drainScheduled_) return;
        drainScheduled_ = true;
        g_idle_add_full(G_PRIORITY_DEFAULT, drain, this, nullptr);
    }

private:
    // One idle source runs every task queued so far; tasks posted meanwhile get the next one, so
    // they run in the order they were posted.
    static gboolean drain(gpointer data) {
        auto* self = static_cast<GtkDesktopWindow*>(data);
        std::deque<std::function<void()>> batch;
        {
            std::lock_guard lock(self->mutex_);
            batch.swap(self->tasks_);
            self->drainScheduled_ = false;
        }
        for (auto& task : batch) task();
        return G_SOURCE_REMOVE;
    }

    static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer data) {
        auto* self = static_cast<GtkDesktopWindow*>(data);
        if (self->events_.closeRequested) self->events_.closeRequested();
        return TRUE;  // the window is never destroyed by a close
    }

    DesktopWindowEvents events_;
    WebViewContent content_;
    int minWidth_;
    int minHeight_;
    GtkWidget* window_ = nullptr;
    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
    bool drainScheduled_ = false;
};

}  // namespace

// GTK needs nothing before its window is made.
void prepareDesktopProcess() {}

std::shared_ptr<DesktopWindow> createDesktopWindow(const DesktopWindowSetup& setup, DesktopWindowEvents events, std::string& failure) {
    if (!setup.programName.empty()) g_set_prgname(setup.programName.c_str());
    if (!gtk_init_check(nullptr, nullptr)) {
        failure = "Cannot open the display.";
        return nullptr;
    }
    return std::make_shared<GtkDesktopWindow>(setup, std::move(events));
}

}  // namespace varnel::platform
