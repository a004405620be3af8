// The window with a full tape of 30,001 lines: an operator key including the update of
// the tape view on screen. Runs headless (offscreen) unless a display is chosen.
#include "bench/fulltape.h"
#include "store/tapefiles.h"
#include "ui/form1.h"
#include "ui/tests/recordingplatform.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
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

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
