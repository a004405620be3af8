// What the tape file suites (tst_tapesave, tst_tapeopen, tst_tapedelete, tst_textcoding)
// share: the coded symbols, a fixed moment, tapes made or keyed in memory, bytes on the
// disk, and a suite's own home (for the trash) and folders.
#pragma once

#include "core/actions.h"
#include "core/tests/recorder.h"
#include "store/platform_p.h"
#include "store/tests/temporaryhome.h"
#include "store/textcoding.h"
#include "testsupport/missing.h"
#include "testsupport/nobody.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <string>
#include <utility>
#include <vector>

namespace tapecalc::tapetest {

inline const QByteArray gbkTimes("\xA1\xC1");
inline const QByteArray gbkDivide("\xA1\xC2");
inline const QByteArray utf8Times("\xC3\x97");
inline const QByteArray utf8Divide("\xC3\xB7");
inline const QByteArray utf8Bom("\xEF\xBB\xBF");

inline const QDateTime moment(QDate(2026, 12, 6), QTime(16, 58, 7));

// Every character of GBK, and a sample of all the others (one in every 37 code points
// from the space up, the byte order mark, the replacement character and the no-break
// space among them): what a tape file may hold. Without the line ends of a text box (CR,
// LF, the line and paragraph separators, Qt's two frame marks), which end its rows.
inline QStringList everyCharacter() {
    QStringList characters;
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const char pair[] = {static_cast<char>(lead), static_cast<char>(trail)};
            bool valid = false;
            const QString c = gbk::decode(QByteArray(pair, 2), &valid);
            if (valid && !c.isEmpty())
                characters << c;
        }
    for (char32_t c = 0x20; c <= 0x10FFFF; c += 37)
        if (!QChar::isSurrogate(c) && c != 0x2028 && c != 0x2029 && c != 0xFDD0 && c != 0xFDD1)
            characters << QString::fromUcs4(&c, 1);
    characters << QString(QChar(0xFEFF)) << QString(QChar::ReplacementCharacter)
               << QString(QChar(QChar::Nbsp));
    return characters;
}

// A tape of recorded lines (entry, symbol), as the operator keys leave it.
inline Calculator tapeOf(const std::vector<std::pair<std::string, std::string>> &lines) {
    Calculator calc;
    for (const auto &[entry, symbol] : lines) {
        calc.tapeEntries[static_cast<std::size_t>(calc.lineNumber)] = entry;
        calc.tapeOperators[static_cast<std::size_t>(calc.lineNumber)] = symbol;
        ++calc.lineNumber;
    }
    calc.lastLineNumber = calc.lineNumber;
    return calc;
}

// Presses keys: a number is typed into the entry box, an operator name or "=" is its key.
inline void press(Calculator &calc, Recorder &out, const QString &keys) {
    for (const QString &key : keys.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const std::string k = key.toStdString();
        if (k == "=")
            equalsKey(calc, out);
        else if (const OperatorInfo *op = operatorByName(k))
            operatorKey(calc, out, op->code);
        else
            calc.shown.text1 = k;
    }
}

inline QByteArray readBytes(const QString &path) { // a name that is not UTF-8 too
    QFile file;
    if (durable::openRegularFile(file, path) != durable::OpenedFile::opened)
        return "<unreadable>";
    return file.readAll();
}

inline void writeBytes(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

inline QStringList entriesOf(const Calculator &calc, int count) {
    QStringList list;
    for (int i = 0; i < count && Calculator::inTape(i); ++i)
        list << QString::fromStdString(calc.tapeEntries[static_cast<std::size_t>(i)]);
    return list;
}

inline QStringList symbolsOf(const Calculator &calc, int count) {
    QStringList list;
    for (int i = 0; i < count && Calculator::inTape(i); ++i)
        list << QString::fromStdString(calc.tapeOperators[static_cast<std::size_t>(i)]);
    return list;
}

inline QStringList folderEntries(const QString &folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// The base of a suite on real folders: its own home, so that deleted tapes land in a
// trash the suite can look into, and a temporary folder for its data folders.
class TapeFolderSuite : public QObject {
  protected:
    // A deleted tape is in the home trash of the test's own home, whole. Windows keeps its
    // recycle bin where the test cannot look: there it is only gone from the folder.
    void checkTrashed(const QString &name, const QByteArray &bytes) {
#ifdef Q_OS_WIN
        Q_UNUSED(name);
        Q_UNUSED(bytes);
#else
        QCOMPARE(readBytes(QDir(home_.trashFiles()).filePath(name)), bytes);
#endif
    }
    TemporaryHome home_; // deleted tapes land in its trash
    QTemporaryDir dir_;
    QString folder() const {
        return dir_.path();
    }
    QString freshFolder(const QString &name) {
        const QString path = dir_.filePath(name);
        QDir(path).removeRecursively();
        QDir().mkpath(path);
        return path;
    }
};

} // namespace tapecalc::tapetest
