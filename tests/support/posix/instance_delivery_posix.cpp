#include "support/instance_delivery.h"

bool varnel::test::claimDeliversShowRequests() { return true; }
