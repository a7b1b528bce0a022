#include "support/test_runtime.h"

#include "platform/listener.h"
#include "support/fake_file_dialog.h"
#include "support/fake_network.h"
#include "support/killswitch_service_double.h"
#include "support/openvpn_pair.h"

namespace varnel::test {

namespace {

struct BlankDeviceInfo final : platform::DeviceInfoSource {
    std::u16string productName() override { return {}; }
    std::u16string manufacturer() override { return {}; }
};

RuntimeServices adjusted(const TestRuntimeParts& parts, const std::function<void(RuntimeServices&)>& adjust) {
    RuntimeServices services = testServices(parts);
    if (adjust) adjust(services);
    return services;
}

}  // namespace

RuntimeServices testServices(const TestRuntimeParts& parts) {
    RuntimeServices services;
    services.threads = platform::systemThreadLauncher();
    services.localDataFolder = parts.temp.path().native();
    services.credentials = parts.secrets;
    services.managementPort = parts.managementPort.port();
    services.killSwitchChannel = absentKillSwitchChannel();
    services.executablePath = (parts.temp.path() / "bin" / "varnel").native();
    services.discovery = {[](const platform::PathText&) { return platform::PathText(); },
                          [](const platform::PathText&) { return platform::PathText(); }};
    services.trustListener = platform::listenerIsOpenVpn;
    services.launcher = parts.launcher;
    services.deviceInfo = std::make_shared<BlankDeviceInfo>();
    services.fileDialog = std::make_shared<FakeFileDialog>(std::nullopt);
    services.adapters = std::make_shared<FakeNetworkAdapters>();
    services.clock = std::make_shared<FakeClock>();
    services.trayShell = parts.trayShell;
    return services;
}

void useRealOpenVpn(RuntimeServices& services) {
    services.launcher = platform::systemProcessLauncher();
    services.discovery = systemOpenVpnDiscovery();
    services.adapters = platform::systemNetworkAdapters();
    services.clock = platform::systemClock();
    services.managementPort = freeLoopbackPort();
}

TestRuntime::TestRuntime(const std::function<void(RuntimeServices&)>& adjust) : Runtime(adjusted(*this, adjust)) {}

std::shared_ptr<TestRuntime> makeTestRuntime(const std::function<void(RuntimeServices&)>& adjust) {
    return std::make_shared<TestRuntime>(adjust);
}

}  // namespace varnel::test
