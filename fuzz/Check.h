#pragma once

#include <cstdio>
#include <cstdlib>

namespace fuzzing {

// Ends the fuzzer as a finding when a rule does not hold, saying which: the input is saved as
// crash-*.
inline void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "==fuzz== %s\n", what);
        std::abort();
    }
}

} // namespace fuzzing
