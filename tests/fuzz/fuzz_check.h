// A check that stops the run with a message: a crash that libFuzzer records with its input.
#ifndef TAVUNE_TESTS_FUZZ_FUZZ_CHECK_H
#define TAVUNE_TESTS_FUZZ_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, ...)                                                                 \
    ((condition)                                                                                   \
         ? (void)0                                                                                 \
         : (std::fprintf(stderr, "%s:%d: check failed: %s: ", __FILE__, __LINE__, #condition),     \
            std::fprintf(stderr, __VA_ARGS__), std::fputc('\n', stderr), std::abort()))

#endif
