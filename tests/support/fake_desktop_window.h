#pragma once
// A desktop window that records what it is asked to show and do. Tasks posted to it wait until the
// test runs them (runPosted), on the test's thread, standing in for the window thread.
// mutex_ guards everything; the tasks run outside it.

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/desktop_window.h"

namespace varnel::test {

struct WindowCall {
    std::string what;  // "page", "script", "text", "present", "hide", "quit"
    std::string text;  // the page's html, the script or the text
    std::string baseUri;
    bool operator==(const WindowCall&) const = default;
};

class FakeDesktopWindow final : public platform::DesktopWindow, public platform::WindowContent {
public:
    platform::WindowContent& content() override { return *this; }
    void hide() override { record({"hide", {}, {}}); }
    void present() override { record({"present", {}, {}}); }
    bool visible() const override {
        std::lock_guard lock(mutex_);
        for (auto it = calls_.rbegin(); it != calls_.rend(); ++it)
            if (it->what == "present" || it->what == "hide") return it->what == "present";
        return false;
    }
    void run() override {}
    void quit() override { record({"quit", {}, {}}); }
    void post(std::function<void()> task) override {
        std::lock_guard lock(mutex_);
        posted_.push_back(std::move(task));
    }

    void showPage(std::string_view html, std::string_view baseUri) override { record({"page", std::string(html), std::string(baseUri)}); }
    void runScript(std::string_view script) override { record({"script", std::string(script), {}}); }
    void showText(std::string_view text) override { record({"text", std::string(text), {}}); }
    bool hasWebView() const override { return webView; }
    // Set before the window is used: false stands for a build without a web engine.
    bool webView = true;

    // Runs the tasks posted so far, in order; returns how many ran.
    std::size_t runPosted() {
        std::deque<std::function<void()>> batch;
        {
            std::lock_guard lock(mutex_);
            batch.swap(posted_);
        }
        for (auto& task : batch) task();
        return batch.size();
    }

    std::vector<WindowCall> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    // The scripts run so far, in order.
    std::vector<std::string> scripts() const {
        std::vector<std::string> found;
        for (const WindowCall& call : calls())
            if (call.what == "script") found.push_back(call.text);
        return found;
    }

private:
    void record(WindowCall call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }

    mutable std::mutex mutex_;
    std::vector<WindowCall> calls_;
    std::deque<std::function<void()>> posted_;
};

}  // namespace varnel::test
