// The notification-area icon on Linux: a StatusNotifierItem with a dbusmenu menu on the session bus,
// registered with the desktop's StatusNotifierWatcher. The "window" is the tray thread's own GLib
// main context: posts become sources on it and the D-Bus calls of the panel are served there too, so
// the tray logic sees the same messages, in the same order, as from a Windows window.

#include "platform/tray_shell.h"

#include <gio/gio.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>

#include "platform/posix/dbus_menu.h"
#include "platform/posix/desktop_notifications.h"
#include "platform/posix/session_bus.h"
#include "platform/posix/status_notifier_item.h"
#include "platform/posix/windows_numbers.h"
#include "platform/text.h"

namespace varnel::platform {

namespace {

using namespace win;

// Where Windows registers "TaskbarCreated": a number of the registered-message range.
constexpr std::uint32_t kWatcherReturnedMessage = 0xC0DE;

constexpr char kWatcherName[] = "org.kde.StatusNotifierWatcher";
constexpr char kWatcherPath[] = "/StatusNotifierWatcher";

// Every tray of the process takes a name of its own.
std::atomic<unsigned> itemCounter{0};

struct PostedMessage;

// Made by the runtime; created and driven on the tray thread. mutex_ guards context_, loop_ and
// quit_ for the posts and the quit of other threads; window_ is published atomically; everything
// else, the GDBus objects included, belongs to the tray thread.
class SniTrayShell final : public TrayShell {
public:
    // Normally the tray thread has let go of everything after its loop; this is for a window that
    // was made and never run.
    ~SniTrayShell() override {
        closeBus();
        g_clear_object(&cancellable_);
        releaseContext();
    }

    bool createWindow(const TrayWindowClass& trayWindow, TrayMessageHandler handler) override {
        handler_ = std::move(handler);
        callbackMessage_ = trayWindow.callbackMessage;
        GMainContext* context = g_main_context_new();
        g_main_context_push_thread_default(context);
        {
            std::lock_guard lock(mutex_);
            context_ = context;
            loop_ = g_main_loop_new(context, FALSE);
        }
        cancellable_ = g_cancellable_new();
        connect();  // without a session bus the window is a message queue that refuses the icon
        window_ = reinterpret_cast<std::uintptr_t>(this);
        return true;
    }

    void runMessageLoop() override {
        GMainLoop* loop = nullptr;
        {
            std::lock_guard lock(mutex_);
            if (!quit_ && loop_ != nullptr) loop = g_main_loop_ref(loop_);
        }
        if (loop != nullptr) {
            g_main_loop_run(loop);
            g_main_loop_unref(loop);
        }
        if (window_.exchange(0) != 0 && handler_) handler_({kWmDestroy, 0, 0});
        disconnect();
        releaseContext();
    }

    void quit() override {
        std::lock_guard lock(mutex_);
        quit_ = true;
        // As a source of the loop itself, so that a loop not running yet still meets it. The context
        // is only ever run by the tray thread while this shell exists.
        if (context_ != nullptr)
            attachSource(
                [](gpointer self) {
                    g_main_loop_quit(static_cast<SniTrayShell*>(self)->loop_);
                    return G_SOURCE_REMOVE;
                },
                this, nullptr);
    }

    bool post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;

    std::uintptr_t nativeWindow() const override { return window_; }
    std::uint32_t shellRestartMessage() const override { return kWatcherReturnedMessage; }

