// The printed report of a tape: rows of up to eight items at tab columns, a rule and
// the summary line. Built as text lines; the platform prints them.
#pragma once

#include "core/calculator.h"

#include <string>
#include <string_view>
#include <vector>

namespace tapecalc {

// `moment` is the date and time as the summary shows it.
std::vector<std::string> printReport(const Calculator &calc, std::string_view moment);

} // namespace tapecalc
