#include "platform/posix/web_view_content_gtk.h"

#include <string_view>

namespace varnel::platform {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

}  // namespace

WebKitWebContext* WebViewContent::makeContext(const DesktopWindowSetup& setup) {
    WebKitWebsiteDataManager* manager = nullptr;
    if (setup.webDataFolder.empty()) {
        manager = webkit_website_data_manager_new_ephemeral();
    } else {
        // Our own folders first, so that they are private to the user from the start.
        const PathText data = setup.webDataFolder + "/data";
        const PathText cache = setup.webDataFolder + "/cache";
        createDirectories(data);
        createDirectories(cache);
        manager = webkit_website_data_manager_new("base-data-directory", data.c_str(), "base-cache-directory", cache.c_str(), nullptr);
    }
    WebKitWebContext* context = webkit_web_context_new_with_website_data_manager(manager);
    g_object_unref(manager);
    return context;
}

WebViewContent::WebViewContent(const DesktopWindowSetup& setup, const DesktopWindowEvents& events)
    : events_(events), automationName_(setup.automationName) {
    WebKitWebContext* context = makeContext(setup);
    WebKitUserContentManager* manager = webkit_user_content_manager_new();
    listenToChannels(manager, setup.pageChannels);
    if (!automationName_.empty()) allowAutomation(context);

    // The bundle's files are one origin with the page, so that its errors are not hidden from it.
    WebKitSettings* settings = webkit_settings_new_with_settings("allow-file-access-from-file-urls", TRUE, nullptr);
    view_ = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, "user-content-manager", manager, "settings",
                                         settings, "is-controlled-by-automation", automationName_.empty() ? FALSE : TRUE, nullptr));
    g_object_unref(settings);
    g_object_ref_sink(view_);
    g_object_unref(manager);
    g_object_unref(context);
    g_signal_connect(view_, "decide-policy", G_CALLBACK(onDecidePolicy), this);
    g_signal_connect(view_, "context-menu", G_CALLBACK(onContextMenu), nullptr);
    if (!automationName_.empty()) g_signal_connect(view_, "close", G_CALLBACK(onClose), this);
}

WebViewContent::~WebViewContent() {
    g_signal_handlers_disconnect_by_data(view_, this);
    g_object_unref(view_);
}

void WebViewContent::listenToChannels(WebKitUserContentManager* manager, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        channels_.push_back(std::make_unique<Channel>(Channel{this, name}));
        // Connected before the name is registered, so that no message can come unheard.
        g_signal_connect(manager, ("script-message-received::" + name).c_str(), G_CALLBACK(onScriptMessage), channels_.back().get());
        webkit_user_content_manager_register_script_message_handler(manager, name.c_str());
    }
}

void WebViewContent::allowAutomation(WebKitWebContext* context) {
    webkit_web_context_set_automation_allowed(context, TRUE);
    g_signal_connect(context, "automation-started", G_CALLBACK(onAutomationStarted), this);
}

void WebViewContent::showPage(std::string_view html, std::string_view baseUri) {
    pageBase_.assign(baseUri);
    showingPage_ = true;
    webkit_web_view_load_html(view_, std::string(html).c_str(), pageBase_.c_str());
}

void WebViewContent::runScript(std::string_view script) {
    if (!showingPage_) return;
    webkit_web_view_evaluate_javascript(view_, script.data(), static_cast<gssize>(script.size()), nullptr, nullptr, nullptr, nullptr, nullptr);
}

void WebViewContent::showText(std::string_view text) {
    showingPage_ = false;
    webkit_web_view_load_plain_text(view_, std::string(text).c_str());
}

void WebViewContent::onScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
    const Channel& channel = *static_cast<Channel*>(data);
    JSCValue* value = webkit_javascript_result_get_js_value(result);
    // Only text crosses; anything else a page posts is not ours.
    if (!jsc_value_is_string(value) || !channel.self->events_.pageMessage) return;
    gchar* text = jsc_value_to_string(value);
    std::string message(text);
    g_free(text);
    channel.self->events_.pageMessage(channel.name, std::move(message));
}

void WebViewContent::onAutomationStarted(WebKitWebContext*, WebKitAutomationSession* session, gpointer data) {
    auto* self = static_cast<WebViewContent*>(data);
    WebKitApplicationInfo* info = webkit_application_info_new();
    webkit_application_info_set_name(info, self->automationName_.c_str());
    webkit_automation_session_set_application_info(session, info);
    webkit_application_info_unref(info);
    g_signal_connect(session, "create-web-view", G_CALLBACK(onCreateWebView), self);
}

WebKitWebView* WebViewContent::onCreateWebView(WebKitAutomationSession*, gpointer data) {
    // The driver gets the one view there is, with the page already in it.
    return static_cast<WebViewContent*>(data)->view_;
}

void WebViewContent::onClose(WebKitWebView*, gpointer data) {
    auto* self = static_cast<WebViewContent*>(data);
    if (self->events_.automationClosed) self->events_.automationClosed();
}

// Every frame stays inside the bundle's folder: the page's message channels reach the whole module,
// so no other site may ever be loaded into the view.
gboolean WebViewContent::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer data) {
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
    auto* self = static_cast<WebViewContent*>(data);
    WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    const std::string_view uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    const bool ours = startsWith(uri, "about:") || (!self->pageBase_.empty() && startsWith(uri, self->pageBase_));
    if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && ours)
        webkit_policy_decision_use(decision);
    else
        webkit_policy_decision_ignore(decision);
    return TRUE;
}

// An application, not a browser: no reload, back or developer tools from a right click.
gboolean WebViewContent::onContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*, gpointer) { return TRUE; }

}  // namespace varnel::platform
