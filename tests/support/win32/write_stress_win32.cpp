#include "support/write_stress.h"

namespace varnel::test {

// Windows replaces no file that anyone holds open, so a writer waits for a moment between reads:
// one reader pauses between its reads, as the system's own readers do. Under Wine every file call
// goes through its server: 50 rounds (1,000 writes) keep the run to seconds.
WriteStress writeStressForThisSystem() {
    return WriteStress{.writers = 20, .readers = 1, .rounds = 50, .readerPause = std::chrono::milliseconds(1)};
}

}  // namespace varnel::test
