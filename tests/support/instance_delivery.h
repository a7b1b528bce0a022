#pragma once
// Whether the build's single-instance claim itself hands later starts' requests to the first
// instance (Linux), rather than the system handing them to the tray window (Windows).

namespace varnel::test {
bool claimDeliversShowRequests();
}  // namespace varnel::test
