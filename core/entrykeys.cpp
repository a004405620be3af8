// The entry box's keyboard: key-down commands (Page Up, Page Down, Delete, End) and
// the character handler that turns typed characters into calculator actions.
#include "core/entrykeys.h"

#include "core/actions.h"
#include "core/cues.h"
#include "core/panel.h"
#include "core/text.h"

#include <algorithm>

namespace tapecalc {

namespace {

enum CharCode : int {
    backspace = backspaceCode,
    enter = 13,
    escape = 27,
    space = 32,
    plusChar = '+',
    minusChar = '-',
    starChar = '*',
    slashChar = '/',
    pointChar = '.',
    letterA = 'a',
    letterC = 'c',
};

// Typed digits are voiced only while the entry is shorter than this.
constexpr std::size_t voicedEntryLength = 30;

Operator operatorOfCharacter(int code) {
    switch (code) {
    case plusChar:
        return Operator::add;
    case minusChar:
        return Operator::subtract;
    case starChar:
        return Operator::multiply;
    case slashChar:
        return Operator::divide;
    default:
        return Operator::none;
    }
}

} // namespace

void entryKeyDown(Calculator &calc, Requests &out, KeyCode key) {
    std::string_view cue;
    if (key == KeyCode::pageUp) {
        fullLayout(calc.panel);
        rebuildTapeView(calc);
    }
    if (key == KeyCode::del) {
        clearAll(calc, IndicatorAfterClear::add);
        cue = cues::clearAll;
    }
    if (key == KeyCode::end) {
        calc.shown.text1.clear();
        cue = cues::clearEntry;
    }
    if (key == KeyCode::pageDown) {
        numberReadOut(out, calc.runningTotal);
        return; // the read-out is the only request
    }
    // Every other key asks for its cue as a blocking request before its character is
    // handled: the window waits for a cue to end, and an empty one only cuts what sounds.
    out.playCueBlocking(cue);
}

int entryCharacter(Calculator &calc, Requests &out, int code) {
    if (code == space) {
        numberReadOut(out, calc.runningTotal);
        calc.currentTapeFile.clear();
        rebuildTapeView(calc);
        return 0;
    }
    calc.previousOperator = calc.pendingOperator;
    if (code == escape) {
        calc.shown.text1.clear();
        out.endProgram();
        return 0;
    }

    std::string_view cue; // a later choice replaces an earlier one
    if (code == letterA) {
        clearAll(calc, IndicatorAfterClear::add);
        cue = cues::clearAll;
    }
    if (code == backspace) {
        cue = cues::erase; // the entry box deletes as usual
    } else if (code == letterC) {
        calc.shown.text1.clear();
        code = 0;
        cue = cues::clearEntry;
    } else {
        if (code == enter)
            cue = equalsAction(calc, out, EqualsForm::keyboard);
        if (const Operator op = operatorOfCharacter(code); op != Operator::none)
            cue = operatorAction(calc, out, op);
        if (code == pointChar && calc.shown.text1.find('.') != std::string::npos)
            code = 0;
        // Only digits and an accepted point reach the entry box.
        if ((code < '0' || code > '9') && code != pointChar)
            code = 0;
    }
    if (characterCount(calc.shown.text1) < voicedEntryLength && code != 0) {
        // Only a digit or a point is left with a code here; Backspace has no cue of its own.
        if (std::string_view digitCue = characterCue(static_cast<char>(code)); !digitCue.empty())
            cue = digitCue;
    }
    out.playCue(cue);
    return code;
}

} // namespace tapecalc
