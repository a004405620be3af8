// Tests of the money value (text, arithmetic, doubles) and of the number text that the
// function keys show.
#include "core/money.h"
#include "core/numbertext.h"

#include <QRegularExpression>
#include <QTest>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace tapecalc;

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(tapecalc::MoneyError)

namespace {

constexpr std::int64_t maxUnits = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t minUnits = std::numeric_limits<std::int64_t>::min();

// Correctly rounded decimal-to-double of the library; an oracle independent of the code
// under test for moneyToDouble.
double referenceDouble(const std::string &text) {
    double d = 0;
    std::from_chars(text.data(), text.data() + text.size(), d);
    return d;
}

std::string repeated(char c, std::size_t n) {
    return std::string(n, c);
}

// QCOMPARE on doubles is fuzzy; these conversions must be exact to the last bit and sign.
bool sameDouble(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

QByteArray bothDoubles(double actual, double expected) {
    return "actual " + QByteArray::number(actual, 'g', 17) + ", expected " +
           QByteArray::number(expected, 'g', 17);
}

} // namespace

class TestMoney : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void parseValid_data();
    void parseValid();
    void parseFailure_data();
    void parseFailure();
    void moneyTextForms_data();
    void moneyTextForms();
    void moneyTextReadsBack();
    void addSubtract_data();
    void addSubtract();
    void toDouble_data();
    void toDouble();
    void toDoubleIsNearestOverWholeRange();
    void fromDouble_data();
    void fromDouble();
    void fromDoubleFailure_data();
    void fromDoubleFailure();
    void fromDoubleMatchesExactDecimal();
    void parseNumberValues_data();
    void parseNumberValues();
    void parseNumberFailure_data();
    void parseNumberFailure();
    void numberTextForms_data();
    void numberTextForms();
    void numberTextReadsBack();
};

