// The window with a full tape of 30,001 lines: an operator key including the update of
// the tape view on screen; and the largest files the open accepts, opened and keyed
// into. Runs headless (offscreen) unless a display is chosen.
#include "bench/fulltape.h"
#include "core/tapeformat.h"
#include "store/tapefiles.h"
#include "ui/form1.h"
#include "ui/tests/recordingplatform.h"

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

using namespace tapecalc;

namespace {

// A window that opened a saved full tape from its file list.
struct FullWindow {
    QTemporaryDir folder;
    RecordingPlatform platform;
    std::unique_ptr<Form1> form;
    QLineEdit *text1 = nullptr;

    FullWindow() {
        Calculator calc;
        fillTape(calc);
        const QString data = QDir(folder.path()).filePath("shujucuncu");
        QDir().mkpath(data);
        saveTape(calc, data, platform.clock, {});
        form = std::make_unique<Form1>(platform, folder.path());
        form->show();
        (void)QTest::qWaitForWindowExposed(form.get());
        auto *list = form->findChild<QListWidget *>("File1");
        Q_EMIT list->itemClicked(list->item(0));
        text1 = form->findChild<QLineEdit *>("Text1");
        QApplication::processEvents();
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
        QFile file(QDir(data).filePath("largest.qtz"));
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

// The largest files the open accepts. One long line: an entry row as long as a row may
// be. Many lines: as many lines as leave the tape room for the keys that follow, their
// entries as long as fills the size bound.
QByteArray largestFile(bool oneLine) {
    const QByteArray symbol = "\r\n+\r\n";
    if (oneLine)
        return QByteArray(static_cast<qsizetype>(longestTapeRow), '7') + symbol;
    constexpr qsizetype lines = tapeSlots - 1000;
    const QByteArray pair = QByteArray(largestTapeFile / lines - symbol.size(), '7') + symbol;
    return pair.repeated(lines);
}

const char *shape(benchmark::State &state) {
    return state.range(0) == 1 ? "one long line" : "many lines";
}

} // namespace

// Opening the largest file the open accepts, as a click on its name does.
static void BM_WindowOpenLargestFile(benchmark::State &state) {
    OpenedWindow window(largestFile(state.range(0) == 1));
    for (auto _ : state) {
        // From an empty tape each time: the same tape opened again changes nothing.
        state.PauseTiming();
        QTest::keyClick(window.text1, 'a');
        QApplication::processEvents();
        state.ResumeTiming();
        window.open();
        if (window.view->document()->isEmpty())
            state.SkipWithError("the file did not open");
    }
    state.SetLabel(shape(state));
}
BENCHMARK(BM_WindowOpenLargestFile)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// Keys after opening the largest file: a digit typed at the end of the view's first row
// and taken back, or a number closed by an operator in the entry box (two keys each).
static void BM_WindowKeysLargestFile(benchmark::State &state) {
    OpenedWindow window(largestFile(state.range(0) == 1));
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

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
