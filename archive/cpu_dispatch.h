// The decoding loops are built twice on x86-64 with GCC: for the baseline and for
// x86-64-v3 (BMI2's flag-free shifts, LZCNT/TZCNT, AVX2), which the loader picks
// when the processor has it. Elsewhere the attribute is empty.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && defined(__linux__)
#define ACE_DISPATCHED __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define ACE_DISPATCHED
#endif
