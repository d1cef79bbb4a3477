// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every fuzz target shares: the libFuzzer entry points and a check that
// stays in release builds. A failed check prints what failed and aborts, which
// libFuzzer and the regression driver both report together with the input.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: Eigenschaft verletzt: %s\n", __FILE__, __LINE__,          \
                         #condition);                                                              \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
