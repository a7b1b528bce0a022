#pragma once
// Names of the temporary files that atomic writes rename over their targets.

#include <string>

namespace varnel::platform {

// A fresh ASCII file name, different on every call in this process and, with the process id and
// the clock, from other processes' names. "~" never survives in a user default's file name and the
// extension ".tmp" is never a configuration's ".ovpn", so a leftover is never taken for either.
std::string temporaryFileName(unsigned long processId);

}  // namespace varnel::platform