void TestMoney::parseValid_data() {
    QTest::addColumn<std::string>("text");
    QTest::addColumn<qint64>("units");

    // clang-format off
    QTest::newRow("integer") << std::string("5") << qint64(50000);
    QTest::newRow("zero") << std::string("0") << qint64(0);
    QTest::newRow("minus zero") << std::string("-0") << qint64(0);
    QTest::newRow("minus zero point zero") << std::string("-0.0") << qint64(0);
    QTest::newRow("plus sign") << std::string("+5") << qint64(50000);
    QTest::newRow("minus sign") << std::string("-5") << qint64(-50000);
    QTest::newRow("no integer digits") << std::string(".5") << qint64(5000);
    QTest::newRow("no fraction digits") << std::string("5.") << qint64(50000);
    QTest::newRow("minus point five") << std::string("-.5") << qint64(-5000);
    QTest::newRow("leading and trailing zeros") << std::string("00012.3400") << qint64(123400);
    QTest::newRow("blanks around") << std::string("  5  ") << qint64(50000);
    QTest::newRow("tabs around") << std::string("\t-5\t") << qint64(-50000);
    QTest::newRow("exponent") << std::string("1e3") << qint64(10000000);
    QTest::newRow("capital exponent") << std::string("1E3") << qint64(10000000);
    QTest::newRow("exponent with plus") << std::string("1e+3") << qint64(10000000);
    QTest::newRow("negative exponent") << std::string("1e-3") << qint64(10);
    QTest::newRow("point and exponent") << std::string("1.5e2") << qint64(1500000);
    QTest::newRow("point alone before exponent") << std::string("5.e1") << qint64(500000);
    QTest::newRow("exponent with leading zeros") << std::string("1e0003") << qint64(10000000);
    QTest::newRow("smallest unit") << std::string("0.0001") << qint64(1);
    QTest::newRow("smallest unit by exponent") << std::string("0.00001e1") << qint64(1);

    // Half-way cases: ties go to the even neighbour, anything past the half goes up.
    QTest::newRow("half of a unit to even zero") << std::string("0.00005") << qint64(0);
    QTest::newRow("one and a half units up") << std::string("0.00015") << qint64(2);
    QTest::newRow("two and a half units down") << std::string("0.00025") << qint64(2);
    QTest::newRow("three and a half units up") << std::string("0.00035") << qint64(4);
    QTest::newRow("just past a half far out") << std::string("0.000150000000000001") << qint64(2);
    QTest::newRow("just past half of zero") << std::string("0.0000500001") << qint64(1);
    QTest::newRow("just under a half") << std::string("0.00004999999") << qint64(0);
    QTest::newRow("negative tie to even") << std::string("-2.50005") << qint64(-25000);
    QTest::newRow("negative tie to even up") << std::string("-2.50015") << qint64(-25002);
    QTest::newRow("tie written by exponent") << std::string("25e-5") << qint64(2);
    QTest::newRow("below a tenth of a unit") << std::string("0.000009") << qint64(0);
    QTest::newRow("digits beyond the integer part") << std::string("123456789012345.6789") << qint64(1234567890123456789);

    // Both ends of the range, written plainly, by exponent, and rounded onto them.
    QTest::newRow("maximum") << std::string("922337203685477.5807") << qint64(maxUnits);
    QTest::newRow("minimum") << std::string("-922337203685477.5808") << qint64(minUnits);
    QTest::newRow("maximum by exponent") << std::string("9223372036854775807e-4") << qint64(maxUnits);
    QTest::newRow("maximum rounded down onto") << std::string("922337203685477.58074999") << qint64(maxUnits);
    QTest::newRow("tie below maximum to even") << std::string("922337203685477.58065") << qint64(maxUnits - 1);
    QTest::newRow("tie beyond minimum to even") << std::string("-922337203685477.58085") << qint64(minUnits);

    // Very long texts and huge exponents: these must neither hang nor overflow.
    QTest::newRow("zero to a huge exponent") << std::string("0e1000000000") << qint64(0);
    QTest::newRow("zeros to an exponent beyond 64 bits") << ("0.000e" + repeated('9', 1000)) << qint64(0);
    QTest::newRow("one to a huge negative exponent") << std::string("1e-1000000000") << qint64(0);
    QTest::newRow("one to an exponent of 1000 digits") << ("1e-" + repeated('9', 1000)) << qint64(0);
    QTest::newRow("100000 zeros then a one") << ("0." + repeated('0', 100000) + "1") << qint64(0);
    QTest::newRow("one then 100000 zeros scaled back") << ("1" + repeated('0', 100000) + "e-100000") << qint64(10000);
    QTest::newRow("tie with 100000 trailing zeros") << ("0.00005" + repeated('0', 100000)) << qint64(0);
    QTest::newRow("tie broken after 100000 zeros") << ("0.00005" + repeated('0', 100000) + "1") << qint64(1);
    QTest::newRow("100000 leading zeros") << (repeated('0', 100000) + "7.25") << qint64(72500);
    // clang-format on
}

void TestMoney::parseValid() {
    QFETCH(std::string, text);
    QFETCH(qint64, units);
    const MoneyResult r = parseMoney(text);
    QCOMPARE(r.error, MoneyError::none);
    QCOMPARE(r.value.units, units);
}

