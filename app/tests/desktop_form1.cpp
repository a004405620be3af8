// The real window on a real desktop, run by tests/desktop.sh: an X server with a window
// manager, fcitx5 with pinyin switched on, or weston's XWayland. Keys and the pointer come
// from xdotool through the X server; the window is read back with xprop and xwininfo.
#include "app/realplatform.h"
#include "ui/form1.h"
#include "ui/tests/recordingplatform.h"

#include "testsupport/missing.h"

#include <QClipboard>
#include <QCursor>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace tapecalc;

namespace {

// A desktop tool's output. The pointer and the screen may be on another X server than the
// window (weston's own, when the window is on its XWayland): TAPECALC_POINTER_DISPLAY.
QString run(const QString &program, QStringList arguments, bool onPointerDisplay = false) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (onPointerDisplay && environment.contains("TAPECALC_POINTER_DISPLAY"))
        environment.insert("DISPLAY", environment.value("TAPECALC_POINTER_DISPLAY"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(10000))
        process.kill();
    process.waitForFinished(1000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}
void xdotool(const QStringList &arguments) {
    run("xdotool", arguments, true);
}
void pointerTo(QPoint at) {
    xdotool({"mousemove", "--sync", QString::number(at.x()), QString::number(at.y())});
}

// Where the X server has a window, whatever the toolkit believes.
QRect onScreen(WId window) {
    const QString info = run("xwininfo", {"-id", QString::number(window)});
    const auto value = [&](const char *name) {
        return QRegularExpression(QString(name) + ": +(-?\\d+)").match(info).captured(1).toInt();
    };
    return {value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"),
            value("Height")};
}

QStringList visibleWindows(const QString &className) {
    return run("xdotool", {"search", "--onlyvisible", "--class", className})
        .split('\n', Qt::SkipEmptyParts);
}

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_folder;
    RecordingPlatform m_platform;

    void showActive(QWidget &window) {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        xdotool({"windowactivate", "--sync", QString::number(window.winId())});
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    QString shown(Form1 &form, const char *name) {
        return form.findChild<QLabel *>(QString::fromLatin1(name))->text();
    }

  private Q_SLOTS:
    void lettersReachTheKeysWithPinyinOn();
    void windowManagerCannotStretchIt();
    void backgroundDragMovesIt();
    void staysAboveANewWindow();
    void helpPageWithoutABrowser();
    void middleButtonPastesTheSelection();
};

void TestDesktop::lettersReachTheKeysWithPinyinOn() {
    // Pinyin switched on in another program's text box (desktop.sh has fcitx5 share the
    // state between windows): letters there open the candidate window. That box's input
    // context reaches fcitx5 over the bus a moment after the focus.
    QLineEdit other;
    showActive(other);
    const auto composing = [&] {
        other.clear();
        run("fcitx5-remote", {"-o"});
        xdotool({"type", "--delay", "60", "ni"});
        QTest::qWait(300);
        return run("fcitx5-remote", {}).trimmed() == "2" && other.text().isEmpty() &&
               !visibleWindows("fcitx").isEmpty();
    };
    QTRY_VERIFY_WITH_TIMEOUT(composing(), 10000);
    xdotool({"key", "Escape"});
    QTRY_VERIFY(visibleWindows("fcitx").isEmpty());

    Form1 form(m_platform, m_folder.path());
    showActive(form);
    auto *text1 = form.findChild<QLineEdit *>("Text1");
    QVERIFY(text1->hasFocus());
    // A person types a moment after the window is up, when an input context that attached
    // to the box would be in place.
    QTest::qWait(1500);
    xdotool({"type", "--delay", "60", "12"});
    QTRY_COMPARE(text1->text(), QString("12"));
    xdotool({"type", "c"});
    QTRY_VERIFY(text1->text().isEmpty());
    xdotool({"type", "--delay", "60", "12.5+"});
    QTRY_COMPARE(shown(form, "Label1"), QString("12.5"));
    xdotool({"type", "--delay", "60", "3a"});
    QTRY_VERIFY(shown(form, "Label1").isEmpty());
    QCOMPARE(shown(form, "Label2"), QString("加"));
    QVERIFY2(visibleWindows("fcitx").isEmpty(), "fcitx5 shows a window");
}

void TestDesktop::windowManagerCannotStretchIt() {
    Form1 form(m_platform, m_folder.path());
    showActive(form);
    const QString id = QString::number(form.winId());
    for (int layout = 0; layout < 5; ++layout) { // every layout of the expand key
        const QSize size = form.size();
        QTRY_VERIFY(run("xprop", {"-id", id, "WM_NORMAL_HINTS"})
                        .contains(QString("program specified minimum size: %1 by %2\n\t\t"
                                          "program specified maximum size: %1 by %2")
                                      .arg(size.width())
                                      .arg(size.height())));
        // A stretch and a move asked together: the move shows the request was handled.
        const QPoint before = onScreen(form.winId()).topLeft();
        xdotool({"windowsize", id, "900", "700"});
        xdotool({"windowmove", id, QString::number(before.x() + 7), QString::number(before.y())});
        QTRY_COMPARE(onScreen(form.winId()).topLeft(), before + QPoint(7, 0));
        QCOMPARE(onScreen(form.winId()).size(), size);
        QTest::mouseClick(form.findChild<QWidget *>("Label27"), Qt::LeftButton);
    }
}

void TestDesktop::backgroundDragMovesIt() {
    Form1 form(m_platform, m_folder.path());
    showActive(form);
    QTest::qWait(500); // weston's window manager places the window after it is mapped
    // A point of the gold margin on the left, low enough to be clear of a desktop's panel:
    // weston's covers the top of a window that stands at (0, 0).
    const QPoint start = onScreen(form.winId()).topLeft(), grab = start + QPoint(6, 200),
                 by(90, 60);
    // From outside a nested compositor's window first: weston's X11 backend takes the
    // pointer's place when it enters and follows its moves from there.
    pointerTo({10000, 10000});
    pointerTo(grab);
    // The press goes where the window's own X server has the pointer: a nested compositor
    // passes the pointer on a moment after it enters.
    QTRY_COMPARE(QCursor::pos(), grab);
    xdotool({"mousedown", "1"});
    for (int step = 1; step <= 4; ++step) {
        QTest::qWait(50);
        pointerTo(grab + by * step / 4);
    }
    xdotool({"mouseup", "1"});
    // The grabbed point stays under the pointer.
    QTRY_COMPARE(onScreen(form.winId()).topLeft(), start + by);
    QCOMPARE(form.size(), QSize(352, 368));
    // Each press asks the window system for a move; a double-click still reaches the
    // window and gives the short strip.
    QTest::qWait(300);
    pointerTo(grab + by + QPoint(4, 4));
    xdotool({"click", "--repeat", "2", "--delay", "80", "1"});
    QTRY_COMPARE(form.size(), QSize(352, 110));
}

void TestDesktop::staysAboveANewWindow() {
    Form1 form(m_platform, m_folder.path());
    showActive(form);
    // Another program opens a large window over the calculator and takes the focus.
    QProcess other;
    other.start("xmessage", {"-geometry", "700x560+0+0", "another window"});
    const auto end = qScopeGuard([&] {
        other.kill();
        other.waitForFinished();
    });
    QTRY_VERIFY_WITH_TIMEOUT(!visibleWindows("xmessage").isEmpty(), 10000);
    const QString otherId = visibleWindows("xmessage").first();
    xdotool({"windowactivate", otherId});
    QTest::qWait(500);
    const QRect ours = onScreen(form.winId());
    const QRect both = onScreen(otherId.toULongLong()).intersected(ours);
    QVERIFY2(both.width() > 100 && both.height() > 100, "the other window misses the calculator");

    // Where the two overlap, the screen shows the calculator's own picture.
    QTemporaryDir shots;
    run("import", {"-window", "root", shots.filePath("screen.png")}, true);
    const QImage screen(shots.filePath("screen.png")), drawn = form.grab().toImage();
    QVERIFY(!screen.isNull());
    int same = 0, checked = 0;
    for (int y = both.top() + 2; y < both.bottom(); y += 17)
        for (int x = both.left() + 2; x < both.right(); x += 17, ++checked) {
            const QColor a = screen.pixelColor(x, y),
                         b = drawn.pixelColor(x - ours.x(), y - ours.y());
            same += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                        std::abs(a.blue() - b.blue()) <
                    24;
        }
    // A window manager that does not list keep-above among the hints it supports (weston
    // 10's for XWayland) leaves the window where activation puts it; one that starts to
    // support it makes this an unexpected pass, to be noticed.
    const QString supported = run("xprop", {"-root", "_NET_SUPPORTED"});
    QVERIFY2(supported.contains("_NET_WM_STATE"), "no window manager's hints to read");
    if (!supported.contains("_NET_WM_STATE_ABOVE"))
        QEXPECT_FAIL("", "the window manager offers no keep-above", Abort);
    QVERIFY2(same > checked * 9 / 10,
             qPrintable(QString("%1 of %2 points").arg(same).arg(checked)));
}

void TestDesktop::helpPageWithoutABrowser() {
    for (const char *browser : {"x-www-browser", "www-browser", "firefox", "chromium"})
        if (!QStandardPaths::findExecutable(browser).isEmpty())
            TAPECALC_MISSING("a desktop without a browser (one is installed here)");
    struct Platform : RealPlatform { // the real one; the message is kept instead of shown
        QStringList messages;
        void showMessage(const QString &text) override { messages << text; }
    } platform;
    Form1 form(platform, m_folder.path());
    QTest::mouseClick(form.findChild<QWidget *>("Image13"), Qt::LeftButton);
    const QString page = QDir::toNativeSeparators(m_folder.filePath("help/index.html"));
    QTRY_COMPARE_WITH_TIMEOUT(platform.messages, QStringList{"没有找到浏览器。帮助网页在：" + page},
                              10000);
}

// X11 pastes its selection with the middle button, the X server's own event: a number
// goes in at the pointer, text that would make no number does not.
void TestDesktop::middleButtonPastesTheSelection() {
    Form1 form(m_platform, m_folder.path());
    showActive(form);
    auto *text1 = form.findChild<QLineEdit *>("Text1");
    QVERIFY(QGuiApplication::clipboard()->supportsSelection());
    QTest::keyClicks(text1, "1");
    pointerTo(text1->mapToGlobal(QPoint(text1->width() - 10, text1->height() / 2)));
    for (const auto &[selected, entry] : {std::pair{"２.5", "12.5"}, std::pair{"3a", "12.5"}}) {
        QGuiApplication::clipboard()->setText(QString::fromUtf8(selected), QClipboard::Selection);
        xdotool({"click", "2"});
        QTest::qWait(300);
        QCOMPARE(text1->text(), QString(entry));
    }
}

QTEST_MAIN(TestDesktop)
#include "desktop_form1.moc"
