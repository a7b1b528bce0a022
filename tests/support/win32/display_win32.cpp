#include "support/display.h"

namespace varnel::test {

std::string dialogCannotBeDeniedADisplay() {
    return "GetOpenFileNameW opens a real dialog wherever a window can be created, whatever DISPLAY says";
}

}  // namespace varnel::test