void TestMoney::parseFailure_data() {
    QTest::addColumn<std::string>("text");
    QTest::addColumn<MoneyError>("error");

    const MoneyError conversion = MoneyError::conversion;
    // clang-format off
    QTest::newRow("empty") << std::string() << conversion;
    QTest::newRow("blanks only") << std::string(" \t ") << conversion;
    QTest::newRow("plus alone") << std::string("+") << conversion;
    QTest::newRow("minus alone") << std::string("-") << conversion;
    QTest::newRow("point alone") << std::string(".") << conversion;
    QTest::newRow("sign and point") << std::string("-.") << conversion;
    QTest::newRow("exponent without digits") << std::string("1e") << conversion;
    QTest::newRow("exponent sign without digits") << std::string("1e-") << conversion;
    QTest::newRow("exponent without mantissa") << std::string("e5") << conversion;
    QTest::newRow("point and exponent only") << std::string(".e5") << conversion;
    QTest::newRow("two points") << std::string("1.2.3") << conversion;
    QTest::newRow("grouping comma") << std::string("1,000") << conversion;
    QTest::newRow("currency sign") << std::string("$5") << conversion;
    QTest::newRow("parentheses") << std::string("(5)") << conversion;
    QTest::newRow("inner blank") << std::string("1 000") << conversion;
    QTest::newRow("blank after sign") << std::string("- 5") << conversion;
    QTest::newRow("blank in exponent") << std::string("1e 5") << conversion;
    QTest::newRow("trailing sign") << std::string("5-") << conversion;
    QTest::newRow("two signs") << std::string("+-5") << conversion;
    QTest::newRow("two exponents") << std::string("1e5e5") << conversion;
    QTest::newRow("fractional exponent") << std::string("1e5.5") << conversion;
    QTest::newRow("hexadecimal") << std::string("0x10") << conversion;
    QTest::newRow("infinity") << std::string("inf") << conversion;
    QTest::newRow("not a number") << std::string("nan") << conversion;
    QTest::newRow("newline is no blank") << std::string("5\n") << conversion;
    QTest::newRow("letter after long digits") << (repeated('1', 100000) + "x") << conversion;

    const MoneyError overflow = MoneyError::overflow;
    QTest::newRow("one unit above maximum") << std::string("922337203685477.5808") << overflow;
    QTest::newRow("one unit below minimum") << std::string("-922337203685477.5809") << overflow;
    QTest::newRow("tie above maximum rounds to even beyond") << std::string("922337203685477.58075") << overflow;
    QTest::newRow("just past the tie below minimum") << std::string("-922337203685477.580850001") << overflow;
    QTest::newRow("2 to the 63 units") << std::string("9223372036854775808e-4") << overflow;
    QTest::newRow("ten to the 15") << std::string("1e15") << overflow;
    QTest::newRow("minus ten to the 15") << std::string("-1e15") << overflow;
    QTest::newRow("twenty nines") << std::string("99999999999999999999") << overflow;
    QTest::newRow("huge exponent") << std::string("1e1000000000") << overflow;
    QTest::newRow("exponent of 1000 digits") << ("1e" + repeated('9', 1000)) << overflow;
    QTest::newRow("100000 digits") << ("1" + repeated('0', 99999)) << overflow;
    QTest::newRow("100000 digits after a point") << ("1." + repeated('3', 100000) + "e15") << overflow;
    // clang-format on
}

void TestMoney::parseFailure() {
    QFETCH(std::string, text);
    QFETCH(MoneyError, error);
    QCOMPARE(parseMoney(text).error, error);
}

void TestMoney::moneyTextForms_data() {
    QTest::addColumn<qint64>("units");
    QTest::addColumn<std::string>("text");

    // clang-format off
    QTest::newRow("zero") << qint64(0) << std::string("0");
    QTest::newRow("one unit") << qint64(1) << std::string("0.0001");
    QTest::newRow("minus one unit") << qint64(-1) << std::string("-0.0001");
    QTest::newRow("one half") << qint64(5000) << std::string("0.5");
    QTest::newRow("minus one half") << qint64(-5000) << std::string("-0.5");
    QTest::newRow("a tenth") << qint64(1000) << std::string("0.1");
    QTest::newRow("one") << qint64(10000) << std::string("1");
    QTest::newRow("inner zeros of the fraction") << qint64(10001) << std::string("1.0001");
    QTest::newRow("minus twelve and a quarter") << qint64(-122500) << std::string("-12.25");
    QTest::newRow("round thousands") << qint64(100000000) << std::string("10000");
    QTest::newRow("maximum") << qint64(maxUnits) << std::string("922337203685477.5807");
    QTest::newRow("minimum") << qint64(minUnits) << std::string("-922337203685477.5808");
    QTest::newRow("minimum plus one") << qint64(minUnits + 1) << std::string("-922337203685477.5807");
    // clang-format on
}

void TestMoney::moneyTextForms() {
    QFETCH(qint64, units);
    QFETCH(std::string, text);
    QCOMPARE(moneyText(Money{units}), text);
}

