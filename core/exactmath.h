// The function keys' elementary functions, correctly rounded: the double nearest to the
// true value, as MPFR computes it. A C library's sin or exp may be off in the last bit,
// and by more on some platforms (x87 fsin with its short pi), so the same entry would show
// other digits on Windows than on Linux; these give the same digits everywhere.
#pragma once

namespace tapecalc::exact {

double sin(double x);
double cos(double x);
double tan(double x);
double exp(double x); // +inf beyond the largest double
double log(double x); // natural logarithm; -inf at 0, NaN below

} // namespace tapecalc::exact
