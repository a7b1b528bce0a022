#pragma once
// How the tray sends its two events to the interface without knowing the module. The module
// implements it; events sent before the module is initialised are dropped.

#include "bridge/js_value.h"

namespace varnel::tray {

class TrayEvents {
public:
    virtual ~TrayEvents() = default;
    // Any thread.
    virtual void EmitMenuBarAction(const bridge::JSValueObject& payload) const = 0;
    virtual void EmitAppWindowDidShow() const = 0;
};

}  // namespace varnel::tray
