// The window with a full tape of 30,001 lines: an operator key including the update of
// the tape view on screen; the largest files the open accepts, opened and keyed into; the
// start on a folder of hostile journals (target: under a second). Runs headless
// (offscreen) unless a display is chosen.
#include "bench/fulltape.h"
#include "core/journalformat.h"
#include "core/tapeformat.h"
#include "store/journal.h"
#include "store/tapefiles.h"
#include "ui/form1.h"
#include "ui/tests/recordingplatform.h"
#include "ui/tests/startwindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <benchmark/benchmark.h>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace tapecalc;

namespace {

// A window with `bytes` as the one tape file in its file list.
struct OpenedWindow {
    QTemporaryDir folder;
    RecordingPlatform platform;
    std::unique_ptr<Form1> form;
    QListWidget *list = nullptr;
    QLineEdit *text1 = nullptr;
    QPlainTextEdit *view = nullptr;

    explicit OpenedWindow(const QByteArray &bytes) {
        const QString data = QDir(folder.path()).filePath("shujucuncu");
        QDir().mkpath(data);
        QFile file(QDir(data).filePath("tape.qtz"));
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
        file.close();
        form = std::make_unique<Form1>(platform, folder.path());
        form->show();
        (void)QTest::qWaitForWindowExposed(form.get());
        list = form->findChild<QListWidget *>("File1");
        text1 = form->findChild<QLineEdit *>("Text1");
        view = form->findChild<QPlainTextEdit *>("Text2");
    }

    // Opens the file as a click on its name does, and shows it.
    void open() {
        Q_EMIT list->itemClicked(list->item(0));
        QApplication::processEvents();
    }
};

// A window that opened a saved full tape from its file list.
struct FullWindow : OpenedWindow {
    FullWindow() : OpenedWindow(fullTapeFile()) { open(); }

    static QByteArray fullTapeFile() {
        Calculator calc;
        fillTape(calc);
        return encodeTapeText(QString::fromStdString(tapeText(calc)));
    }
};

} // namespace

// Typing "7" and "+" : the line beyond the full tape, the view rebuilt and shown.
static void BM_WindowOperatorKeyFullTape(benchmark::State &state) {
    FullWindow window;
    if (window.form->calculator().lineNumber != tapeSlots)
        state.SkipWithError("the full tape did not open");
    for (auto _ : state) {
        QTest::keyClick(window.text1, '7');
        QTest::keyClick(window.text1, '+');
        QApplication::processEvents();
    }
}
BENCHMARK(BM_WindowOperatorKeyFullTape)->Unit(benchmark::kMillisecond);

// The tape's last line recorded again after a review step: the view's last rows change.
static void BM_WindowReviewAndRecordLastLine(benchmark::State &state) {
    FullWindow window;
    auto *back = window.form->findChild<QWidget *>("Label14");
    for (auto _ : state) {
        QTest::mouseClick(back, Qt::LeftButton);
        QTest::keyClick(window.text1, '*');
        QApplication::processEvents();
    }
}
BENCHMARK(BM_WindowReviewAndRecordLastLine)->Unit(benchmark::kMillisecond);

