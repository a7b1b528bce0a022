#pragma once
// The main window's content on Linux: one WebKit web view that shows the generated page or a plain
// text. Window thread only.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/desktop_window.h"

namespace varnel::platform {

class WebViewContent final : public WindowContent {
public:
    // events must outlive the content; the setup is copied.
    WebViewContent(const DesktopWindowSetup& setup, const DesktopWindowEvents& events);
    ~WebViewContent() override;
    WebViewContent(const WebViewContent&) = delete;
    WebViewContent& operator=(const WebViewContent&) = delete;

    GtkWidget* widget() const { return GTK_WIDGET(view_); }

    void showPage(std::string_view html, std::string_view baseUri) override;
    void runScript(std::string_view script) override;
    void showText(std::string_view text) override;

private:
    struct Channel {
        WebViewContent* self;
        std::string name;
    };

    static WebKitWebContext* makeContext(const DesktopWindowSetup& setup);
    void listenToChannels(WebKitUserContentManager* manager, const std::vector<std::string>& names);
    void allowAutomation(WebKitWebContext* context);

    static void onScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data);
    static void onAutomationStarted(WebKitWebContext*, WebKitAutomationSession* session, gpointer data);
    static WebKitWebView* onCreateWebView(WebKitAutomationSession*, gpointer data);
    static void onClose(WebKitWebView*, gpointer data);
    static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer data);
    static gboolean onContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*, gpointer);

    const DesktopWindowEvents& events_;
    const std::string automationName_;
    std::vector<std::unique_ptr<Channel>> channels_;
    WebKitWebView* view_ = nullptr;
    // The page's own folder: the only place the view may navigate to.
    std::string pageBase_;
    bool showingPage_ = false;
};

}  // namespace varnel::platform
