// What the print suites share: the program's face, the PDFs the cups-pdf queue TapePDF
// (tools/start-cups.sh) makes of their jobs, and a small report of a few lines. Suites
// that include it define TAPECALC_SOURCE_DIR.
#pragma once

#include "core/actions.h"
#include "core/report.h"
#include "core/tests/recorder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTest>

#include <string>
#include <utility>
#include <vector>

namespace tapecalc::printtest {

// The program's own face at the report's 12 pt, from the file the program builds in.
inline QFont programFont() {
    static const int id = QFontDatabase::addApplicationFont(TAPECALC_SOURCE_DIR
                                                            "/art/fonts/TapeCalcSerif-subset.otf");
    QFont font(QFontDatabase::applicationFontFamilies(id).value(0));
    font.setPointSizeF(12.0);
    return font;
}

// Where cups-pdf may put the job of this user (its "Out" setting, or the folder of
// anonymous jobs); TAPECALC_PDF_DIR names another.
inline QStringList pdfFolders() {
    const QString chosen = qEnvironmentVariable("TAPECALC_PDF_DIR");
    if (!chosen.isEmpty())
        return {chosen};
    return {QDir::homePath() + "/PDF", "/var/spool/cups-pdf/ANONYMOUS"};
}

inline QSet<QString> existingPdfs() {
    QSet<QString> found;
    for (const QString &folder : pdfFolders())
        for (const QFileInfo &info : QDir(folder).entryInfoList({"*.pdf"}, QDir::Files))
            found.insert(info.absoluteFilePath());
    return found;
}

// The first PDF that was not there before and has stopped growing; empty after a minute.
inline QString waitForNewPdf(const QSet<QString> &before) {
    QElapsedTimer clock;
    clock.start();
    QString candidate;
    qint64 lastSize = -1;
    while (clock.elapsed() < 60000) {
        if (candidate.isEmpty()) {
            const QSet<QString> now = existingPdfs();
            for (const QString &path : now)
                if (!before.contains(path))
                    candidate = path;
        } else {
            const qint64 size = QFileInfo(candidate).size();
            if (size > 0 && size == lastSize)
                return candidate;
            lastSize = size;
        }
        QTest::qWait(250);
    }
    return {};
}

inline Calculator smallTape() {
    Calculator calc;
    Recorder out;
    for (const auto &[entry, key] :
         std::vector<std::pair<std::string, Operator>>{{"123.45", Operator::add},
                                                       {"67", Operator::multiply},
                                                       {"2", Operator::subtract},
                                                       {"0.5", Operator::add}}) {
        calc.shown.text1 = entry;
        operatorKey(calc, out, key);
    }
    return calc;
}

inline std::vector<ReportLine> smallReport() {
    return reportLines(smallTape(), "2026-12-06 16:58:07");
}

} // namespace tapecalc::printtest
