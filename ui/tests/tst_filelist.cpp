// The file list of the real window: every name a save gives is readable in the list's own
// width, without scrolling, and the tooltip names the file.
#include "store/platform_p.h"
#include "store/tapefiles.h"
#include "ui/controls.h"
#include "ui/form1.h"
#include "ui/tests/recordingplatform.h"

#include <QDir>
#include <QHash>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QStyledItemDelegate>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace tapecalc;

class TestFileList : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void savedNamesShowWholeInTheList_data();
    void savedNamesShowWholeInTheList();
    void shownNamesAgreeWithThePattern();
    void everyTapeShowsOnceWithATextOfItsOwn();
};

void TestFileList::savedNamesShowWholeInTheList_data() {
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<int>("saves");    // in the same second: "-2", "-3", …
    QTest::addColumn<bool>("scrolls"); // more rows than the list's height: a narrower list
    QTest::newRow("afternoon, one")
        << QDateTime(QDate(2026, 12, 6), QTime(16, 58, 7)) << 1 << false;
    QTest::newRow("morning, unpadded hour")
        << QDateTime(QDate(2026, 1, 2), QTime(9, 5, 7)) << 3 << false;
    QTest::newRow("last second of the year, a scroll bar")
        << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)) << 16 << true;
}

void TestFileList::savedNamesShowWholeInTheList() {
    QFETCH(QDateTime, moment);
    QFETCH(int, saves);
    QFETCH(bool, scrolls);
    QTemporaryDir program;
    RecordingPlatform platform;
    platform.clock = moment;
    Form1 form(platform, program.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto *text1 = form.findChild<QLineEdit *>("Text1");
    auto *list = form.findChild<QListWidget *>("File1");
    QVERIFY(text1 && list);
    const QSize size = list->size();
    for (int i = 0; i < saves; ++i) {
        QTest::keyClicks(text1, "5+"); // an operator ties the next save to a new file
        QTest::mouseClick(form.findChild<QWidget *>("Label32"), Qt::LeftButton);
    }
    QTest::keyClick(text1, Qt::Key_PageUp); // the window with the list
    QCOMPARE(list->count(), saves);
    QCOMPARE(list->size(), size);
    QVERIFY(list->geometry().right() < form.width());

    auto *delegate = qobject_cast<QStyledItemDelegate *>(list->itemDelegate());
    QVERIFY(delegate);
    QSet<QString> shownTexts;
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem *item = list->item(i);
        QVERIFY(QDir(form.dataFolder()).exists(item->text()));
        // What is shown reads back as the moment, and tells the same second's tapes apart.
        const QString shown = delegate->displayText(item->text(), QLocale());
        shownTexts.insert(shown);
        const QRect row = list->visualItemRect(item);
        for (const QString &line : shown.split(QChar::LineSeparator))
            QVERIFY2(list->fontMetrics().horizontalAdvance(line) < row.width(), qPrintable(line));
        QVERIFY(row.right() < list->viewport()->width());
        QString dateAndTime = shown.section('-', 0, 2); // without "-2", "-3", …
        QCOMPARE(QDateTime::fromString(dateAndTime.replace(QChar::LineSeparator, 'T'), Qt::ISODate),
                 moment);
        // The tooltip names the file.
        list->scrollToItem(item);
        const QPoint at = list->visualItemRect(item).center();
        QHelpEvent tip(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &tip);
        QTRY_COMPARE(QToolTip::text(), item->text());
        QToolTip::hideText();
    }
    // Laid out now (a row's place asks for it): no scrolling sideways.
    QCOMPARE(list->verticalScrollBar()->isVisible(), scrolls);
    QCOMPARE(list->horizontalScrollBar()->maximum(), 0);
    QCOMPARE(shownTexts.size(), saves);
}