void TestMoney::moneyTextReadsBack() {
    std::mt19937_64 random(20240607);
    for (int i = 0; i < 20000; ++i) {
        // Spread over all magnitudes, not just the huge ones uniform bits would give.
        const auto bits = static_cast<int>(random() % 64);
        const auto units = static_cast<std::int64_t>(random() >> bits);
        const Money m{i % 2 ? units : -units};
        const MoneyResult back = parseMoney(moneyText(m));
        QVERIFY2(back.ok() && back.value == m, moneyText(m).c_str());
    }
    QCOMPARE(parseMoney(moneyText(Money{minUnits})).value.units, minUnits);
}

void TestMoney::addSubtract_data() {
    QTest::addColumn<qint64>("a");
    QTest::addColumn<qint64>("b");
    QTest::addColumn<bool>("sumOk");
    QTest::addColumn<qint64>("sum");
    QTest::addColumn<bool>("differenceOk");
    QTest::addColumn<qint64>("difference");

    // clang-format off
    QTest::newRow("small values") << qint64(50000) << qint64(30000) << true << qint64(80000) << true << qint64(20000);
    QTest::newRow("maximum and one unit") << qint64(maxUnits) << qint64(1) << false << qint64(0) << true << qint64(maxUnits - 1);
    QTest::newRow("maximum and minus one unit") << qint64(maxUnits) << qint64(-1) << true << qint64(maxUnits - 1) << false << qint64(0);
    QTest::newRow("minimum and one unit") << qint64(minUnits) << qint64(1) << true << qint64(minUnits + 1) << false << qint64(0);
    QTest::newRow("minimum and minus one unit") << qint64(minUnits) << qint64(-1) << false << qint64(0) << true << qint64(minUnits + 1);
    QTest::newRow("maximum and minimum") << qint64(maxUnits) << qint64(minUnits) << true << qint64(-1) << false << qint64(0);
    QTest::newRow("minimum and itself") << qint64(minUnits) << qint64(minUnits) << false << qint64(0) << true << qint64(0);
    QTest::newRow("zero and minimum") << qint64(0) << qint64(minUnits) << true << qint64(minUnits) << false << qint64(0);
    QTest::newRow("minus one and minimum") << qint64(-1) << qint64(minUnits) << false << qint64(0) << true << qint64(maxUnits);
    QTest::newRow("maximum and itself") << qint64(maxUnits) << qint64(maxUnits) << false << qint64(0) << true << qint64(0);
    // clang-format on
}

void TestMoney::addSubtract() {
    QFETCH(qint64, a);
    QFETCH(qint64, b);
    QFETCH(bool, sumOk);
    QFETCH(qint64, sum);
    QFETCH(bool, differenceOk);
    QFETCH(qint64, difference);

    const MoneyResult s = addMoney(Money{a}, Money{b});
    QCOMPARE(s.error, sumOk ? MoneyError::none : MoneyError::overflow);
    if (sumOk)
        QCOMPARE(s.value.units, sum);
    const MoneyResult d = subtractMoney(Money{a}, Money{b});
    QCOMPARE(d.error, differenceOk ? MoneyError::none : MoneyError::overflow);
    if (differenceOk)
        QCOMPARE(d.value.units, difference);
}

void TestMoney::toDouble_data() {
    QTest::addColumn<qint64>("units");
    QTest::addColumn<double>("expected");

    // clang-format off
    QTest::newRow("zero") << qint64(0) << 0.0;
    QTest::newRow("one unit") << qint64(1) << 0.0001;
    QTest::newRow("one half") << qint64(-5000) << -0.5;
    QTest::newRow("2 to the 53 units") << qint64(9007199254740992) << 900719925474.0992;
    QTest::newRow("maximum") << qint64(maxUnits) << 922337203685477.5807;
    QTest::newRow("minimum") << qint64(minUnits) << -922337203685477.5808;
    // Converting the count to double first would round it to ...40 and give a whole number.
    QTest::newRow("count not exact as a double") << qint64(4611686018427400319) << 461168601842740.0319;
    QTest::newRow("negative count not exact as a double") << qint64(-4611686018427400319) << -461168601842740.0319;
    // clang-format on
}

