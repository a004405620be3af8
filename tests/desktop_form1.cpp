// The real window on a real desktop, run by tests/desktop.sh: an X server with a window
// manager, fcitx5 with pinyin switched on, or weston's XWayland. Keys and the pointer come
// from xdotool through the X server, and the window is read back with xprop and xwininfo.
#include "tests/recordingplatform.h"
#include "ui/form1.h"
#include "ui/realplatform.h"

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace tapecalc;

namespace {

// Runs a tool of the desktop; `display` is where the pointer and the screen are (weston's
// own X server when the window is on its XWayland).
QString run(const QString &program, const QStringList &arguments, const QString &display = {},
            bool mayFail = false) {
    QProcess process;
    if (!display.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", display);
        process.setProcessEnvironment(environment);
    }
    process.start(program, arguments);
    const bool finished = process.waitForFinished(10000);
    if (!finished) {
        process.kill();
        process.waitForFinished(1000);
    }
    if (!finished || (process.exitCode() != 0 && !mayFail))
        qWarning("%s %s: %s", qPrintable(program), qPrintable(arguments.join(' ')),
                 process.readAllStandardError().constData());
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

QString pointerDisplay() {
    const QString outer = qEnvironmentVariable("TAPECALC_POINTER_DISPLAY");
    return outer.isEmpty() ? qEnvironmentVariable("DISPLAY") : outer;
}

void xdotool(const QStringList &arguments) {
    run("xdotool", arguments, pointerDisplay());
}

// Where the X server has the window's top left, whatever the toolkit believes.
QPoint onScreen(const Form1 &form) {
    const QString info = run("xwininfo", {"-id", QString::number(form.winId())});
    const auto value = [&](const char *name) {
        return QRegularExpression(QString("Absolute upper-left %1: +(-?\\d+)").arg(name))
            .match(info)
            .captured(1)
            .toInt();
    };
    return {value("X"), value("Y")};
}

QStringList visibleWindows(const QString &className) {
    return run("xdotool", {"search", "--onlyvisible", "--class", className}, {}, true)
        .split('\n', Qt::SkipEmptyParts);
}

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_folder;

    void showActive(Form1 &form) {
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        xdotool({"windowactivate", "--sync", QString::number(form.winId())});
        QVERIFY(QTest::qWaitForWindowActive(&form));
    }
    QString shown(Form1 &form, const char *name) {
        return form.findChild<QLabel *>(QString::fromLatin1(name))->text();
    }
    // A press on the gold backdrop, moved by `by` in steps, released.
    void dragBackground(Form1 &form, QPoint by) {
        const QPoint grab = onScreen(form) + QPoint(6, 6);
        // From outside a nested compositor's window first: weston's X11 backend takes the
        // pointer's place when it enters and follows it by its moves from there.
        xdotool({"mousemove", "--sync", "10000", "10000"});
        xdotool({"mousemove", "--sync", QString::number(grab.x()), QString::number(grab.y())});
        xdotool({"mousedown", "1"});
        for (int step = 1; step <= 4; ++step) {
            const QPoint at = grab + by * step / 4;
            QTest::qWait(50);
            xdotool({"mousemove", "--sync", QString::number(at.x()), QString::number(at.y())});
        }
        QTest::qWait(50);
        xdotool({"mouseup", "1"});
    }

  private Q_SLOTS:
    void lettersReachTheKeysWithPinyinOn();
    void windowManagerCannotStretchIt();
    void backgroundDragMovesIt();
    void staysAboveANewWindow();
    void helpPageWithoutABrowser();
};

void TestDesktop::lettersReachTheKeysWithPinyinOn() {
    // Pinyin switched on in another program's text box (fcitx5 shares the state between
    // windows, desktop.sh's setting): letters there open the candidate window.
    QLineEdit other;
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    xdotool({"windowactivate", "--sync", QString::number(other.winId())});
    QTRY_VERIFY(other.hasFocus());
    // The box's input context reaches fcitx5 over the bus a moment after the focus.
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
    QVERIFY(other.text().isEmpty());

    RecordingPlatform platform;
    Form1 form(platform, m_folder.path());
    showActive(form);
    auto *text1 = form.findChild<QLineEdit *>("Text1");
    QVERIFY(text1->hasFocus());
    // A person types a moment after the window is up: an input context that attaches to
    // the box (over the bus, after the focus) would be there by then.
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
    QVERIFY(text1->text().isEmpty());
    // No candidate window was ever needed: none is shown.
    QVERIFY2(visibleWindows("fcitx").isEmpty(), "fcitx5 shows a window");
}

void TestDesktop::windowManagerCannotStretchIt() {
    RecordingPlatform platform;
    Form1 form(platform, m_folder.path());
    showActive(form);
    const QString id = QString::number(form.winId());
    QWidget *expand = form.findChild<QWidget *>("Label27");
    // Every layout the expand key goes through tells the window manager its one size.
    for (int layout = 0; layout < 5; ++layout) {
        const QSize size = form.size();
        QTRY_VERIFY2(run("xprop", {"-id", id, "WM_NORMAL_HINTS"})
                         .contains(QString("program specified minimum size: %1 by %2\n\t\t"
                                           "program specified maximum size: %1 by %2")
                                       .arg(size.width())
                                       .arg(size.height())),
                     qPrintable(run("xprop", {"-id", id, "WM_NORMAL_HINTS"})));
        // A stretch and a move asked together: the move shows the request was handled.
        const QPoint before = onScreen(form);
        xdotool({"windowsize", id, "900", "700"});
        xdotool({"windowmove", id, QString::number(before.x() + 7), QString::number(before.y())});
        QTRY_COMPARE(onScreen(form), before + QPoint(7, 0));
        QCOMPARE(form.size(), size);
        const QString geometry = run("xwininfo", {"-id", id});
        QVERIFY2(geometry.contains(QString("Width: %1\n").arg(size.width())), qPrintable(geometry));
        QTest::mouseClick(expand, Qt::LeftButton);
    }
}

void TestDesktop::backgroundDragMovesIt() {
    RecordingPlatform platform;
    Form1 form(platform, m_folder.path());
    showActive(form);
    const QPoint before = onScreen(form);
    dragBackground(form, {90, 60});
    // The grabbed point stays under the pointer.
    QTRY_COMPARE(onScreen(form), before + QPoint(90, 60));
    QCOMPARE(form.size(), QSize(352, 368));
    QVERIFY(form.findChild<QLineEdit *>("Text1")->text().isEmpty());
    // Each press asks the window system for a move; a double-click still reaches the
    // window and gives the short strip.
    const QPoint at = onScreen(form) + QPoint(6, 6);
    xdotool({"mousemove", "--sync", QString::number(at.x()), QString::number(at.y())});
    xdotool({"click", "--repeat", "2", "--delay", "80", "1"});
    QTRY_COMPARE(form.size(), QSize(352, 110));
}

void TestDesktop::staysAboveANewWindow() {
    RecordingPlatform platform;
    Form1 form(platform, m_folder.path());
    showActive(form);
    // Another program opens a large window over the place of the calculator and takes
    // the focus.
    QProcess other;
    other.start("xmessage", {"-geometry", "700x560+0+0", "-center", "another window"});
    QVERIFY(other.waitForStarted());
    const auto cleanup = qScopeGuard([&] {
        other.kill();
        other.waitForFinished();
    });
    QTRY_VERIFY_WITH_TIMEOUT(!visibleWindows("xmessage").isEmpty(), 10000);
    const QString otherId = visibleWindows("xmessage").first();
    xdotool({"windowactivate", otherId});
    QTest::qWait(500);
    const QString info = run("xwininfo", {"-id", otherId});
    const auto value = [&](const QString &name) {
        return QRegularExpression(name + ": +(-?\\d+)").match(info).captured(1).toInt();
    };
    const QRect otherRect(value("Absolute upper-left X"), value("Absolute upper-left Y"),
                          value("Width"), value("Height"));
    const QRect ours(onScreen(form), form.size());
    QVERIFY2(otherRect.intersects(ours), "the other window does not cover the calculator");

    // What the screen shows where the two overlap is the calculator's own picture.
    QTemporaryDir shots;
    const QString shot = shots.filePath("screen.png");
    run("import", {"-window", "root", shot}, pointerDisplay());
    const QImage screen(shot);
    QVERIFY(!screen.isNull());
    const QImage drawn = form.grab().toImage();
    const QRect both = otherRect.intersected(ours);
    int same = 0, checked = 0;
    for (int y = both.top() + 2; y < both.bottom(); y += 17)
        for (int x = both.left() + 2; x < both.right(); x += 17) {
            const QColor a = screen.pixelColor(x, y),
                         b = drawn.pixelColor(QPoint(x, y) - ours.topLeft());
            ++checked;
            if (std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                    std::abs(a.blue() - b.blue()) <
                24)
                ++same;
        }
    QVERIFY(checked > 20);
    // Weston 10's window manager for XWayland keeps no window above the others
    // (_NET_WM_STATE_ABOVE is not among what it reads); a newer one that does makes this
    // an unexpected pass, to be noticed.
    if (qEnvironmentVariable("TAPECALC_WINDOW_MANAGER") == "weston")
        QEXPECT_FAIL("", "weston's XWayland window manager keeps no window above", Abort);
    QVERIFY2(same > checked * 9 / 10,
             qPrintable(QString("%1 of %2 points show the calculator").arg(same).arg(checked)));
}

void TestDesktop::helpPageWithoutABrowser() {
    for (const char *browser :
         {"x-www-browser", "www-browser", "firefox", "firefox-esr", "chromium"})
        if (!QStandardPaths::findExecutable(browser).isEmpty())
            QSKIP("a browser is installed here");
    // The real platform, with the cues quiet and the message kept instead of shown.
    struct Platform : RealPlatform {
        QStringList messages;
        void playCue(const QString &) override {}
        void playCueBlocking(const QString &) override {}
        void showMessage(const QString &text) override { messages << text; }
    } platform;
    Form1 form(platform, m_folder.path());
    showActive(form);
    QTest::mouseClick(form.findChild<QWidget *>("Image13"), Qt::LeftButton);
    const QString page = QDir::toNativeSeparators(m_folder.filePath("help/index.html"));
    QTRY_COMPARE_WITH_TIMEOUT(platform.messages, QStringList{"没有找到浏览器。帮助网页在：" + page},
                              10000);
}

QTEST_MAIN(TestDesktop)
#include "desktop_form1.moc"
