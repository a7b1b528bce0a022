#pragma once
// A handle's owner. None is INVALID_HANDLE_VALUE (all ones), the platform's invalid value, never
// zero: a call that reports failure with NULL instead (OpenProcess, _beginthreadex, a process that
// ShellExecuteExW did not start) is checked where it is made, before its handle is owned.

#include <windows.h>

#include "platform/unique_resource.h"

namespace varnel::platform {

// A kernel object's handle, closed with CloseHandle. Handles that an API closes with its own call
// take traits of their own with the same none.
struct HandleTraits {
    using Native = HANDLE;
    static HANDLE none() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE handle) { CloseHandle(handle); }
};

using UniqueHandle = UniqueResource<HandleTraits>;

}  // namespace varnel::platform
