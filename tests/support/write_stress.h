#pragma once
// Writers storing different values under one user default at the same moment, with readers reading
// it meanwhile. Each value is one letter repeated to a length of its own, so a read that mixes or
// cuts values, or sees a file half-written, matches none of them.

#include <chrono>
#include <ostream>

#include "storage/data_folder.h"

namespace varnel::test {

struct WriteStress {
    int writers = 20;
    int readers = 4;
    int rounds = 300;
    // How long a reader lets go of the file between two reads.
    std::chrono::milliseconds readerPause{0};
};

struct WriteStressFigures {
    int reads = 0;
    int tornReads = 0;
    int tornFinalFiles = 0;
    int failedWrites = 0;
};

std::ostream& operator<<(std::ostream& out, const WriteStressFigures& f);

// The stress this system's build runs (support/posix, support/win32).
WriteStress writeStressForThisSystem();

WriteStressFigures stressOneUserDefault(const storage::DataFolder& data, const WriteStress& stress);

}  // namespace varnel::test
