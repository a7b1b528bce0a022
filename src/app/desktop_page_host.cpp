#include "app/desktop_page_host.h"

namespace varnel {

namespace {

// Hands each output line to the page; the window is held weakly, since the host that keeps this sink
// may outlive it in a test.
HostLineSink pageSink(const std::shared_ptr<platform::DesktopWindow>& window) {
    std::weak_ptr<platform::DesktopWindow> weak = window;
    return [weak](std::string line, HostLineKind) {
        const std::shared_ptr<platform::DesktopWindow> target = weak.lock();
        if (!target) return;
        target->post([weak, line = std::move(line)] {
            if (auto shown = weak.lock()) shown->content().runScript("window.__varnelHost._receive(" + line + ");");
        });
    };
}

}  // namespace

DesktopPageHost::DesktopPageHost(const std::shared_ptr<Runtime>& runtime, std::shared_ptr<platform::DesktopWindow> window,
                                 BundleLocation bundle, std::function<void()> firstFrame)
    : window_(std::move(window)), bundle_(std::move(bundle)), firstFrame_(std::move(firstFrame)), host_(runtime, pageSink(window_)) {}

void DesktopPageHost::start() {
    if (!window_->content().hasWebView()) return showWithoutInterface(noWebViewText(bundle_));
    if (const std::optional<std::string> problem = bundleProblem(bundle_.file)) return fail(*problem);
    window_->content().showPage(desktopPageHtml(describeModules(host_.registry())), bundle_.baseUri);
}

void DesktopPageHost::pageMessage(const std::string& channel, std::string text) {
    if (channel == kRequestChannel) {
        interfaceThread_.post([this, line = std::move(text)] { host_.handleLine(line); });
        return;
    }
    if (channel != kHostChannel) return;
    const HostReport report = parseHostReport(text);
    if (report.kind == HostReport::Kind::Failed) fail(report.reason);
    if (report.kind == HostReport::Kind::FirstFrame && firstFrame_) firstFrame_();
}

void DesktopPageHost::fail(const std::string& reason) { showWithoutInterface(bundleFailureText(bundle_.file, reason)); }

void DesktopPageHost::showWithoutInterface(const std::string& text) {
    window_->content().showText(text);
    // Without an interface nobody asks for the module, yet the icon and a later start must still
    // reach this instance.
    interfaceThread_.post([this] { host_.initializeModules(); });
}

}  // namespace varnel
