// The file list of the real window: every name a save gives is readable in the list's own
// width, without scrolling, and the tooltip names the file.
#include "ui/form1.h"
#include "ui/tests/recordingplatform.h"

#include <QDir>
#include <QHelpEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QSet>
#include <QStyledItemDelegate>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

using namespace tapecalc;

class TestFileList : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void savedNamesShowWholeInTheList_data();
    void savedNamesShowWholeInTheList();
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

QTEST_MAIN(TestFileList)
#include "tst_filelist.moc"
