// Every calculator action, shared by the on-screen keys and the keyboard. Where the two
// forms differ, the difference is a parameter.
#pragma once

#include "core/calculator.h"
#include "core/requests.h"

#include <string_view>

namespace tapecalc {

// A total combined with an entry by an operator: + and - exact, × and ÷ through double
// and rounded once. No number, division by zero, overflow or Operator::none is a failure.
MoneyResult combine(Money total, Operator code, std::string_view entryText);

// The arithmetic step: runningTotal combined with the entry; a failure leaves it unchanged.
void applyOperator(Calculator &calc, Operator code, std::string_view entryText);

// The tape text of slots 0..lineNumber (core/tapeformat.h) into the tape view.
void rebuildTapeView(Calculator &calc);

// Number entry keys.
void digitKey(Calculator &calc, Requests &out, char digit); // '0'..'9', appended
void signKey(Calculator &calc, Requests &out);
void pointKey(Calculator &calc, Requests &out);

// The operator action for an operator key. Returns the key's cue; the caller
// requests it (the on-screen key at once, the keyboard as its last step). On a full tape
// a key that would record a line is refused: Message::tapeFull, nothing changes, and the
// cue is empty. Equals likewise.
std::string_view operatorAction(Calculator &calc, Requests &out, Operator key);
void operatorKey(Calculator &calc, Requests &out, Operator key);

enum class EqualsForm {
    key,      // "=": records the symbol of the operator applied, then restores a blank indicator
    keyboard, // Enter: restores a blank indicator first, records the pending operator's symbol
};
// Returns the cue "等于.wav" for the caller to request.
std::string_view equalsAction(Calculator &calc, Requests &out, EqualsForm form);
void equalsKey(Calculator &calc, Requests &out);

// Clears tape, total, counters and displays. The AC key leaves the indicator blank;
// the keyboard's "a" and Delete show "加".
enum class IndicatorAfterClear { blank, add };
void clearAll(Calculator &calc, IndicatorAfterClear indicator);
void clearAllKey(Calculator &calc, Requests &out);
void clearEntryKey(Calculator &calc, Requests &out);

// The delete key, once the tape's file is gone: clears the calculator with the delete
// cues and unties the tape from its file, so the next save makes a new one.
void tapeDeleted(Calculator &calc, Requests &out);

enum class Function { pi, percent, sin, cos, tan, exp, sqr, log };
void functionKey(Calculator &calc, Requests &out, Function f);

// Voices a value: "zsw.wav", then a cue per character, each played to its end.
void numberReadOut(Requests &out, Money value);

// The cue of one character of an entry or a read-out ("5.wav", "d.wav", "负.wav"), or "".
std::string_view characterCue(char c);

} // namespace tapecalc