void TestMoney::toDouble() {
    QFETCH(qint64, units);
    QFETCH(double, expected);
    const double actual = moneyToDouble(Money{units});
    QVERIFY2(sameDouble(actual, expected), bothDoubles(actual, expected));
}

void TestMoney::toDoubleIsNearestOverWholeRange() {
    std::mt19937_64 random(7);
    for (int i = 0; i < 20000; ++i) {
        const auto bits = static_cast<int>(random() % 20);
        auto units = static_cast<std::int64_t>(random() >> bits);
        if (i % 2)
            units = -units;
        const std::string text = moneyText(Money{units});
        QVERIFY2(moneyToDouble(Money{units}) == referenceDouble(text), text.c_str());
    }
}

void TestMoney::fromDouble_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("units");

    // clang-format off
    QTest::newRow("zero") << 0.0 << qint64(0);
    QTest::newRow("minus zero") << -0.0 << qint64(0);
    QTest::newRow("one half") << 0.5 << qint64(5000);
    QTest::newRow("minus one and a half") << -1.5 << qint64(-15000);
    QTest::newRow("two thirds") << 2.0 / 3.0 << qint64(6667);
    // x / 32 makes x * 10000 an exact half, so these are true ties.
    QTest::newRow("exact tie down to even") << 1.0 / 32 << qint64(312);
    QTest::newRow("exact tie up to even") << 3.0 / 32 << qint64(938);
    QTest::newRow("negative exact tie") << -1.0 / 32 << qint64(-312);
    QTest::newRow("negative exact tie up") << -3.0 / 32 << qint64(-938);
    // The doubles nearest 0.00025 and 0.00005 lie just above the tie, 0.00035 just below.
    QTest::newRow("double just above a decimal tie") << 0.00025 << qint64(3);
    QTest::newRow("double just below a decimal tie") << 0.00035 << qint64(3);
    QTest::newRow("half a unit and a little more") << 0.00005 << qint64(1);
    QTest::newRow("below a half unit") << 0.00004 << qint64(0);
    // A product taken in double would round these a second time.
    QTest::newRow("largest double below the maximum") << 922337203685477.5 << qint64(9223372036854775000);
    QTest::newRow("whole number beyond 2^53 units") << 922337203685476.0 << qint64(9223372036854760000);
    QTest::newRow("last unit of a large value") << 1000000000000.0001 << qint64(10000000000000001);
    QTest::newRow("eighth of a unit beyond 2^53 units") << 1801439850954.125 << qint64(18014398509541250);
    QTest::newRow("nearest the minimum") << -922337203685477.5 << qint64(-9223372036854775000);
    QTest::newRow("smallest subnormal") << std::numeric_limits<double>::denorm_min() << qint64(0);
    // clang-format on
}

void TestMoney::fromDouble() {
    QFETCH(double, value);
    QFETCH(qint64, units);
    const MoneyResult r = moneyFromDouble(value);
    QCOMPARE(r.error, MoneyError::none);
    QCOMPARE(r.value.units, units);
}

void TestMoney::fromDoubleFailure_data() {
    QTest::addColumn<double>("value");

    // clang-format off
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
    QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity();
    QTest::newRow("2 to the 63 units") << 922337203685477.625;
    QTest::newRow("an eighth below the minimum") << -922337203685477.625;
    QTest::newRow("beyond the minimum") << -922337203685478.0;
    QTest::newRow("ten to the 15") << 1e15;
    QTest::newRow("largest double") << std::numeric_limits<double>::max();
    QTest::newRow("lowest double") << std::numeric_limits<double>::lowest();
    // clang-format on
}

void TestMoney::fromDoubleFailure() {
    QFETCH(double, value);
    QCOMPARE(moneyFromDouble(value).error, MoneyError::overflow);
}

