#include "platform/device_info.h"
#include "platform/files.h"
#include "platform/text.h"

namespace varnel::platform {

const char* const kDeviceFallbackName = "Linux PC";

namespace {

// The same limit as the Windows registry read: a value of more than 511 units counts as empty.
constexpr std::size_t kMaxUnits = 511;

std::u16string readDmiString(const char* name) {
    std::string bytes = readWholeFile(std::string("/sys/class/dmi/id/") + name).value_or(std::string());
    // The kernel ends each value with a line feed of its own; the text stops at a NUL as a registry
    // string does.
    if (!bytes.empty() && bytes.back() == '\n') bytes.pop_back();
    if (const auto nul = bytes.find('\0'); nul != std::string::npos) bytes.resize(nul);
    std::u16string text = utf8ToWide(bytes);
    if (text.size() > kMaxUnits) return {};
    return text;
}

class DmiDeviceInfo final : public DeviceInfoSource {
public:
    std::u16string productName() override { return readDmiString("product_name"); }
    std::u16string manufacturer() override { return readDmiString("sys_vendor"); }
};

}  // namespace

std::shared_ptr<DeviceInfoSource> systemDeviceInfo() { return std::make_shared<DmiDeviceInfo>(); }

}  // namespace varnel::platform
