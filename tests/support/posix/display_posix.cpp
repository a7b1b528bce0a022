#include "support/display.h"

namespace varnel::test {

std::string dialogCannotBeDeniedADisplay() { return {}; }

}  // namespace varnel::test
