#pragma once
// Where the management reader hands over to the kill switch when a wanted session drops.

namespace varnel {

struct Runtime;

// Sends the kill-switch service the rules for the last server again, so that traffic stays blocked
// while the session is wanted.
void reengageKillSwitchAfterDrop(Runtime& runtime);

}  // namespace varnel
