// The function keys' correctly rounded functions: values whose correct rounding is known
// (where x87 and some C libraries go wrong), the ends of the double range, and on glibc,
// whose functions are within one unit in the last place, never further from them.
#include "core/exactmath.h"
#include "core/numbertext.h"

#include <QTest>

#include <cmath>
#include <limits>
#include <random>

using namespace tapecalc;

class TestExactMath : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void knownValues_data();
    void knownValues();
    void withinOneUnitOfTheCLibrary();
};

namespace {

double apply(const QString &function, double x) {
    if (function == "sin")
        return exact::sin(x);
    if (function == "cos")
        return exact::cos(x);
    if (function == "tan")
        return exact::tan(x);
    if (function == "exp")
        return exact::exp(x);
    return exact::log(x);
}

} // namespace

void TestExactMath::knownValues_data() {
    QTest::addColumn<QString>("function");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("expected");
    const double pi = 3.14159265358979311600; // the double nearest to pi
    const double inf = std::numeric_limits<double>::infinity();
    // clang-format off
    QTest::newRow("sin of the double pi") << "sin" << pi << 1.2246467991473532e-16;
    QTest::newRow("sin of 1e22") << "sin" << 1e22 << -0.8522008497671888;
    QTest::newRow("cos of 1e22") << "cos" << 1e22 << 0.5232147853951389;
    QTest::newRow("sin of a tiny angle is the angle") << "sin" << 1e-300 << 1e-300;
    QTest::newRow("cos of 0") << "cos" << 0.0 << 1.0;
    QTest::newRow("tan of the double pi/4") << "tan" << 0.78539816339744828 << 0.99999999999999989;
    QTest::newRow("exp of 1") << "exp" << 1.0 << 2.7182818284590451;
    QTest::newRow("exp overflows") << "exp" << 710.0 << inf;
    QTest::newRow("exp to the smallest subnormal") << "exp" << -745.13321910194111 << 4.9406564584124654e-324;
    QTest::newRow("exp below every double") << "exp" << -746.0 << 0.0;
    QTest::newRow("log of 1") << "log" << 1.0 << 0.0;
    QTest::newRow("log of 10") << "log" << 10.0 << 2.3025850929940459;
    QTest::newRow("log of 0") << "log" << 0.0 << -inf;
    // clang-format on
}

void TestExactMath::knownValues() {
    QFETCH(QString, function);
    QFETCH(double, x);
    QFETCH(double, expected);
    QCOMPARE(apply(function, x), expected);
}

void TestExactMath::withinOneUnitOfTheCLibrary() {
#ifdef __GLIBC__
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> angle(-1e4, 1e4);
    std::uniform_real_distribution<double> power(-700, 700);
    std::uniform_real_distribution<double> positive(1e-300, 1e300);
    const auto close = [](double a, double b) { return a == b || std::nextafter(a, b) == b; };
    for (int i = 0; i < 20000; ++i) {
        const double x = angle(random);
        QVERIFY2(close(exact::sin(x), std::sin(x)), qPrintable(QString::number(x, 'g', 17)));
        QVERIFY2(close(exact::cos(x), std::cos(x)), qPrintable(QString::number(x, 'g', 17)));
        QVERIFY2(close(exact::tan(x), std::tan(x)), qPrintable(QString::number(x, 'g', 17)));
        const double y = power(random);
        QVERIFY2(close(exact::exp(y), std::exp(y)), qPrintable(QString::number(y, 'g', 17)));
        const double z = positive(random);
        QVERIFY2(close(exact::log(z), std::log(z)), qPrintable(QString::number(z, 'g', 17)));
    }
#else
    QSKIP("only glibc's functions are known to be within one unit in the last place");
#endif
}

QTEST_APPLESS_MAIN(TestExactMath)
#include "tst_exactmath.moc"
