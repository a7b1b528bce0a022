#include "support/write_stress.h"

namespace varnel::test {

// Readers that never let go: every moment of every write is exposed to them.
WriteStress writeStressForThisSystem() { return WriteStress{.writers = 20, .readers = 4, .rounds = 300}; }

}  // namespace varnel::test
