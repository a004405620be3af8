// What the first window does not need is loaded when first used: the print module (Qt
// Print Support, the print system's library) at the first print, the sound module
// (PulseAudio's library) when the sound is warmed up. A module missing, damaged, of
// another build, not a regular file, planted above a copy or open to another user's
// changes is never fatal and never run: the window says the print failed and is silent,
// and the standard error says why. This suite links neither module, so its own process
// shows what the window loads; its children are copies of it, run alone.
#include "app/realplatform.h"
#include "audio/cueoutput.h"
#include "modules/moduleentry.h"
#include "modules/modulefile.h"
#include "modules/modules.h"
#include "print/printmodule.h"
#include "testsupport/nobody.h"
#include "ui/form1.h"
#include "ui/tests/startwindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#ifdef Q_OF_ELF
#include <link.h>
#endif
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace tapecalc;

namespace {

constexpr char childVariable[] = "TAPECALC_MODULES_CHILD";
constexpr char cueVariable[] = "TAPECALC_MODULES_CUE"; // a cue, by its absolute path

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

QString moduleFile(const char *module) {
    return QString::fromLatin1(module) + QStringLiteral(TAPECALC_MODULE_SUFFIX);
}
const QString printFile = moduleFile(ReportPrinter::module);
const QString soundFile = moduleFile(CueOutput::module);

// The child: the window started, its sound warmed up and a cue played, sin and print. What
// it saw goes to standard output, one line each, for the parent to judge.
int child() {
    QTemporaryDir program;
    QuietPlatform platform;
    Form1 form(platform, program.path());
    if (!showStarted(form))
        return 2;
    platform.warmUpSound();
    QElapsedTimer clock;
    clock.start();
    platform.RealPlatform::playCueBlocking(qEnvironmentVariable(cueVariable));
    const qint64 cueMs = clock.elapsed();
    sinAndPrint(form);
    (void)QTest::qWaitFor([&platform] { return !platform.messages.isEmpty(); }, 20000);
    // In UTF-8 whatever the system's code page: the parent reads it so.
    const auto say = [](const QString &line) { std::puts(line.toUtf8().constData()); };
    say("entry:" + form.findChild<QLineEdit *>("Text1")->text());
    for (const QString &message : platform.messages)
        say(message);
    std::printf("pdfs:%d\n", int(QDir(form.dataFolder()).entryList({"*.pdf"}).size()));
    std::printf("cue lasted its length:%s\n", cueMs > 50 && cueMs < 2000 ? "yes" : "no");
    return 0;
}

// A file the children need: beside this suite where a run as nobody brought it, else where
// the build has it.
QString besideSuite(const QString &built) {
    const QString beside =
        QDir(QCoreApplication::applicationDirPath()).filePath(QFileInfo(built).fileName());
    return QFileInfo::exists(beside) ? beside : QFileInfo(built).absoluteFilePath();
}

// Runs a copy of this suite in `folder` as the child, from `workingFolder`; its output and
// its standard error.
QString runChild(const QString &folder, const QString &workingFolder,
                 const QProcessEnvironment &extra = {}) {
    const QString copy =
        QDir(folder).filePath(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    if (!QFile::exists(copy) && !QFile::copy(QCoreApplication::applicationFilePath(), copy))
        return QStringLiteral("could not copy the suite");
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(childVariable, "1");
    // The child starts in another folder (on Windows maybe another drive).
    env.insert(cueVariable, besideSuite(TAPECALC_SOURCE_DIR "/shengyin/5.wav"));
    for (const QString &key : extra.keys())
        env.insert(key, extra.value(key));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(workingFolder);
    process.start(copy, {});
    if (!process.waitForFinished(60000))
        return QStringLiteral("the child did not end");
    // (Windows ends the child's lines with CR LF.)
    const QString output = QString::fromUtf8(process.readAllStandardOutput()).remove(u'\r');
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QStringLiteral("the child died (status %1, code %2): %3")
            .arg(process.exitStatus())
            .arg(process.exitCode())
            .arg(output);
    return output;
}

// What a child with neither module (or with both refused) shows: the function key's
// digits, the failed print with the report kept as a PDF (written without the module),
// cues silent but as long as they are.
void verifyWithoutModules(const QString &output) {
    QVERIFY2(output.contains("entry:0.909297426825"), qPrintable(output));
    QVERIFY2(output.contains("warning:打印失败，已存为 PDF："), qPrintable(output));
    QVERIFY2(output.contains("pdfs:1\n"), qPrintable(output));
    QVERIFY2(output.contains("cue lasted its length:yes"), qPrintable(output));
}

// A child with both modules: its print finds no printer and keeps the report as a PDF.
void verifyWithModules(const QString &output) {
    QVERIFY2(output.contains("message:没有找到打印机，已存为 PDF："), qPrintable(output));
    QVERIFY2(!output.contains("not loaded"), qPrintable(output));
}

#ifdef Q_OF_ELF
// The program header of `type` in an ELF file's bytes, the last of them (or the first).
ElfW(Phdr) * programHeader(QByteArray &bytes, ElfW(Word) type, bool first = false) {
    const auto *header = reinterpret_cast<const ElfW(Ehdr) *>(bytes.constData());
    auto *table = reinterpret_cast<ElfW(Phdr) *>(bytes.data() + header->e_phoff);
    ElfW(Phdr) *found = nullptr;
    for (int i = 0; i < header->e_phnum; ++i)
        found = table[i].p_type == type && !(first && found) ? table + i : found;
    return found;
}
#endif

} // namespace

class TestModules : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void loadedWhenFirstUsed();
    void withoutModulesTheWindowSaysSo();
    void aDamagedModuleIsRefused_data();
    void aDamagedModuleIsRefused();
    void aModuleAboveACopyNeverRuns();
    void whatPassesTheCheckTheLoaderSurvives();
    void onlyItsOwnersModulesRun_data();
    void onlyItsOwnersModulesRun();
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
    const QStringList libraries{ReportPrinter::module, "libQt6PrintSupport", "libcups"};
    for (const QString &library : libraries)
        QVERIFY2(mapped(library) == 0, qPrintable(library + " is mapped before it is needed"));
    // The built-in pictures are read without Qt's picture format plugins (JPEG's brings
    // libjpeg); the first key picture from anniu/ loads them.
    QCOMPARE(mapped("libqjpeg"), 0);