// The oracle: a double's exact decimal expansion (to_chars with enough digits prints it
// exactly) read by the exact decimal parser, which rounds ties to even. Doubles of every
// scale, exact ties (odd multiples of 1/32), their neighbours and the products that × and
// ÷ actually form.
void TestMoney::fromDoubleMatchesExactDecimal() {
    std::mt19937_64 random(11);
    std::vector<char> buffer(1500);
    const auto exactText = [&buffer](double d) {
        const auto r = std::to_chars(buffer.data(), buffer.data() + buffer.size(), d,
                                     std::chars_format::fixed, 1100);
        return std::string(buffer.data(), r.ptr);
    };
    for (int i = 0; i < 300000; ++i) {
        double value = 0;
        switch (i % 4) {
        case 0: // any significand, from far below a unit to beyond the range
            value = std::ldexp(static_cast<double>(random() >> 11),
                               static_cast<int>(random() % 90) - 100);
            break;
        case 1: // an exact tie, or one of its neighbours
            value = static_cast<double>((random() >> (12 + random() % 40)) | 1) / 32;
            if (random() % 3 == 1)
                value = std::nextafter(value, 0.0);
            else if (random() % 3 == 2)
                value = std::nextafter(value, 1e300);
            break;
        case 2: // a product of two money values
            value =
                moneyToDouble(Money{static_cast<std::int64_t>(random() >> (random() % 64))}) *
                moneyToDouble(Money{static_cast<std::int64_t>(random() >> (40 + random() % 24))});
            break;
        default: // a quotient of two money values
            value =
                moneyToDouble(Money{static_cast<std::int64_t>(random() >> (random() % 64))}) /
                moneyToDouble(Money{static_cast<std::int64_t>(random() >> (random() % 64)) | 1});
            break;
        }
        if (random() % 2)
            value = -value;
        const std::string text = exactText(value);
        const MoneyResult expected = parseMoney(text);
        const MoneyResult actual = moneyFromDouble(value);
        QVERIFY2(actual.error == expected.error && actual.value == expected.value,
                 QByteArray::number(value, 'g', 17) + " gave " +
                     QByteArray::number(static_cast<qint64>(actual.value.units)));
    }
}

void TestMoney::parseNumberValues_data() {
    QTest::addColumn<std::string>("text");
    QTest::addColumn<double>("value");

    const double tiny = std::numeric_limits<double>::denorm_min();
    // clang-format off
    QTest::newRow("integer") << std::string("42") << 42.0;
    QTest::newRow("exponent") << std::string("1e3") << 1000.0;
    QTest::newRow("plus sign and blanks") << std::string(" +2.5 ") << 2.5;
    QTest::newRow("point first") << std::string("-.125") << -0.125;
    QTest::newRow("point last") << std::string("7.") << 7.0;
    QTest::newRow("minus zero") << std::string("-0") << -0.0;
    QTest::newRow("exponent form of number text") << std::string("1.5E-07") << 1.5e-7;
    QTest::newRow("largest double") << std::string("1.7976931348623157e308") << std::numeric_limits<double>::max();
    QTest::newRow("just below overflow") << std::string("1.7976931348623158e308") << std::numeric_limits<double>::max();
    QTest::newRow("smallest subnormal") << std::string("4.9406564584124654e-324") << tiny;
    QTest::newRow("underflow to zero") << std::string("1e-400") << 0.0;
    QTest::newRow("underflow keeps the sign") << std::string("-1e-400") << -0.0;
    QTest::newRow("below half the smallest subnormal") << std::string("2e-324") << 0.0;
    QTest::newRow("huge negative exponent") << std::string("1e-1000000000") << 0.0;
    QTest::newRow("zero to a huge exponent") << std::string("0e1000000000") << 0.0;
    QTest::newRow("one then 100000 zeros scaled back") << ("1" + repeated('0', 100000) + "e-100000") << 1.0;
    QTest::newRow("100000 zeros then a one") << ("0." + repeated('0', 100000) + "1") << 0.0;
    QTest::newRow("100000 digits of a third") << ("0." + repeated('3', 100000)) << 0.33333333333333331;
    // Half of the smallest subnormal, written out exactly: a tie, to even zero. Any
    // nonzero digit after it, however far out, makes it round up.
    const std::string half =
        "2.4703282292062327208828439643411068618252990130716238221279284125033775363510437593"
        "264991818081799618989828234772285886546332835517796989819938739800539093906315035659"
        "515570226392290858392449105184435931802849936536152500319370457678249219365623669863"
        "658480757001585769269903706311928279558551332927834338409351978015531246597263579574"
        "622766465272827220056374006485499977096599470454020828166226237857393450736339007967"
        "761930577506740176324673600968951340535537458516661134223766678604162159680461914467"
        "291840300530057530849048765391711386591646239524912623653881879636239373280423891018"
        "672348497668235089863388587925628302755995657524455507255189313690836254779186948667"
        "994968324049705821028513185451396213837722826145437693412532098591327667236328125";
    QTest::newRow("exact half of the smallest subnormal") << (half + "e-324") << 0.0;
    QTest::newRow("just past the half") << (half + repeated('0', 1000) + "1e-324") << tiny;
    // clang-format on
}

