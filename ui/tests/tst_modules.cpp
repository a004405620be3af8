// What the first window does not need is loaded when first used: the print module (Qt
// Print Support, the print system's library) at the first print, the math module (MPFR)
// at the first function key, the sound module (PulseAudio's library) when the sound is
// warmed up; and without them the window says so, shows no other digits and is silent.
// This suite links none of them, so its own process shows what the window loads.
#include "ui/form1.h"
#include "ui/modules.h"
#include "ui/realplatform.h"
#include "ui/tests/startwindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace tapecalc;

namespace {

constexpr char childVariable[] = "TAPECALC_MODULES_CHILD";

// The real platform with quiet cues and the messages kept.
struct QuietPlatform : RealPlatform {
    QStringList messages;
    void playCue(const QString &) override {}
    void playCueBlocking(const QString &) override {}
    void showMessage(const QString &text) override { messages << "message:" + text; }
    void showWarning(const QString &text) override { messages << "warning:" + text; }
};

// The shared libraries this process has mapped whose file names hold `part` (Linux).
int mapped(const QString &part) {
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return -1;
    QSet<QString> files;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        const QString file = QString::fromUtf8(line.mid(line.lastIndexOf(' ') + 1));
        if (file.contains(QLatin1String(".so")) && QFileInfo(file).fileName().contains(part))
            files.insert(file);
    }
    return static_cast<int>(files.size());
}

// Presses sin on 2 and prints, with a printer that is not there (the report becomes a PDF).
void sinAndPrint(Form1 &form) {
    QTest::keyClicks(form.findChild<QLineEdit *>("Text1"), "2");
    QTest::mouseClick(form.findChild<QWidget *>("Label18"), Qt::LeftButton); // sin
    qputenv("PRINTER", "TapeCalcNoSuchQueue");
    QTest::mouseClick(form.findChild<QWidget *>("Label30"), Qt::LeftButton); // 打印
    qunsetenv("PRINTER");
}

} // namespace

class TestModules : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void loadedWhenFirstUsed();
    void withoutModulesTheWindowSaysSo();
};

// The child of withoutModulesTheWindowSaysSo, a copy of this suite in a folder of its own:
// chosen by childVariable, never a test of the suite's own run.
class ChildWithoutModules : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void theWindowSaysSo();
};

void TestModules::loadedWhenFirstUsed() {
#ifndef Q_OS_LINUX
    // (Under wine /proc is there too, but it shows wine's own mapping, not the program's.)
    QSKIP("what a process has mapped is read from Linux's /proc");
#endif
    QTemporaryDir program;
    QuietPlatform platform;
    Form1 form(platform, program.path());
    QVERIFY(showStarted(form));
    const QStringList libraries{mathModule,           "libmpfr", "libgmp", printModule,
                                "libQt6PrintSupport", "libcups"};
    for (const QString &library : libraries)
        QVERIFY2(mapped(library) == 0, qPrintable(library + " is mapped before it is needed"));
    // The built-in pictures are read without Qt's picture format plugins (JPEG's brings
    // libjpeg); the first key picture from anniu/ loads them.
    QCOMPARE(mapped("libqjpeg"), 0);

    // The sound output is a module where it is PulseAudio's.
    const bool soundModule = QFileInfo::exists(
        QDir(QCoreApplication::applicationDirPath()).filePath(tapecalc::soundModule + ".so"));
    if (soundModule) {
        QCOMPARE(mapped("libpulse"), 0);
        platform.warmUpSound();
        QVERIFY(mapped(tapecalc::soundModule) > 0 && mapped("libpulse") > 0);
    }

    sinAndPrint(form);
    const double shown = form.findChild<QLineEdit *>("Text1")->text().toDouble();
    QVERIFY2(std::abs(shown - std::sin(2.0)) < 1e-14, qPrintable(QString::number(shown, 'g', 17)));
    for (const QString &library : libraries)
        QVERIFY2(mapped(library) > 0 || library == "libcups", qPrintable(library + " not loaded"));
    QCOMPARE(platform.messages.size(), 1);
    QVERIFY2(platform.messages[0].startsWith("message:没有找到打印机，已存为 PDF："),
             qPrintable(platform.messages[0]));
}

// The program run from a folder without its modules: a copy of this suite, alone.
void TestModules::withoutModulesTheWindowSaysSo() {
    QTemporaryDir alone;
    const QString copy =
        alone.filePath(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(childVariable, "1");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(copy, {});
    QVERIFY(child.waitForFinished(60000));
    const QString output = QString::fromUtf8(child.readAll());
    QVERIFY2(child.exitCode() == 0, qPrintable(output));
    QVERIFY2(output.contains("PASS   : ChildWithoutModules::theWindowSaysSo"), qPrintable(output));
}

void ChildWithoutModules::theWindowSaysSo() {
    QTemporaryDir program;
    QuietPlatform platform;
    Form1 form(platform, program.path());
    QVERIFY(showStarted(form));
    sinAndPrint(form);
    // The entry as typed, never digits of another sine; no report anywhere.
    QCOMPARE(form.findChild<QLineEdit *>("Text1")->text(), "2");
    QCOMPARE(platform.messages,
             QStringList({"warning:没有找到计算程序文件，无法计算：" + mathModule,
                          "warning:打印失败，也无法存为 PDF"}));
    QCOMPARE(QDir(form.dataFolder()).entryList({"*.pdf"}), QStringList());
    // Cues in silence: a blocking one lasts its length and no more.
    platform.warmUpSound();
    QElapsedTimer clock;
    clock.start();
    platform.RealPlatform::playCueBlocking(TAPECALC_SOURCE_DIR "/shengyin/5.wav");
    QVERIFY2(clock.elapsed() > 50 && clock.elapsed() < 2000,
             qPrintable(QString::number(clock.elapsed())));
}

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    TestModules suite;
    ChildWithoutModules child;
    return QTest::qExec(qEnvironmentVariableIsSet(childVariable) ? static_cast<QObject *>(&child)
                                                                 : &suite,
                        argc, argv);
}
#include "tst_modules.moc"
