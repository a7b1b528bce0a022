#pragma once
// A desktop window that records what it is asked to do, one text per call: "page BASEURI\nHTML",
// "script TEXT", "text TEXT", "present", "hide", "quit". Tasks posted to it wait until the test runs
// them (runPosted) on its own thread, standing in for the window thread. mutex_ guards everything;
// the tasks run outside it.

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/desktop_window.h"

namespace varnel::test {

class FakeDesktopWindow final : public platform::DesktopWindow, public platform::WindowContent {
public:
    platform::WindowContent& content() override { return *this; }
    void hide() override { record("hide"); }
    void present() override { record("present"); }
    bool visible() const override {
        std::lock_guard lock(mutex_);
        return visible_;
    }
    void run() override {}
    void quit() override { record("quit"); }
    void post(std::function<void()> task) override {
        std::lock_guard lock(mutex_);
        posted_.push_back(std::move(task));
    }
    void showPage(std::string_view html, std::string_view baseUri) override {
        record("page " + std::string(baseUri) + "\n" + std::string(html));
    }
    void runScript(std::string_view script) override { record("script " + std::string(script)); }
    void showText(std::string_view text) override { record("text " + std::string(text)); }
    bool hasWebView() const override { return webView; }
    bool webView = true;  // false stands for a build without a web engine; set before the window is used

    // Runs the tasks posted so far, in order.
    void runPosted() {
        std::deque<std::function<void()>> batch;
        {
            std::lock_guard lock(mutex_);
            batch.swap(posted_);
        }
        for (auto& task : batch) task();
    }
    std::vector<std::string> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    void record(std::string call) {
        std::lock_guard lock(mutex_);
        if (call == "present" || call == "hide") visible_ = call == "present";
        calls_.push_back(std::move(call));
    }

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    bool visible_ = false;
    std::deque<std::function<void()>> posted_;
};

}  // namespace varnel::test
