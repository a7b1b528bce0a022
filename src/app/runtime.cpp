#include "app/runtime.h"

#include "tunnel/management_reader.h"

namespace varnel {

Runtime::~Runtime() { stopManagementReader(*this); }

}  // namespace varnel
