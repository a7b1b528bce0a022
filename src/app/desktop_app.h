#pragma once
// The desktop application (`varnel-vpn` on Linux, `VarnelVPN.exe` on Windows): one instance per user
// session, the main window with the interface bundle (or the JSON-lines protocol on standard input
// and output), the modules, the tray.

#include "app/desktop_options.h"

namespace varnel {

inline constexpr char kDesktopProgramName[] = "varnel-vpn";
inline constexpr char kSingleInstanceName[] = "VarnelMac-SingleInstance";
inline constexpr int kMainWindowWidth = 1280;
inline constexpr int kMainWindowHeight = 860;
inline constexpr int kMainWindowMinWidth = 1180;
inline constexpr int kMainWindowMinHeight = 680;
// Set (to anything) to have the time from start to the page's first frame written to standard error.
inline constexpr char kReportFirstFrameVariable[] = "VARNEL_REPORT_FIRST_FRAME";

// Runs the application on the calling thread (the process's first), which becomes the window thread;
// returns the exit code when it cannot run or another instance runs, and otherwise ends the process
// itself.
int runDesktopApp(const DesktopOptions& options);

}  // namespace varnel
