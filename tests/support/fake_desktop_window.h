#pragma once
// A desktop window that records each call ("page BASEURI\nHTML", "script TEXT", "text TEXT", "present",
// "hide", "quit"). Posted tasks wait until the test runs them (runPosted), standing in for the window thread.

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/desktop_window.h"

namespace varnel::test {

class FakeDesktopWindow final : public platform::DesktopWindow, public platform::WindowContent {
    template <class F>
    auto locked(F f) const {
        std::lock_guard lock(mutex_);
        return f();
    }

public:
    platform::WindowContent& content() override { return *this; }
    void hide() override { record("hide"); }
    void present() override { record("present"); }
    void run() override {}
    void quit() override { record("quit"); }
    void post(std::function<void()> task) override { locked([&] { posted_.push_back(std::move(task)); }); }
    void showPage(std::string_view html, std::string_view baseUri) override { record("page " + std::string(baseUri) + "\n" + std::string(html)); }
    void runScript(std::string_view script) override { record("script " + std::string(script)); }
    void showText(std::string_view text) override { record("text " + std::string(text)); }
    bool hasWebView() const override { return webView; }
    bool webView = true;  // false: a build without a web engine; set before the window is used

    void runPosted() {
        std::deque<std::function<void()>> batch;
        locked([&] { batch.swap(posted_); });
        for (auto& task : batch) task();
    }
    std::vector<std::string> calls() const { return locked([&] { return calls_; }); }

private:
    void record(std::string call) { locked([&] { calls_.push_back(std::move(call)); }); }

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    std::deque<std::function<void()>> posted_;
};

}  // namespace varnel::test
