#pragma once
// Windows Sockets 2.2, started once for the whole process on first use and cleaned up at exit; the
// start's result is ignored. Every Win32 file that uses sockets or name resolution calls this first.

namespace varnel::platform {

void ensureWinsock();

}  // namespace varnel::platform
