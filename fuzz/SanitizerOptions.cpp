// The sanitizers' settings for every fuzz target, however it is started.

extern "C" {

// Freed memory stays with the fuzzer: handing it back to the system can stall a busy machine for
// longer than libFuzzer allows an input on the wall clock.
const char* __asan_default_options() {
    return "allocator_release_to_os_interval_ms=-1";
}

const char* __ubsan_default_options() {
    return "print_stacktrace=1";
}
}
