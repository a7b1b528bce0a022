#pragma once
// Where the running program lives.

#include "platform/files.h"

namespace varnel::platform {

// The full path of the running executable; empty when the system cannot say.
PathText ownExecutablePath();

// The folder of a file's path, cut as the system cuts it: the last component goes, and with it the
// separator before it unless that separator is the root's, which stays ("C:\VarnelVPN.exe" gives
// "C:\", "/varnel-vpn" gives "/"). Windows cuts within a buffer of 260 units (PathCchRemoveFileSpec);
// a longer path gives "".
PathText folderOfPath(const PathText& path);

}  // namespace varnel::platform
