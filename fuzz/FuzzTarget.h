#pragma once

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/time.h>
#include <unistd.h>

namespace fuzzing {

// What a target checks of each input: a check that fails ends the fuzzer as a crash, which saves
// the input, after saying what did not hold.
inline void Check(bool condition, const char* what = "a check failed") {
    if (!condition) {
        std::fprintf(stderr, "fuzz: %s\n", what);
        std::abort();
    }
}

// An input counts as a hang once it has used a second of the processor's time. libFuzzer's own
// timeout measures the wall clock, which a loaded machine stretches many times over for an
// input that is not slow at all; it stays on, much longer, for an input stuck waiting. An input
// over budget ends the fuzzer as a crash, which saves the input as crash-*.
class TCpuBudget {
public:
    TCpuBudget() { Arm(1); }
    ~TCpuBudget() { Arm(0); }
    TCpuBudget(const TCpuBudget&) = delete;
    TCpuBudget& operator=(const TCpuBudget&) = delete;

private:
    static void Arm(long seconds) {
        static const bool handled = [] {
            std::signal(SIGPROF, &OverBudget);
            return true;
        }();
        (void)handled;
        itimerval budget{};
        budget.it_value.tv_sec = seconds;
        ::setitimer(ITIMER_PROF, &budget, nullptr);
    }

    static void OverBudget(int) {
        static const char message[] =
            "\n==fuzz== the input used a second of processor time: a hang\n";
        (void)!::write(STDERR_FILENO, message, sizeof message - 1);
        std::abort();
    }
};

} // namespace fuzzing
