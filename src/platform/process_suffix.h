#pragma once
// The file-name ending of executables (".exe" on Windows, none on Linux).

namespace varnel::platform {

extern const char* const kExecutableSuffix;

}  // namespace varnel::platform
