#include "support/instance_delivery.h"

namespace varnel::test {

bool claimDeliversShowRequests() { return false; }

}  // namespace varnel::test
