#include "platform/console.h"
#include "platform/desktop_entry.h"

int main(int argc, char** argv) { return varnel::desktopMain(varnel::platform::commandLineArguments(argc, argv)); }