    // The sound output is a module where it is PulseAudio's.
    if (QFileInfo::exists(QDir(QCoreApplication::applicationDirPath()).filePath(soundFile))) {
        QCOMPARE(mapped("libpulse"), 0);
        platform.warmUpSound();
        QVERIFY(mapped(CueOutput::module) > 0 && mapped("libpulse") > 0);
    }

    sinAndPrint(form);
    QTRY_COMPARE_WITH_TIMEOUT(platform.messages.size(), 1, 20000);
    const double shown = form.findChild<QLineEdit *>("Text1")->text().toDouble();
    QVERIFY2(std::abs(shown - std::sin(2.0)) < 1e-14, qPrintable(QString::number(shown, 'g', 17)));
    for (const QString &library : libraries)
        QVERIFY2(mapped(library) > 0 || library == "libcups", qPrintable(library + " not loaded"));
    QCOMPARE(platform.messages.size(), 1);
    QVERIFY2(platform.messages[0].startsWith("message:没有找到打印机，已存为 PDF："),
             qPrintable(platform.messages[0]));
}

void TestModules::withoutModulesTheWindowSaysSo() {
    QTemporaryDir alone;
    verifyWithoutModules(runChild(alone.path(), alone.path()));
}

// Each row damages both modules beside a copy of the suite the same way.
void TestModules::aDamagedModuleIsRefused_data() {
    QTest::addColumn<int>("cutAt"); // -1: whole
    QTest::addColumn<QByteArray>("overwrite");
    QTest::addColumn<QString>("cause"); // as the standard error says it
    const QString damaged = "is damaged or not for this system";
    QTest::newRow("empty") << 0 << QByteArray() << damaged;
    QTest::newRow("cut in its header") << 40 << QByteArray() << damaged;
    QTest::newRow("cut at 8,000 bytes") << 8000 << QByteArray() << damaged;
    QTest::newRow("one byte short") << -2 << QByteArray() << damaged;
    QTest::newRow("random bytes") << -1 << QByteArray("random") << damaged;
    QTest::newRow("another architecture") << -1 << QByteArray("machine") << damaged;
    QTest::newRow("another build") << -1 << QByteArray("build") << "is of another build";
    // Valid headers around what the system's loader would crash on (ELF files).
    QTest::newRow("a dynamic segment far outside") << -1 << QByteArray("dynamic") << damaged;
    QTest::newRow("a dynamic table pointing past the file")
        << -1 << QByteArray("strings") << damaged;
    QTest::newRow("a segment of impossible size") << -1 << QByteArray("memory") << damaged;
    // The open of a FIFO waits for a writer for ever; the child's 60 s bound catches that.
    QTest::newRow("a FIFO") << -1 << QByteArray("fifo") << "is not a regular file";
}