void TestMoney::parseNumberValues() {
    QFETCH(std::string, text);
    QFETCH(double, value);
    const std::optional<double> r = parseNumber(text);
    QVERIFY(r.has_value());
    QVERIFY2(sameDouble(*r, value), bothDoubles(*r, value));
}

void TestMoney::parseNumberFailure_data() {
    QTest::addColumn<std::string>("text");

    // clang-format off
    QTest::newRow("empty") << std::string();
    QTest::newRow("minus alone") << std::string("-");
    QTest::newRow("point alone") << std::string(".");
    QTest::newRow("exponent without digits") << std::string("1e");
    QTest::newRow("exponent without mantissa") << std::string("e5");
    QTest::newRow("two points") << std::string("1.2.3");
    QTest::newRow("grouping comma") << std::string("1,000");
    QTest::newRow("inner blank") << std::string("1 0");
    QTest::newRow("infinity") << std::string("inf");
    QTest::newRow("overflow") << std::string("1e309");
    QTest::newRow("negative overflow") << std::string("-1e309");
    QTest::newRow("just past the overflow threshold") << std::string("1.7976931348623159e308");
    QTest::newRow("huge exponent") << std::string("1e1000000000");
    QTest::newRow("exponent of 1000 digits") << ("1e" + repeated('9', 1000));
    QTest::newRow("100000 digits") << ("1" + repeated('0', 99999));
    // clang-format on
}

void TestMoney::parseNumberFailure() {
    QFETCH(std::string, text);
    QVERIFY(!parseNumber(text).has_value());
}

void TestMoney::numberTextForms_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<std::string>("text");

    // clang-format off
    QTest::newRow("square root of two") << std::sqrt(2.0) << std::string("1.4142135623731");
    QTest::newRow("pi key") << 3.14159265358979 << std::string("3.14159265358979");
    QTest::newRow("one half") << 0.5 << std::string("0.5");
    QTest::newRow("hundred") << 100.0 << std::string("100");
    QTest::newRow("thousand") << 1000.0 << std::string("1000");
    QTest::newRow("zero") << 0.0 << std::string("0");
    QTest::newRow("minus zero") << -0.0 << std::string("0");
    QTest::newRow("negative") << -1.5 << std::string("-1.5");
    QTest::newRow("one third") << 1.0 / 3.0 << std::string("0.333333333333333");
    QTest::newRow("two thirds rounds up") << 2.0 / 3.0 << std::string("0.666666666666667");
    QTest::newRow("binary noise dropped") << 0.1 + 0.2 << std::string("0.3");
    QTest::newRow("fifteen digit integer") << 123456789012345.0 << std::string("123456789012345");
    QTest::newRow("largest plain") << 999999999999999.0 << std::string("999999999999999");
    QTest::newRow("ten to the 14") << 1e14 << std::string("100000000000000");
    QTest::newRow("ten to the 15") << 1e15 << std::string("1E+15");
    QTest::newRow("rounds up to ten to the 15") << 999999999999999.5 << std::string("1E+15");
    QTest::newRow("sixteen digits") << 1234567890123456.0 << std::string("1.23456789012346E+15");
    QTest::newRow("ten to the 21") << 1e21 << std::string("1E+21");
    QTest::newRow("ten to the 100") << 1e100 << std::string("1E+100");
    QTest::newRow("sine of pi") << 1.2246467991473532e-16 << std::string("1.22464679914735E-16");
    QTest::newRow("smallest plain") << 1e-5 << std::string("0.00001");
    QTest::newRow("smallest plain negative") << -1e-5 << std::string("-0.00001");
    QTest::newRow("rounds up to smallest plain") << 9.9999999999999957e-06 << std::string("0.00001");
    QTest::newRow("largest exponent form below") << 9.99999999999999e-6 << std::string("9.99999999999999E-06");
    QTest::newRow("small plain digits") << 0.000123 << std::string("0.000123");
    QTest::newRow("one and a half E-07") << 1.5e-7 << std::string("1.5E-07");
    QTest::newRow("ten to the minus 100") << 1e-100 << std::string("1E-100");
    QTest::newRow("smallest subnormal") << std::numeric_limits<double>::denorm_min() << std::string("4.94065645841247E-324");
    // Rounding DBL_MAX to 15 digits would step over it; the text stays readable.
    QTest::newRow("largest double") << std::numeric_limits<double>::max() << std::string("1.79769313486231E+308");
    QTest::newRow("lowest double") << std::numeric_limits<double>::lowest() << std::string("-1.79769313486231E+308");
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << std::string();
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << std::string();
    QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << std::string();
    // clang-format on
}

