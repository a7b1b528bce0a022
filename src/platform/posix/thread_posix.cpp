#include "platform/thread.h"

#include <pthread.h>

namespace varnel::platform {

namespace {

void* threadMain(void* parameter) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
    (*body)();
    return nullptr;
}

class PosixThreadLauncher final : public ThreadLauncher {
public:
    bool startDetached(std::function<void()> body) override {
        auto parameter = std::make_unique<std::function<void()>>(std::move(body));
        pthread_t thread;
        if (pthread_create(&thread, nullptr, threadMain, parameter.get()) != 0) return false;
        parameter.release();  // the thread owns it now
        pthread_detach(thread);
        return true;
    }
};

}  // namespace

std::shared_ptr<ThreadLauncher> systemThreadLauncher() { return std::make_shared<PosixThreadLauncher>(); }

}  // namespace varnel::platform
