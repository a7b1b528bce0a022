#include "app/module_registry.h"

namespace varnel {

namespace {

class Recorder final : public bridge::ModuleBuilder {
public:
    explicit Recorder(ModuleRegistry::Module& module) : module_(module) {}
    void AddInitializer(bridge::InitializerDelegate initializer) override {
        module_.initializers.push_back(std::move(initializer));
        module_.memberOrder.emplace_back("initializer");
    }
    void AddMethod(std::string name, bridge::MethodKind, bridge::MethodDelegate delegate) override {
        module_.memberOrder.push_back(name);
        module_.methods.emplace(std::move(name), std::move(delegate));
    }
    void AddConstantProvider(bridge::ConstantProvider provider) override {
        module_.constantProviders.push_back(std::move(provider));
        module_.memberOrder.emplace_back("constants");
    }

private:
    ModuleRegistry::Module& module_;
};

}  // namespace

void ModuleRegistry::AddTurboModule(std::string name, bridge::ModuleProvider provider) {
    auto module = std::make_unique<Module>();
    module->name = std::move(name);
    Recorder recorder(*module);
    module->instance = provider(recorder);
    modules_.push_back(std::move(module));
}

void ModuleRegistry::initializeAll(const bridge::ReactContextPtr& context) {
    for (const auto& module : modules_)
        for (const auto& initializer : module->initializers) initializer(context);
}

const ModuleRegistry::Module* ModuleRegistry::find(std::string_view moduleName) const {
    for (const auto& module : modules_)
        if (module->name == moduleName) return module.get();
    return nullptr;
}

const bridge::MethodDelegate* ModuleRegistry::findMethod(std::string_view moduleName, std::string_view methodName) const {
    const Module* module = find(moduleName);
    if (module == nullptr) return nullptr;
    auto it = module->methods.find(methodName);
    return it == module->methods.end() ? nullptr : &it->second;
}

}  // namespace varnel
