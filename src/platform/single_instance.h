#pragma once
// One running instance of the desktop application per user session. The first start holds a claim
// for as long as it runs; a later start asks the first one to show its window and then ends.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/files.h"

namespace varnel::platform {

struct SingleInstanceSetup {
    std::string name;  // the named mutex on Windows; the lock file's and socket's name on Linux
    // Windows: the first instance's tray window and the message a later start posts to it; the main
    // window found by title when there is no tray window yet.
    std::u16string trayWindowClass;
    std::uint32_t showAppMessage = 0;
    std::u16string mainWindowTitle;
    // Linux: where the lock file and the socket live. Empty: $XDG_RUNTIME_DIR, else a folder of the
    // user's own under /tmp.
    PathText folder;
};

// Held by the first instance until it ends; letting go of it lets a later start become the first.
class InstanceClaim {
public:
    virtual ~InstanceClaim() = default;
    // From now on every later start's request to show the window calls showRequested on a thread of
    // the claim's; requests made before this call are delivered now. Called once. Where the system
    // hands those requests to the tray window itself (Windows), showRequested is never called.
    virtual void deliverShowRequests(std::function<void()> showRequested) = 0;
};

enum class InstanceRole { First, Second };

struct InstanceStart {
    InstanceRole role = InstanceRole::First;
    // The first instance's claim; null for a second start, and for a first start whose claim could
    // not be made (it runs unguarded, as it would if the mutex could not be created).
    std::unique_ptr<InstanceClaim> claim;
};

// A second start has asked the first to show its window (as far as it could reach it) when this
// returns; it does not wait for the window.
InstanceStart claimSingleInstance(const SingleInstanceSetup& setup);

}  // namespace varnel::platform