// The list takes names apart by hand. A pattern of the names saves make is the oracle,
// over the names saves give, copies' names, and both changed a character at a time; no
// two names show the same text.
void TestFileList::shownNamesAgreeWithThePattern() {
    static const QRegularExpression fromMoment(QStringLiteral(
        "^([1-9]\\d{7})\\$([1-9]?\\d)\\$(\\d\\d)\\$(\\d\\d)(-[2-9]|-[1-9]\\d+)?\\.qtz$"));
    const auto oracle = [](const QString &fileName) {
        const QRegularExpressionMatch name = fromMoment.match(fileName);
        if (!name.hasMatch())
            return fileName;
        const QDate date = QDate::fromString(name.captured(1), QStringLiteral("yyyyMMdd"));
        const QTime time(name.captured(2).toInt(), name.captured(3).toInt(),
                         name.captured(4).toInt());
        if (!date.isValid() || !time.isValid())
            return fileName;
        return date.toString(Qt::ISODate) + QChar(QChar::LineSeparator) +
               time.toString(Qt::ISODate) + name.captured(5);
    };
    // Digits, the name's own marks, other letters, an Arabic-Indic digit and a space.
    const QString alphabet = QStringLiteral("0123456789$$--..qtzQTZa\u0663 ");
    QRandomGenerator random(20261207);
    int shownAsMoments = 0;
    QHash<QString, QString> nameOf; // shown text → name
    for (int i = 0; i < 20000; ++i) {
        const QDateTime moment(
            QDate(int(random.bounded(1, 10000)), int(random.bounded(1, 13)),
                  int(random.bounded(1, 29))),
            QTime(int(random.bounded(24)), int(random.bounded(60)), int(random.bounded(60))));
        QString name = tapeFileName(moment);
        if (i % 2 == 1)
            name.insert(name.size() - 4, QStringLiteral("-%1").arg(random.bounded(2, 100000)));
        for (int edits = int(random.bounded(3)); edits > 0; --edits) {
            const qsizetype at = random.bounded(name.size() + 1);
            const QChar c = alphabet.at(random.bounded(alphabet.size()));
            switch (random.bounded(3)) {
            case 0:
                name.insert(at, c);
                break;
            case 1:
                name.remove(at, 1);
                break;
            default:
                if (at < name.size())
                    name[at] = c;
            }
        }
        const QString shown = shownFileName(name);
        QCOMPARE(shown, oracle(name));
        QCOMPARE(nameOf.value(shown, name), name);
        nameOf.insert(shown, name);
        shownAsMoments += shown != name ? 1 : 0;
    }
    // Both kinds were met: names shown as moments and names shown as they are.
    QVERIFY(shownAsMoments > 5000 && shownAsMoments < 19000);
}

// Two spellings of one moment, two cases of one name, a name that is not UTF-8 and one
// that reads like it: each listed once, with a text of its own, and each click opens its
// own file; special files named like tapes are not listed.
void TestFileList::everyTapeShowsOnceWithATextOfItsOwn() {
#ifdef Q_OS_UNIX
    const QList<std::pair<QByteArray, QString>> shown = {
        {"20261208$9$05$07.qtz", "2026-12-08\u202809:05:07"},
        {"20261208$09$05$07.qtz", "20261208$09$05$07.qtz"},
        {"x.qtz", "x.qtz"},
        {"x.QTZ", "x.QTZ"},
        {"a\xff.qtz", "a\\xFF.qtz (2)"},
        {"a\\xFF.qtz", "a\\xFF.qtz"}};
    QTemporaryDir program;
    const QByteArray data = QFile::encodeName(program.filePath("shujucuncu")) + '/';
    QVERIFY(QDir().mkpath(program.filePath("shujucuncu")));
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const int fd = ::open((data + shown[i].first).constData(), O_CREAT | O_WRONLY, 0600);
        QVERIFY(fd >= 0 && ::write(fd, (QByteArray::number(i + 1) + "\n+\n").constData(), 4) == 4 &&
                ::close(fd) == 0);
    }
    // A device, a pipe, links to them and a dangling link under tapes' names: no tapes.
    QVERIFY(::symlink("/dev/zero", (data + "zero.qtz").constData()) == 0 &&
            ::mkfifo((data + "pipe.qtz").constData(), 0600) == 0 &&
            ::symlink("pipe.qtz", (data + "to-pipe.qtz").constData()) == 0 &&
            ::symlink("nowhere", (data + "dangling.qtz").constData()) == 0);
    RecordingPlatform platform;
    Form1 form(platform, program.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::keyClick(form.findChild<QLineEdit *>("Text1"), Qt::Key_PageUp); // the list's window
    auto *list = form.findChild<QListWidget *>("File1");
    QCOMPARE(list->count(), shown.size());
    for (QListWidgetItem *item : list->findItems("*", Qt::MatchWildcard)) {
        list->scrollToItem(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(item).center());
        const auto file = shown.value(form.findChild<QLabel *>("Label1")->text().toInt() - 1);
        QCOMPARE(durable::nativePath(item->text()), file.first);
        QCOMPARE(static_cast<QStyledItemDelegate *>(list->itemDelegate())
                     ->displayText(item->text(), QLocale()),
                 file.second);
    }
    ::unlink((data + "a\xff.qtz").constData()); // Qt's removal leaves it
#endif
}

QTEST_MAIN(TestFileList)
#include "tst_filelist.moc"
