// The operator vocabulary and the calculator state's one helper.
#include "core/calculator.h"

#include "core/cues.h"

#include <algorithm>

namespace tapecalc {

namespace {
constexpr std::array<OperatorInfo, 4> operators{{
    {Operator::add, "加", "+", cues::add},
    {Operator::subtract, "减", "-", cues::subtract},
    {Operator::multiply, "乘", "×", cues::multiply},
    {Operator::divide, "除", "÷", cues::divide},
}};

template <typename Field> const OperatorInfo *findOperator(Field field, std::string_view value) {
    auto it = std::find_if(operators.begin(), operators.end(),
                           [&](const OperatorInfo &op) { return op.*field == value; });
    return it == operators.end() ? nullptr : &*it;
}
} // namespace

const OperatorInfo *operatorInfo(Operator code) {
    const auto index = static_cast<std::size_t>(code) - 1;
    return index < operators.size() ? &operators[index] : nullptr;
}

const OperatorInfo *operatorBySymbol(std::string_view symbol) {
    return findOperator(&OperatorInfo::symbol, symbol);
}

const OperatorInfo *operatorByName(std::string_view name) {
    return findOperator(&OperatorInfo::name, name);
}

void Calculator::clearTape() {
    tapeEntries.clear();
    tapeOperators.clear();
    tapeTotals.clear();
}

} // namespace tapecalc
