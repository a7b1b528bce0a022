#include <windows.h>

#include "platform/device_info.h"

namespace varnel::platform {

const char* const kDeviceFallbackName = "Windows PC";

namespace {

// Each value opens and closes the key anew, in the 64-bit view (KEY_READ | KEY_WOW64_64KEY).
std::u16string readBiosString(const wchar_t* valueName) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\BIOS", 0, 0x20119, &key) != ERROR_SUCCESS) return {};
    wchar_t buffer[512] = {};
    DWORD size = sizeof buffer;
    DWORD type = 0;
    std::u16string text;
    const LONG status = RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    if (status == ERROR_SUCCESS && type == REG_SZ) {
        // A value that fills the buffer without a NUL is cut at the buffer's end, never read past it.
        std::size_t length = 0;
        while (length < 512 && buffer[length] != L'\0') ++length;
        text.assign(reinterpret_cast<const char16_t*>(buffer), length);
    }
    RegCloseKey(key);
    return text;
}

class RegistryDeviceInfo final : public DeviceInfoSource {
public:
    std::u16string productName() override { return readBiosString(L"SystemProductName"); }
    std::u16string manufacturer() override { return readBiosString(L"SystemManufacturer"); }
};

}  // namespace

std::shared_ptr<DeviceInfoSource> systemDeviceInfo() { return std::make_shared<RegistryDeviceInfo>(); }

}  // namespace varnel::platform
