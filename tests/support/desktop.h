#pragma once
// The desktop as tray tests see it: whether the system shows notification icons here, a stand-in
// for the main window, and questions put to the shell about our icon.

#include <cstdint>
#include <memory>
#include <string>

namespace varnel::test {

// Why windows cannot be made here (Windows without a display), or "" when they can or none are needed.
std::string desktopMissingReason();
// Whether this build's shell takes notification icons (the Linux headless host refuses them).
bool shellShowsIcons();

// A hidden top-level window with the given title, run by a thread of its own so that other threads
// can show it. Not valid where the build has no windows.
class StandInWindow {
public:
    explicit StandInWindow(const std::u16string& title);
    ~StandInWindow();
    StandInWindow(const StandInWindow&) = delete;
    StandInWindow& operator=(const StandInWindow&) = delete;

    bool valid() const;
    bool visible() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// Whether the shell holds the icon 1 of window; asks it to change nothing.
bool shellHasIcon(std::uintptr_t window);
// Removes that icon behind the tray's back, as a restarted shell would have lost it.
void dropIconFromShell(std::uintptr_t window);

}  // namespace varnel::test
