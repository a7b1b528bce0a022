#pragma once
// The host side of module registration, shared by every host we build: it keeps each module's
// instance and members in the order they were added, runs the initialisers, and finds methods.
// Filled once before calls start; only read afterwards, so it needs no lock.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bridge/host_interface.h"

namespace varnel {

class ModuleRegistry final : public bridge::PackageBuilder {
public:
    struct Module {
        std::string name;
        std::shared_ptr<void> instance;
        std::vector<bridge::InitializerDelegate> initializers;
        std::map<std::string, bridge::MethodDelegate, std::less<>> methods;
        std::vector<bridge::ConstantProvider> constantProviders;
        // Every member as it was added: "initializer", "constants" or the method's name.
        std::vector<std::string> memberOrder;
    };

    void AddTurboModule(std::string name, bridge::ModuleProvider provider) override;

    // Runs every module's initialisers in registration order with the host's context.
    void initializeAll(const bridge::ReactContextPtr& context);

    const Module* find(std::string_view moduleName) const;
    const bridge::MethodDelegate* findMethod(std::string_view moduleName, std::string_view methodName) const;
    const std::vector<std::unique_ptr<Module>>& modules() const { return modules_; }

private:
    std::vector<std::unique_ptr<Module>> modules_;
};

}  // namespace varnel
