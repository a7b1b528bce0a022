#include "support/environment.h"

#include <windows.h>

#include "platform/text.h"

namespace varnel::test {

// Child processes started with no environment block of their own get this process's current one.
void setEnvironmentVariable(const std::string& name, const std::string& value) {
    const std::u16string wideName = platform::utf8ToWide(name), wideValue = platform::utf8ToWide(value);
    SetEnvironmentVariableW(reinterpret_cast<LPCWSTR>(wideName.c_str()), reinterpret_cast<LPCWSTR>(wideValue.c_str()));
}

std::string sessionBusNeededButMissing() { return {}; }

}  // namespace varnel::test