// A correction typed into the middle of the full tape's view and taken back: two keys,
// each reaching the journal as the change the text box reports.
static void BM_WindowTapeViewCorrectionFullTape(benchmark::State &state) {
    FullWindow window;
    auto *view = window.form->findChild<QPlainTextEdit *>("Text2");
    QTextCursor cursor = view->textCursor();
    cursor.setPosition(view->document()->characterCount() / 2);
    view->setTextCursor(cursor);
    for (auto _ : state) {
        QTest::keyClick(view, '5');
        QTest::keyClick(view, Qt::Key_Backspace);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_WindowTapeViewCorrectionFullTape)->Unit(benchmark::kMillisecond);

namespace {

// The largest files the open accepts, by the shape of their rows. One long line: an entry
// row as long as a row may be. Many lines: as many lines as leave the tape room for the
// keys that follow, their entries as long as fills the size bound. Then files of the
// size bound in rows of one digit, in blank rows, which are no tape lines at all, and in
// rows of a digit and paragraph separators (a text box's paragraph breaks, not a row's).
enum Shape { manyLines, oneLongLine, digitRows, blankCr, blankLf, blankCrLf, paragraphBreaks };

QByteArray largestFile(Shape shape) {
    const QByteArray symbol = "\r\n+\r\n";
    const auto filled = [](const QByteArray &row) {
        return row.repeated(largestTapeFile / row.size());
    };
    switch (shape) {
    case oneLongLine:
        return QByteArray(static_cast<qsizetype>(longestTapeRow), '7') + symbol;
    case manyLines: {
        constexpr qsizetype lines = tapeSlots - 1000;
        const QByteArray pair = QByteArray(largestTapeFile / lines - symbol.size(), '7') + symbol;
        return pair.repeated(lines);
    }
    case digitRows:
        return filled("1\n");
    case blankCr:
        return filled("\r");
    case blankLf:
        return filled("\n");
    case blankCrLf:
        return filled("\r\n");
    case paragraphBreaks:
        return filled("1" + QByteArray("\u2029").repeated(10000) + "\n");
    }
    return {};
}

Shape shapeOf(benchmark::State &state) {
    return static_cast<Shape>(state.range(0));
}

const char *shape(benchmark::State &state) {
    static const char *const names[] = {"many lines",
                                        "one long line",
                                        "rows of 1 LF",
                                        "blank rows CR",
                                        "blank rows LF",
                                        "blank rows CR LF",
                                        "rows of paragraph breaks"};
    return names[state.range(0)];
}

} // namespace

// Opening the largest file the open accepts, as a click on its name does.
static void BM_WindowOpenLargestFile(benchmark::State &state) {
    OpenedWindow window(largestFile(shapeOf(state)));
    for (auto _ : state) {
        // From an empty tape each time: the same tape opened again changes nothing.
        state.PauseTiming();
        QTest::keyClick(window.text1, 'a');
        QApplication::processEvents();
        state.ResumeTiming();
        window.open();
        if (window.form->calculator().currentTapeFile.empty())
            state.SkipWithError("the file did not open");
    }
    state.SetLabel(shape(state));
}
BENCHMARK(BM_WindowOpenLargestFile)
    ->DenseRange(manyLines, paragraphBreaks)
    ->Unit(benchmark::kMillisecond);

// Keys after opening the largest file: a digit typed at the end of the view's first row
// and taken back, or a number closed by an operator in the entry box (two keys each).
static void BM_WindowKeysLargestFile(benchmark::State &state) {
    OpenedWindow window(largestFile(shapeOf(state)));
    window.open();
    QTextCursor cursor(window.view->document()->firstBlock());
    cursor.movePosition(QTextCursor::EndOfBlock);
    window.view->setTextCursor(cursor);
    const bool typed = state.range(1) == 1;
    for (auto _ : state) {
        if (typed) {
            QTest::keyClick(window.view, '5');
            QTest::keyClick(window.view, Qt::Key_Backspace);
        } else {
            QTest::keyClick(window.text1, '7');
            QTest::keyClick(window.text1, '+');
        }
        QApplication::processEvents();
    }
    state.SetLabel(std::string(shape(state)) +
                   (typed ? ", a digit typed into the view and taken back" : ", 7 and +"));
}
BENCHMARK(BM_WindowKeysLargestFile)
    ->Args({1, 1})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({0, 0})
    ->Unit(benchmark::kMillisecond);

// The start (the window made and its first events) on a data folder of the journals of
// ended copies that a start must survive: a link to /dev/zero, a FIFO, a sparse 8 GiB
// file with the header, another version's; and, made again before each start as the start
// turns them into tapes, the largest journal read of single units typed at the top, and
// one of more work than a replay may do.
static void BM_WindowStartHostileJournals(benchmark::State &state) {
    QTemporaryDir folder;
    const QDir data(QDir(folder.path()).filePath("shujucuncu"));
    QDir().mkpath(data.path());
    const auto path = [&data](int pid) {
        return data.filePath(QStringLiteral(".tapecalc-journal-%1").arg(999000000 + pid));
    };
    const auto write = [](const QString &name, const std::string &bytes) {
        QFile file(name);
        return file.open(QIODevice::WriteOnly) &&
               file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                   static_cast<qint64>(bytes.size());
    };
    const std::string header(journal::header);
    bool made = write(path(3), header) && QFile::resize(path(3), qint64(8) << 30) &&
                write(path(4), "TapeCalc journal 2\n");
#ifdef Q_OS_UNIX
    made = made && QFile::link("/dev/zero", path(1)) &&
           ::mkfifo(QFile::encodeName(path(2)).constData(), 0600) == 0;
#endif
    std::string top = header;
    for (char16_t unit = u'0'; top.size() + 19 <= largestJournal;
         unit = unit == u'9' ? u'0' : unit + 1)
        top += journal::changeRecord({0, 0, std::u16string_view(&unit, 1)});
    std::string turns = header + journal::changeRecord({0, 0, std::u16string(100000, u'7')});
    for (std::uint32_t n = 0; n < 3000; ++n)
        turns += journal::changeRecord({n % 2 == 0 ? 0 : 100001 + n, 0, u"1"});
    if (!made)
        state.SkipWithError("could not make the journals");
    for (auto _ : state) {
        state.PauseTiming();
        for (const QString &name :
             data.entryList({"*.qtz", ".tapecalc-damaged-*"}, QDir::Files | QDir::Hidden))
            QFile::remove(data.filePath(name));
        // The start renames the journals it cannot read aside: back to be met again.
        for (const QString &name : data.entryList({".tapecalc-unknown-journal-*"},
                                                  QDir::Files | QDir::Hidden | QDir::System))
            QFile::rename(data.filePath(name),
                          data.filePath(QString(name).replace("unknown-journal-", "journal-")));
        if (!write(path(5), top) || !write(path(6), turns))
            state.SkipWithError("could not make the journals");
        state.ResumeTiming();
        RecordingPlatform platform;
        Form1 form(platform, folder.path());
        // The start as the program makes it: the recovery runs after the first frame.
        if (!showStarted(form))
            state.SkipWithError("the window's start did not end");
        if (data.entryList({"*.qtz"}, QDir::Files).size() != 2)
            state.SkipWithError("the two tapes were not recovered");
    }
}
BENCHMARK(BM_WindowStartHostileJournals)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
