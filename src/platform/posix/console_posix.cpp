#include "platform/console.h"

namespace varnel::platform {

std::vector<std::string> commandLineArguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

// POSIX streams never translate line ends.
void useBinaryStdio() {}

}  // namespace varnel::platform
