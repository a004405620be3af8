// Drives the calculator with a line of key names, as a user would press them, for the
// core tests: "5 乘 3 加", "neg 4 sqr", "AC", "back".
#pragma once

#include "core/actions.h"
#include "core/entrykeys.h"
#include "core/keys.h"
#include "core/review.h"
#include "core/tests/fetched.h"
#include "core/tests/recorder.h"
#include "core/text.h"

#include <QTest>

#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

namespace tapecalc {

// The key a name stands for, pressed through the calculator's one key dispatch.
inline void pressKey(Calculator &calc, Recorder &out, const std::string &key) {
    static const std::pair<const char *, Function> functions[] = {
        {"pi", Function::pi},   {"%", Function::percent}, {"sin", Function::sin},
        {"cos", Function::cos}, {"tan", Function::tan},   {"exp", Function::exp},
        {"sqr", Function::sqr}, {"log", Function::log}};
    static const std::pair<const char *, KeyAction> plainKeys[] = {
        {"neg", KeyAction::sign},    {".", KeyAction::point},       {"=", KeyAction::equals},
        {"AC", KeyAction::clearAll}, {"CE", KeyAction::clearEntry}, {"back", KeyAction::back},
        {"fwd", KeyAction::forward}};
    if (key.size() == 1 && key[0] >= '0' && key[0] <= '9') {
        pressKey(calc, out, KeyAction::digit, key[0]);
        return;
    }
    if (const OperatorInfo *op = operatorByName(key)) {
        pressKey(calc, out, KeyAction::operation, op->code);
        return;
    }
    // The indicator is no key of the table: a click on it cycles the operator.
    if (key == "cycle")
        return cycleOperator(calc);
    for (const auto &[name, action] : plainKeys)
        if (key == name) {
            pressKey(calc, out, action);
            return;
        }
    for (const auto &[name, f] : functions)
        if (key == name) {
            pressKey(calc, out, KeyAction::function, f);
            return;
        }
    // A digit string presses its digits one by one.
    if (key.find_first_not_of("0123456789") == std::string::npos) {
        for (char c : key)
            pressKey(calc, out, KeyAction::digit, c);
        return;
    }
    throw std::invalid_argument("unknown key " + key);
}

inline void pressKeys(Calculator &calc, Recorder &out, const std::string &keys) {
    std::istringstream words(keys);
    for (std::string key; words >> key;)
        pressKey(calc, out, key);
}

// Types text into the entry box as the window does: the key-down handler for keys
// without a character, then the character handler, and the box inserts what it lets
// through at the end (the caret stays at the end in these tests).
inline void typeChar(Calculator &calc, Recorder &out, int code) {
    const int through = entryCharacter(calc, out, code);
    if (through == backspaceCode) {
        if (!calc.shown.text1.empty())
            calc.shown.text1.pop_back();
    } else if (through != 0) {
        calc.shown.text1 += static_cast<char>(through);
    }
}

inline void typeText(Calculator &calc, Recorder &out, std::string_view text) {
    for (char c : text)
        typeChar(calc, out, static_cast<unsigned char>(c));
}

// A random session of digits, point, sign, the operators, equals, the function keys and
// clearing, pressed on `calc`; returns the keys pressed. Two things a tape cannot carry
// are left out: an operator chosen on the indicator, and one pressed before the first
// entry (after start or AC), since neither is recorded; and review, after which a
// corrected entry's old tail still stands as the tape's last row.
inline std::string pressRandomSession(Calculator &calc, Recorder &out, std::mt19937 &random) {
    static const char *const keys[] = {"0",   "1",   "2",   "3",   "4",   "5",   "6",
                                       "7",   "8",   "9",   ".",   "neg", "加",  "减",
                                       "乘",  "除",  "=",   "AC",  "CE",  "pi",  "%",
                                       "sin", "cos", "tan", "exp", "sqr", "log", "99999999"};
    std::string pressed;
    const int length = 1 + static_cast<int>(random() % 40);
    for (int k = 0; k < length; ++k) {
        const std::string key = keys[random() % std::size(keys)];
        const bool closesEntry = operatorByName(key) != nullptr || key == "=";
        if (closesEntry && calc.lineNumber == 0 && calc.shown.text1.empty())
            continue;
        pressKey(calc, out, key);
        pressed += key + ' ';
    }
    return pressed;
}

// The tape view with its line ends made visible: "5|+|3|+|".
inline std::string rows(const std::string &tapeView) {
    std::string shown;
    for (std::size_t i = 0; i < tapeView.size(); ++i) {
        if (tapeView.compare(i, 2, "\r\n") == 0) {
            shown += '|';
            ++i;
        } else {
            shown += tapeView[i];
        }
    }
    return shown;
}

} // namespace tapecalc
