#include "support/test_runtime.h"

#include "platform/listener.h"
#include "support/fake_file_dialog.h"
#include "support/fake_network.h"
#include "support/killswitch_service_double.h"
#include "support/openvpn_pair.h"

namespace varnel::test {

RuntimeServices testServices(const TestRuntimeParts& parts, const std::function<void(RuntimeServices&)>& adjust) {
    const auto nowhere = [](const platform::PathText&) { return platform::PathText(); };
    RuntimeServices services{
        .threads = platform::systemThreadLauncher(),
        .localDataFolder = parts.temp.path().native(),
        .credentials = parts.secrets,
        .managementPort = parts.managementPort.port(),
        .killSwitchChannel = absentKillSwitchChannel(),
        .executablePath = (parts.temp.path() / "bin" / "varnel").native(),
        .discovery = {nowhere, nowhere},
        .trustListener = platform::listenerIsOpenVpn,
        .launcher = parts.launcher,
        .deviceInfo = std::make_shared<FakeDeviceInfo>(),
        .fileDialog = std::make_shared<FakeFileDialog>(std::nullopt),
        .adapters = std::make_shared<FakeNetworkAdapters>(),
        .clock = std::make_shared<FakeClock>(),
        .trayShell = parts.trayShell};
    if (adjust) adjust(services);
    return services;
}

TestRuntime::TestRuntime(const std::function<void(RuntimeServices&)>& adjust) : Runtime(testServices(*this, adjust)) {}

std::shared_ptr<TestRuntime> makeTestRuntime(const std::function<void(RuntimeServices&)>& adjust) {
    return std::make_shared<TestRuntime>(adjust);
}

void useRealOpenVpn(RuntimeServices& services) {
    services.launcher = platform::systemProcessLauncher();
    services.discovery = tunnel::systemOpenVpnDiscovery();
    services.adapters = platform::systemNetworkAdapters();
    services.clock = platform::systemClock();
    services.managementPort = freeLoopbackPort();
}

}  // namespace varnel::test