void TestModules::aDamagedModuleIsRefused() {
    QFETCH(int, cutAt);
    QFETCH(QByteArray, overwrite);
    QFETCH(QString, cause);
    QTemporaryDir copy;
    const QDir built(QCoreApplication::applicationDirPath());
    for (const QString &name : {printFile, soundFile}) {
        QFile original(built.filePath(name));
        if (!original.open(QIODevice::ReadOnly))
            continue; // a system whose sound output is no module
        QByteArray bytes = original.readAll();
        if (cutAt >= 0)
            bytes.truncate(cutAt);
        else if (cutAt == -2)
            bytes.chop(1);
        if (overwrite == "random") {
            QRandomGenerator random(7);
            for (char &byte : bytes)
                byte = char(random.bounded(256));
        } else if (overwrite == "machine") {
            // The low byte of the machine number: ELF's e_machine, or a DLL's after "PE\0\0".
            const qsizetype at = bytes.startsWith("MZ")
                                     ? qFromLittleEndian<qint32>(bytes.constData() + 0x3C) + 4
                                     : 18;
            bytes[at] = char(bytes[at] ^ 1);
        } else if (overwrite == "build") {
            // The same entry under another build's identity.
            const qsizetype found = bytes.indexOf(moduleEntrySymbol);
            QVERIFY(found > 0);
            char &last = bytes[found + qsizetype(sizeof moduleEntrySymbol) - 2];
            last = last == '0' ? '1' : '0';
        } else if (overwrite == "fifo") {
#ifndef Q_OS_UNIX
            QSKIP("a FIFO in a folder is a POSIX file");
#else
            QCOMPARE(::mkfifo(QFile::encodeName(copy.filePath(name)).constData(), 0644), 0);
            continue;
#endif
        } else if (!overwrite.isEmpty() && cutAt == -1) {
#ifndef Q_OF_ELF
            QSKIP("an ELF file's segments");
#else
            constexpr ElfW(Addr) far = 0x7ff000000000; // the hostile audit's address
            if (overwrite == "dynamic")
                programHeader(bytes, PT_DYNAMIC)->p_vaddr = far;
            else if (overwrite == "memory")
                programHeader(bytes, PT_LOAD)->p_memsz = far;
            for (auto *entry = reinterpret_cast<ElfW(Dyn) *>(
                     bytes.data() + programHeader(bytes, PT_DYNAMIC)->p_offset);
                 overwrite == "strings" && entry->d_tag != DT_NULL; ++entry)
                if (entry->d_tag == DT_STRTAB)
                    entry->d_un.d_ptr = ElfW(Addr)(bytes.size()) * 4;
#endif
        }
        QFile damaged(copy.filePath(name));
        QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write(bytes) == bytes.size());
        QVERIFY(damaged.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    }
    const QString output = runChild(copy.path(), copy.path());
    verifyWithoutModules(output);
    QVERIFY2(output.contains(cause), qPrintable(output));
}

// A copy of the program folder (it has its cues) in a folder every user can write: modules
// another user put in the folder above, laid out as an install would have them, or in the
// folder the program is started from, never run.
void TestModules::aModuleAboveACopyNeverRuns() {
#ifndef TAPECALC_PLANTED_MODULE
    QSKIP("the planted module is built where modules are ELF files or DLLs");
#else
    QTemporaryDir world;
    QVERIFY(QFile::setPermissions(world.path(), QFile::Permissions(0x7777)));
    const QDir above(world.path());
    for (const char *folder : {"bin/shengyin", "share/tapecalc", "lib/tapecalc/modules"})
        QVERIFY(above.mkpath(folder));
    for (const QString &name : {printFile, soundFile})
        for (const QString folder : {"lib/tapecalc/modules", "."})
            QVERIFY(QFile::copy(TAPECALC_PLANTED_MODULE, above.filePath(folder + "/" + name)));
    const QString mark = above.filePath("planted-module-ran");
    QProcessEnvironment env;
    env.insert("TAPECALC_PLANTED_MARK", mark);
    verifyWithoutModules(runChild(above.filePath("bin"), above.path(), env));
    QVERIFY2(!QFile::exists(mark), "a planted module ran");
#endif
}

