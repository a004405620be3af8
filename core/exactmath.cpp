// Correct rounding through MPFR at the double's own precision and exponent range, so a
// result that is subnormal or overflows is rounded once, as the double would hold it.
#include "core/exactmath.h"

#include <mpfr.h>

namespace tapecalc::exact {

namespace {

using Function = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);

double rounded(Function f, double x) {
    // The double's exponent range: normal numbers down to 2^-1022, subnormals to 2^-1074.
    const mpfr_exp_t savedMin = mpfr_get_emin();
    const mpfr_exp_t savedMax = mpfr_get_emax();
    mpfr_set_emin(-1073);
    mpfr_set_emax(1024);
    mpfr_t in;
    mpfr_t out;
    mpfr_init2(in, 53);
    mpfr_init2(out, 53);
    mpfr_set_d(in, x, MPFR_RNDN); // exact: 53 bits hold any double
    const int inexact = f(out, in, MPFR_RNDN);
    mpfr_subnormalize(out, inexact, MPFR_RNDN);
    const double result = mpfr_get_d(out, MPFR_RNDN);
    mpfr_clear(in);
    mpfr_clear(out);
    mpfr_set_emin(savedMin);
    mpfr_set_emax(savedMax);
    return result;
}

} // namespace

double sin(double x) {
    return rounded(mpfr_sin, x);
}
double cos(double x) {
    return rounded(mpfr_cos, x);
}
double tan(double x) {
    return rounded(mpfr_tan, x);
}
double exp(double x) {
    return rounded(mpfr_exp, x);
}
double log(double x) {
    return rounded(mpfr_log, x);
}

} // namespace tapecalc::exact