    bool addIcon(std::u16string_view tip) override {
        setToolTip(tip);
        if (bus_ == nullptr) return false;
        const std::string watcher = nameOwner(bus_, kWatcherName);
        if (watcher.empty()) return false;  // no panel shows such icons now: refused, as by a shell
        if (!requestName(bus_, busName_)) return false;
        nameOwned_ = true;
        setStatus("Active");
        registeredWith_ = watcher;
        // Not waited for: the watcher may read our properties before it answers.
        g_dbus_connection_call(bus_, watcher.c_str(), kWatcherPath, kWatcherName, "RegisterStatusNotifierItem",
                               g_variant_new("(s)", busName_.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE, -1,
                               cancellable_, onRegistered, this);
        return true;
    }

    bool modifyIcon(std::u16string_view tip) override {
        setToolTip(tip);
        return nameOwned_;
    }

    // The watcher forgets an item whose name goes away.
    void deleteIcon() override {
        if (!nameOwned_) return;
        setStatus("Passive");
        releaseName(bus_, busName_);
        nameOwned_ = false;
        registeredWith_.clear();
    }

    void showBalloon(std::u16string_view title, std::u16string_view text) override {
        notifications_.show(title, text);
    }

    // The panel shows the menu by itself; asked here, we can only make sure it is the current one.
    std::uint32_t trackMenu(const std::vector<TrayMenuEntry>& menu) override {
        setMenu(menu);
        return 0;
    }

    void setMenu(const std::vector<TrayMenuEntry>& menu) override {
        if (menu_.update(menu)) emit(kMenuPath, kMenuInterface, "LayoutUpdated", g_variant_new("(ui)", menu_.revision(), 0));
    }

    // No Linux call finds another window by its title: the desktop application wraps this shell to
    // show its own window (app/desktop_tray_shell.h), and the bare shell has none to show.
    bool showMainWindow(std::u16string_view) override { return false; }
    void exitProcess(std::uint32_t code) override { ::_exit(static_cast<int>(code)); }

    // Tray thread: a posted message reaches the handler unless the window has gone meanwhile.
    void deliver(const TrayWindowMessage& message) {
        if (window_ != 0 && handler_) handler_(message);
    }

private:
    // Called with mutex_ held or before other threads can reach the context.
    void attachSource(GSourceFunc function, gpointer data, GDestroyNotify destroy) {
        GSource* source = g_idle_source_new();
        g_source_set_priority(source, G_PRIORITY_DEFAULT);
        g_source_set_callback(source, function, data, destroy);
        g_source_attach(source, context_);
        g_source_unref(source);
    }

    void connect() {
        bus_ = connectSessionBus();
        if (bus_ == nullptr) return;
        busName_ = "org.kde.StatusNotifierItem-" + std::to_string(::getpid()) + "-" + std::to_string(++itemCounter);
        static const GDBusInterfaceVTable itemTable{onItemCall, onItemProperty, nullptr, {}};
        static const GDBusInterfaceVTable menuTable{onMenuCall, onMenuProperty, nullptr, {}};
        itemObject_ = g_dbus_connection_register_object(bus_, kItemPath, StatusNotifierItem::interfaceInfo(),
                                                        &itemTable, this, nullptr, nullptr);
        menuObject_ =
            g_dbus_connection_register_object(bus_, kMenuPath, DbusMenu::interfaceInfo(), &menuTable, this, nullptr, nullptr);
        watcherWatch_ = g_bus_watch_name_on_connection(bus_, kWatcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                                       onWatcherAppeared, onWatcherVanished, this, nullptr);
        notifications_.attach(bus_, cancellable_, [this] { post(callbackMessage_, 0, kNinBalloonUserClick); });
    }

    // Tray thread, after the loop: every GDBus object goes on the thread that made it, and every
    // callback still queued runs here and finds the tray ended.
    void disconnect() {
        g_cancellable_cancel(cancellable_);
        closeBus();
        GMainContext* context = nullptr;
        {
            std::lock_guard lock(mutex_);
            context = context_;
        }
        if (context != nullptr) {
            while (g_main_context_iteration(context, FALSE)) {
            }
            g_main_context_pop_thread_default(context);
        }
        g_clear_object(&cancellable_);
    }

    void closeBus() {
        if (bus_ == nullptr) return;
        notifications_.detach();
        g_bus_unwatch_name(watcherWatch_);
        g_dbus_connection_unregister_object(bus_, itemObject_);
        g_dbus_connection_unregister_object(bus_, menuObject_);
        g_dbus_connection_close_sync(bus_, nullptr, nullptr);
        g_clear_object(&bus_);
    }

    void releaseContext() {
        std::lock_guard lock(mutex_);
        if (loop_ != nullptr) g_main_loop_unref(loop_);
        if (context_ != nullptr) g_main_context_unref(context_);
        loop_ = nullptr;
        context_ = nullptr;
    }

    // Takes parameters (floating or null) in any case.
    void emit(const char* path, const char* interface, const char* signal, GVariant* parameters) {
        g_autoptr(GVariant) owned = parameters != nullptr ? g_variant_ref_sink(parameters) : nullptr;
        if (bus_ != nullptr) g_dbus_connection_emit_signal(bus_, nullptr, path, interface, signal, owned, nullptr);
    }

    void setToolTip(std::u16string_view tip) {
        if (item_.setToolTip(wideToUtf8(tip))) emit(kItemPath, kItemInterface, "NewToolTip", nullptr);
    }

    void setStatus(const char* status) {
        if (item_.setStatus(status)) emit(kItemPath, kItemInterface, "NewStatus", g_variant_new("(s)", status));
    }

    static void onRegistered(GObject* source, GAsyncResult* result, gpointer self) {
        g_autoptr(GError) error = nullptr;
        g_autoptr(GVariant) reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
        if (reply != nullptr || g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) return;
        // Refused: the watcher's next appearance is our next chance.
        static_cast<SniTrayShell*>(self)->registeredWith_.clear();
    }

    // A watcher we have not registered with has appeared (a panel started or restarted): the tray
    // is told as Windows tells it of a restarted shell, and adds its icon again.
    static void onWatcherAppeared(GDBusConnection*, const char*, const char* owner, gpointer self) {
        auto* shell = static_cast<SniTrayShell*>(self);
        if (owner != shell->registeredWith_) shell->post(kWatcherReturnedMessage, 0, 0);
    }

    static void onWatcherVanished(GDBusConnection*, const char*, gpointer self) {
        static_cast<SniTrayShell*>(self)->registeredWith_.clear();
    }

    static void onItemCall(GDBusConnection*, const char*, const char*, const char*, const char* method, GVariant*,
                           GDBusMethodInvocation* invocation, gpointer self) {
        auto* shell = static_cast<SniTrayShell*>(self);
        // A click on the icon brings the main window forward, as a double click does on Windows.
        const StatusNotifierItem::Clicks clicks{
            [shell] { shell->post(shell->callbackMessage_, 0, kWmLButtonDblClk); },
            [shell] { shell->post(shell->callbackMessage_, 0, kWmContextMenu); }};
        shell->item_.handleCall(method, invocation, clicks);
    }

    static GVariant* onItemProperty(GDBusConnection*, const char*, const char*, const char*, const char* name,
                                    GError** error, gpointer self) {
        GVariant* value = static_cast<SniTrayShell*>(self)->item_.property(name);
        if (value == nullptr) g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "No property %s", name);
        return value;
    }

