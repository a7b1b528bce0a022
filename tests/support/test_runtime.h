#pragma once
// A runtime that reaches nothing of the machine's (a temporary data folder, fakes elsewhere); adjust puts real pieces in.

#include <functional>
#include <memory>

#include "module/runtime.h"
#include "platform/device_info.h"
#include "support/fake_credential_store.h"
#include "support/fake_process_launcher.h"
#include "support/fake_tray_shell.h"
#include "support/loopback_server.h"
#include "support/temp_dir.h"

namespace varnel::test {

// The two BIOS strings as a test sets them, blank unless it does.
struct FakeDeviceInfo final : platform::DeviceInfoSource {
    std::u16string productName() override { return product; }
    std::u16string manufacturer() override { return maker; }
    std::u16string product, maker;
};

struct TestRuntimeParts {
    TempDir temp;
    ReservedPort managementPort;
    std::shared_ptr<FakeCredentialStore> secrets = std::make_shared<FakeCredentialStore>();
    std::shared_ptr<FakeProcessLauncher> launcher = std::make_shared<FakeProcessLauncher>();
    std::shared_ptr<FakeTrayShell> trayShell = std::make_shared<FakeTrayShell>();
};

RuntimeServices testServices(const TestRuntimeParts& parts, const std::function<void(RuntimeServices&)>& adjust = {});

struct TestRuntime : TestRuntimeParts, Runtime {
    explicit TestRuntime(const std::function<void(RuntimeServices&)>& adjust = {});
};

std::shared_ptr<TestRuntime> makeTestRuntime(const std::function<void(RuntimeServices&)>& adjust = {});

// The system's launcher, OpenVPN discovery, adapters and clock, and a free management port.
void useRealOpenVpn(RuntimeServices& services);

}  // namespace varnel::test
