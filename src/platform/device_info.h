#pragma once
// The computer's BIOS strings: the registry's BIOS key on Windows, /sys/class/dmi/id on Linux.

#include <memory>
#include <string>

namespace varnel::platform {

class DeviceInfoSource {
public:
    virtual ~DeviceInfoSource() = default;
    // The value's text up to its first NUL; empty when it is missing, of another type or too long.
    virtual std::u16string productName() = 0;
    virtual std::u16string manufacturer() = 0;
};

std::shared_ptr<DeviceInfoSource> systemDeviceInfo();

// The name a device without usable BIOS strings goes by ("Windows PC", "Linux PC").
extern const char* const kDeviceFallbackName;

}  // namespace varnel::platform
