// The calculator's keys, each to its action.
#include "core/keys.h"

#include "core/review.h"

namespace tapecalc {

bool pressKey(Calculator &calc, Requests &out, KeyAction action, const KeyArgument &argument) {
    switch (action) {
    case KeyAction::digit:
        digitKey(calc, out, std::get<char>(argument));
        return true;
    case KeyAction::sign:
        signKey(calc, out);
        return true;
    case KeyAction::point:
        pointKey(calc, out);
        return true;
    case KeyAction::operation:
        operatorKey(calc, out, std::get<Operator>(argument));
        return true;
    case KeyAction::equals:
        equalsKey(calc, out);
        return true;
    case KeyAction::clearAll:
        clearAllKey(calc, out);
        return true;
    case KeyAction::clearEntry:
        clearEntryKey(calc, out);
        return true;
    case KeyAction::function:
        functionKey(calc, out, std::get<Function>(argument));
        return true;
    case KeyAction::back:
        reviewBack(calc);
        return true;
    case KeyAction::forward:
        reviewForward(calc);
        return true;
    case KeyAction::expand:
    case KeyAction::help:
    case KeyAction::exit:
    case KeyAction::save:
    case KeyAction::remove:
    case KeyAction::print:
        return false;
    }
    return false;
}

} // namespace tapecalc