void TestMoney::numberTextForms() {
    QFETCH(double, value);
    QFETCH(std::string, text);
    QCOMPARE(numberText(value), text);
}

void TestMoney::numberTextReadsBack() {
    std::vector<double> values;
    std::mt19937_64 random(1234);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> exponent(-300, 300);
    for (int i = 0; i < 20000; ++i) {
        const double v = mantissa(random) * std::pow(10.0, exponent(random));
        values.push_back(i % 2 ? -v : v);
    }
    for (int i = 0; i < 20000; ++i) {
        const double v = std::bit_cast<double>(random());
        if (std::isfinite(v))
            values.push_back(v);
    }
    // Both sides of the switch-over points, a few steps apart.
    for (double edge :
         {1e-5, 9.999999999999995e-6, 1e15, 999999999999999.5, 1.0, 0.1,
          std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min()}) {
        double down = edge;
        double up = edge;
        for (int k = 0; k < 50; ++k) {
            values.push_back(down);
            values.push_back(up);
            down = std::nextafter(down, 0.0);
            up = std::nextafter(up, std::numeric_limits<double>::infinity());
        }
    }

    static const QRegularExpression shape(QStringLiteral(
        "^-?(0|[1-9][0-9]*)(\\.[0-9]*[1-9])?$|^-?[1-9](\\.[0-9]*[1-9])?E[-+][0-9]{2,3}$"));
    for (double v : values) {
        if (!std::isfinite(v))
            continue;
        const std::string text = numberText(v);
        const QString shown = QString::fromStdString(text);
        QVERIFY2(shape.match(shown).hasMatch(), text.c_str());
        qsizetype significant = 0;
        bool leading = true;
        for (QChar c : shown.section(QLatin1Char('E'), 0, 0)) {
            if (c.isDigit() && (c != QLatin1Char('0') || !leading)) {
                leading = false;
                ++significant;
            }
        }
        QVERIFY2(significant <= 15, text.c_str());

        const std::optional<double> back = parseNumber(text);
        QVERIFY2(back.has_value(), text.c_str());
        // 15 digits hold the value to half a unit in the 15th digit; subnormals have
        // fewer bits than that, so allow their spacing too.
        const double tolerance =
            std::fabs(v) * 5.0000001e-15 + std::numeric_limits<double>::denorm_min();
        QVERIFY2(std::fabs(*back - v) <= tolerance, text.c_str());
        QVERIFY2(numberText(*back) == text, text.c_str());

        const bool plain = !shown.contains(QLatin1Char('E'));
        const double a = std::fabs(*back);
        if (v != 0.0)
            QVERIFY2(plain == (a >= 1e-5 && a < 1e15), text.c_str());
    }
}

QTEST_APPLESS_MAIN(TestMoney)
#include "tst_money.moc"
