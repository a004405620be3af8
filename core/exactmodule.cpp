// The entry point of the math module (tapecalc-math), which a program loads at the first
// function key: MPFR and GMP stay out of its start.
#include "core/exactmath.h"

#if defined(_WIN32)
#define TAPECALC_EXPORT __declspec(dllexport)
#else
#define TAPECALC_EXPORT __attribute__((visibility("default")))
#endif

extern "C" TAPECALC_EXPORT const tapecalc::ExactFunctions *tapecalc_exact_functions_1() {
    return &tapecalc::exact::functions;
}
