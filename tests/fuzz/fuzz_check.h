#pragma once
// A property a fuzz target holds its code to. A broken one aborts, which libFuzzer reports as a crash
// and keeps the input that caused it.

#include <cstdio>
#include <cstdlib>

namespace varnel::fuzz {

inline void require(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "fuzz property broken: %s\n", property);
    std::abort();
}

}  // namespace varnel::fuzz
