#include "platform/process_suffix.h"

namespace varnel::platform { extern const char* const kExecutableSuffix = ""; }
