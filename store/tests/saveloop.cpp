// The kill soak's child: saves self-checking tapes into a folder until it is killed.
// Each round makes a new file (three rounds share a clock second, so names collide and
// take "-2", "-3"), and every other round also saves back over that file.
#include "core/calculator.h"
#include "core/tapeformat.h"
#include "store/tapefiles.h"
#include "store/tests/selfcheckingtape.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QString>

#include <cstdlib>

using namespace tapecalc;

int main(int argc, char **argv) {
    if (argc != 3)
        return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const long long run = std::atoll(argv[2]);
    const QDateTime start(QDate(2026, 12, 6), QTime(8, 0, 0));
    QElapsedTimer alive; // the parent kills it long before; this only bounds an orphan
    alive.start();
    Calculator calc;
    Calculator other;
    for (long long round = 0; alive.elapsed() < 20000; ++round) {
        const long long seed = run * 100000 + round;
        selfcheck::fill(calc, seed);
        calc.currentTapeFile.clear();
        const QDateTime moment = start.addSecs(run * 1000 + round / 3);
        if (saveTape(calc, folder, moment, {}) != SaveOutcome::savedNew)
            return 1;
        if (round % 2 == 1) {
            selfcheck::fill(other, seed + 50000);
            const QString view = QString::fromStdString(tapeText(other));
            if (saveTape(calc, folder, moment, view) != SaveOutcome::savedBack)
                return 1;
        }
    }
    return 0;
}
