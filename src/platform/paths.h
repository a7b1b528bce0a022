#pragma once
// Where the running program lives.

#include "platform/files.h"

namespace varnel::platform {

// The full path of the running executable; empty when the system cannot say.
PathText ownExecutablePath();

}  // namespace varnel::platform
