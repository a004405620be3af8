// The function keys' correctly rounded sin, cos, tan, exp and log as a table: MPFR's
// (core/exactmath.h), which a program may load only when a function key first needs them.
#pragma once

namespace tapecalc {

struct ExactFunctions {
    double (*sin)(double);
    double (*cos)(double);
    double (*tan)(double);
    double (*exp)(double);
    double (*log)(double);
};

// The entry point of a module that holds them (core/exactmodule.cpp); the number is that
// of this table, so a module built for another one is not used.
using ExactFunctionsEntry = const ExactFunctions *(*)();
inline constexpr char exactFunctionsSymbol[] = "tapecalc_exact_functions_1";

} // namespace tapecalc
