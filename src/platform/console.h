#pragma once
// The process's own command line and standard streams.

#include <string>
#include <vector>

namespace varnel::platform {

// The command-line arguments as UTF-8, the program's name first.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// Standard input and output carry bytes unchanged: no CR LF translation and no end-of-file at Ctrl-Z.
void useBinaryStdio();

}  // namespace varnel::platform
