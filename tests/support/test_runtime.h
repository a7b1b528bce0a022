#pragma once
// A runtime that reaches nothing of the machine's (data in a temporary folder, secrets in memory, no
// program, OpenVPN, adapter, tray, dialog or kill-switch service real); adjust puts real pieces in place.

#include <functional>
#include <memory>

#include "module/runtime.h"
#include "support/fake_credential_store.h"
#include "support/fake_process_launcher.h"
#include "support/fake_tray_shell.h"
#include "support/loopback_server.h"
#include "support/temp_dir.h"

namespace varnel::test {

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
