// Walking back and forth along the recorded lines, and cycling the pending operator.
#pragma once

#include "core/calculator.h"

namespace tapecalc {

void reviewBack(Calculator &calc);
void reviewForward(Calculator &calc);
void cycleOperator(Calculator &calc);

} // namespace tapecalc
