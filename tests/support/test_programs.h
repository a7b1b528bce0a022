#pragma once
// Where the small programs of tests/programs are built: varnel_NAME, with the system's executable suffix.

#include <string>

#include "platform/process_suffix.h"

namespace varnel::test {

inline std::string testProgramPath(const std::string& name) {
    return std::string(VARNEL_TEST_PROGRAMS) + "/varnel_" + name + platform::kExecutableSuffix;
}

}  // namespace varnel::test
