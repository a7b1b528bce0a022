#include "support/instance_delivery.h"

namespace varnel::test {

bool claimDeliversShowRequests() { return true; }

}  // namespace varnel::test
