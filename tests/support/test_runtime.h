#pragma once
// A runtime that reaches nothing of the machine's: its data folder lies in a temporary folder of its
// own, removed with it; its secrets are in memory; no program is launched, no OpenVPN is found, no
// adapter, tray or dialog is real, its management port is one nobody listens on, and no kill-switch
// service answers unless a test starts one. A test that needs a real piece puts it in place through
// the adjust function, before the runtime is made.

#include <functional>
#include <memory>

#include "module/runtime.h"
#include "support/fake_credential_store.h"
#include "support/fake_process_launcher.h"
#include "support/fake_tray_shell.h"
#include "support/loopback_server.h"
#include "support/temp_dir.h"

namespace varnel::test {

// The test's own pieces, made before the runtime that uses them.
struct TestRuntimeParts {
    TempDir temp;
    ReservedPort managementPort;
    std::shared_ptr<FakeCredentialStore> secrets = std::make_shared<FakeCredentialStore>();
    std::shared_ptr<FakeProcessLauncher> launcher = std::make_shared<FakeProcessLauncher>();
    std::shared_ptr<FakeTrayShell> trayShell = std::make_shared<FakeTrayShell>();
};

// The services such a runtime is made of, after adjust has changed what it wants.
RuntimeServices testServices(const TestRuntimeParts& parts, const std::function<void(RuntimeServices&)>& adjust = {});

struct TestRuntime : TestRuntimeParts, Runtime {
    explicit TestRuntime(const std::function<void(RuntimeServices&)>& adjust = {});
};

std::shared_ptr<TestRuntime> makeTestRuntime(const std::function<void(RuntimeServices&)>& adjust = {});

// For tests that say they run real processes: the system's launcher, OpenVPN discovery, adapters and
// clock, and a management port left free for OpenVPN to listen on; everything else is the test's own.
void useRealOpenVpn(RuntimeServices& services);

}  // namespace varnel::test