// The check against the system's own loader: the parts of each module that the loader
// reads (its headers and first segment, which hold the tables, and its dynamic table)
// changed at random; every change the check lets through is mapped, linked and relocated
// by the loader, as `ldd -r` has it do without running the module's code, without dying
// or hanging. (Changed code, or an address moved to another place of code, is the
// module's own code and would only show when it runs.)
void TestModules::whatPassesTheCheckTheLoaderSurvives() {
#if !defined(Q_OS_LINUX) || !defined(Q_OF_ELF)
    QSKIP("the loader's trace mode is glibc's");
#else
    QFile self(QCoreApplication::applicationFilePath());
    QVERIFY(self.open(QIODevice::ReadOnly));
    QByteArray program = self.readAll();
    const QString loader =
        QString::fromLocal8Bit(program.constData() + programHeader(program, PT_INTERP)->p_offset);
    QTemporaryDir folder;
    const QString mutant = folder.filePath("mutant.so");
    QRandomGenerator random(36);
    int loaded = 0;
    for (const QString &name : {printFile, soundFile}) {
        QFile file(QDir(QCoreApplication::applicationDirPath()).filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray original = file.readAll();
        const auto *header = reinterpret_cast<const ElfW(Ehdr) *>(original.constData());
        const qsizetype headers = header->e_phoff + header->e_phnum * qsizetype(sizeof(ElfW(Phdr)));
        const auto first = qsizetype(programHeader(original, PT_LOAD, true)->p_filesz);
        const ElfW(Phdr) dynamic = *programHeader(original, PT_DYNAMIC);
        for (int i = 0; i < 300; ++i) {
            // One or two words of the program headers, the dynamic table or the first segment
            // set to a value near a limit, or one off.
            QByteArray bytes = original;
            for (int n = 1 + random.bounded(2); n > 0; --n) {
                const int part = random.bounded(3);
                const qsizetype at = (part == 0 ? random.bounded(headers)
                                      : part == 1 ? qsizetype(dynamic.p_offset) +
                                                        random.bounded(qsizetype(dynamic.p_filesz))
                                                  : random.bounded(first)) &
                                     ~qsizetype(7);
                quint64 word;
                std::memcpy(&word, bytes.constData() + at, 8);
                const auto size = quint64(bytes.size());
                word = std::array<quint64, 8>{0,
                                              1,
                                              ~0ull,
                                              0x7ff000000000,
                                              size,
                                              size * 4,
                                              word ^ (1ull << random.bounded(64)),
                                              word + 8}[random.bounded(8)];
                std::memcpy(bytes.data() + at, &word, 8);
            }
            const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
            if (checkModuleFormat(data, size_t(bytes.size()), moduleEntrySymbol).fault !=
                ModuleFault::none)
                continue;
            QFile out(mutant);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                    out.write(bytes) == bytes.size());
            out.close();
            QProcess trace;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            for (const char *variable : {"LD_TRACE_LOADED_OBJECTS", "LD_WARN", "LD_BIND_NOW"})
                env.insert(variable, "1");
            trace.setProcessEnvironment(env);
            trace.setProcessChannelMode(QProcess::MergedChannels);
            trace.start(loader, {mutant});
            QVERIFY2(trace.waitForFinished(10000), "the loader hung");
            const QByteArray said = trace.readAll();
            QVERIFY2(trace.exitStatus() == QProcess::NormalExit && !said.contains("Inconsistency"),
                     qPrintable(QString("%1, change %2: %3").arg(name).arg(i).arg(said)));
            ++loaded;
        }
    }
    QVERIFY2(loaded > 100, "too few changes got through to say much");
#endif
}

