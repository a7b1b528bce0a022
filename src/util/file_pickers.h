#pragma once
// The two open-file pickers. Each runs its dialog on a detached worker and resolves from there; an
// empty object means the user cancelled or the dialog failed.

#include <memory>

#include "bridge/js_value.h"
#include "bridge/promise.h"
#include "platform/file_dialog.h"
#include "platform/thread.h"

namespace varnel::util {

void pickApp(platform::ThreadLauncher& threads, std::shared_ptr<platform::FileDialog> dialog, const bridge::Promise<bridge::JSValueObject>& promise);
void pickOvpnFile(platform::ThreadLauncher& threads, std::shared_ptr<platform::FileDialog> dialog, const bridge::Promise<bridge::JSValueObject>& promise);

}  // namespace varnel::util