    // A choice in the panel's menu reaches the tray logic as a menu command, as on Windows.
    static void onMenuCall(GDBusConnection*, const char*, const char*, const char*, const char* method,
                           GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self) {
        auto* shell = static_cast<SniTrayShell*>(self);
        shell->menu_.handleCall(method, parameters, invocation, [shell](std::uint32_t id) { shell->post(kWmCommand, id, 0); });
    }

    static GVariant* onMenuProperty(GDBusConnection*, const char*, const char*, const char*, const char* name,
                                    GError** error, gpointer self) {
        GVariant* value = static_cast<SniTrayShell*>(self)->menu_.property(name);
        if (value == nullptr) g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "No property %s", name);
        return value;
    }

    std::mutex mutex_;
    GMainContext* context_ = nullptr;
    GMainLoop* loop_ = nullptr;
    bool quit_ = false;
    std::atomic<std::uintptr_t> window_{0};

    TrayMessageHandler handler_;
    std::uint32_t callbackMessage_ = 0;
    GCancellable* cancellable_ = nullptr;
    GDBusConnection* bus_ = nullptr;
    std::string busName_;
    guint itemObject_ = 0;
    guint menuObject_ = 0;
    guint watcherWatch_ = 0;
    bool nameOwned_ = false;
    std::string registeredWith_;  // the watcher's unique name while we count as registered with it
    StatusNotifierItem item_;
    DbusMenu menu_;
    DesktopNotifications notifications_;
};

struct PostedMessage {
    SniTrayShell* shell;
    TrayWindowMessage message;
};

bool SniTrayShell::post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (window_ == 0) return false;
    std::lock_guard lock(mutex_);
    if (context_ == nullptr) return false;
    // Always queued, never run at once: a post from the tray thread itself must not overtake
    // messages posted before it (g_main_context_invoke would run it on the spot there).
    attachSource(
        [](gpointer data) {
            const auto* posted = static_cast<PostedMessage*>(data);
            posted->shell->deliver(posted->message);
            return G_SOURCE_REMOVE;
        },
        new PostedMessage{this, {message, wParam, lParam}}, [](gpointer data) { delete static_cast<PostedMessage*>(data); });
    return true;
}

}  // namespace

std::shared_ptr<TrayShell> systemTrayShell() { return std::make_shared<SniTrayShell>(); }

// A second start reaches the first through the desktop application's own single-instance channel;
// there is no tray window for another process to find.
bool postToRunningTrayWindow(std::u16string_view, std::uint32_t) { return false; }

}  // namespace varnel::platform