// Modules beside a copy of the suite, or installed around it, run only where no one but the
// administrator and the copy's owner could have changed them or a folder on the way down to
// them from the copy's folder (or the installation's prefix); in place of the others the
// planted module never runs. As the administrator, then again as nobody.
void TestModules::onlyItsOwnersModulesRun_data() {
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("change"); // none: loaded
    QTest::newRow("a copy as built") << false << "";
    QTest::newRow("a copy, its modules writable by their group") << false << "module 664";
    QTest::newRow("a copy in a folder every user can write") << false << "folder 1777";
    QTest::newRow("a copy, its modules another user's") << false << "module theirs";
    QTest::newRow("installed") << true << "";
    QTest::newRow("installed, a folder on the way a link") << true << "link";
    // The hostile audit's: the rest made by another user (where one can be made so).
    QTest::newRow("installed in a folder every user can write") << true << "prefix 1777";
}

void TestModules::onlyItsOwnersModulesRun() {
#if !defined(Q_OS_UNIX) || !defined(TAPECALC_PLANTED_MODULE)
    QSKIP("Windows loads a program's DLLs from its folder whoever wrote them (modulefile_win.cpp)");
#else
    QFETCH(bool, installed);
    QFETCH(QString, change);
    if (change.endsWith("theirs") && !asAdministrator())
        TAPECALC_MISSING("only the administrator gives a file to another user");
    QTemporaryDir top;
    QDir prefix(top.path());
    const QString bin = prefix.filePath(installed ? "bin" : "copy");
    const QString modules = installed ? prefix.filePath("lib/tapecalc/modules") : bin;
    const auto set = [](const QString &path, mode_t mode, bool theirs = false) {
        const QByteArray name = QFile::encodeName(path);
        return ::chmod(name, mode) == 0 && (!theirs || ::chown(name, 65534, 65534) == 0);
    };
    QVERIFY(prefix.mkpath(bin) && prefix.mkpath("lib/tapecalc/modules") &&
            prefix.mkpath("share/tapecalc"));
    for (const QString &folder : {bin, modules, prefix.filePath("lib/tapecalc"),
                                  prefix.filePath("lib"), prefix.filePath("share/tapecalc")})
        QVERIFY(set(folder, 0755, change == "prefix 1777" && asAdministrator() && folder != bin));
    for (const QString &name : {printFile, soundFile}) {
        const QString file = QDir(modules).filePath(name);
        QVERIFY(QFile::copy(change.isEmpty()
                                ? QDir(QCoreApplication::applicationDirPath()).filePath(name)
                                : besideSuite(TAPECALC_PLANTED_MODULE),
                            file));
        QVERIFY(set(file, change == "module 664" ? 0664 : 0644, change.endsWith("theirs")));
    }
    if (change == "link")
        QVERIFY(prefix.rename("lib/tapecalc", "elsewhere") &&
                QFile::link(prefix.filePath("elsewhere"), prefix.filePath("lib/tapecalc")));
    QVERIFY(
        set(change == "folder 1777" ? bin : top.path(), change.endsWith("1777") ? 01777 : 0700));

    const QString mark = prefix.filePath("planted-module-ran");
    QProcessEnvironment env;
    env.insert("TAPECALC_PLANTED_MARK", mark);
    const QString output = runChild(bin, top.path(), env);
    if (change.isEmpty()) {
        verifyWithModules(output);
    } else {
        verifyWithoutModules(output);
        QVERIFY2(output.contains("could be changed by another user"), qPrintable(output));
        QVERIFY2(!QFile::exists(mark), "a planted module ran");
    }
    const QDir built(QCoreApplication::applicationDirPath());
    // Again as a user whose files these are, but for another user's module: only the
    // administrator makes one.
    if (asAdministrator() && !change.endsWith("theirs"))
        runAsNobody(QStringLiteral("onlyItsOwnersModulesRun:") + QTest::currentDataTag(),
                    {built.filePath(printFile), built.filePath(soundFile), TAPECALC_PLANTED_MODULE,
                     TAPECALC_SOURCE_DIR "/shengyin/5.wav"});
#endif
}

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsSet(childVariable)) {
        QApplication app(argc, argv);
        return child();
    }
    QApplication app(argc, argv);
    TestModules test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_modules.moc"
