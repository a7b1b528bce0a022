#pragma once
// The desktop application's entry, behind the system's own entry point: wWinMain on the Windows GUI
// subsystem, main elsewhere (platform/<os>/desktop_entry_<os>.cpp, linked into the desktop program
// alone). The application defines desktopMain.

#include <string>
#include <vector>

namespace varnel {

// args: the command line as UTF-8, the program's name first. Returns the process's exit code.
int desktopMain(std::vector<std::string> args);

}  // namespace varnel
