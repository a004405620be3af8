// The text of a double as the function keys show it: at most 15 significant digits,
// shortest form, exponent form only for very large and very small magnitudes.
#pragma once

#include <string>

namespace tapecalc {

// Switch-over points: the plain form is used for 1E-05 <= |x| < 1E+15 (after rounding
// to 15 significant digits); below and above that the form is d.dddE-XX / d.dddE+XX
// with a signed exponent of at least two digits. Within the plain range every digit
// of a 15-digit value fits before the point, so no integer is ever cut; below 1E-05 the
// plain form would spend its digits on leading zeros. NaN and infinities give "".
std::string numberText(double value);

} // namespace tapecalc
