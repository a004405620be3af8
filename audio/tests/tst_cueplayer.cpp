// Tests of the voice cue player: cutting and blocking rules, held input, and, through a
// PulseAudio null sink, that the sound really comes out.
#include "audio/cueplayer.h"
#include "audio/tests/sinktap.h"
#include "audio/tests/wavbytes.h"
#include "audio/wavreader.h"
#include "testsupport/missing.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <functional>
#include <optional>

using tapecalc::CuePlayer;
using tapecalc::makeCueOutput;
using tapecalc::PcmFormat;
using tapecalc::PcmSample;
using tapecalc::PcmSound;
using namespace tapecalc::wavtest;

namespace {

// Generous bound for "the wait ended": the player's own margin plus a loaded machine.
constexpr qint64 kSlackMs = 2000;

bool writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Receives keys and notes whether playBlocking had returned when each arrived.
class KeyLog : public QWidget {
  public:
    bool blockingReturned = false;
    QList<QPair<int, bool>> keys;

  protected:
    void keyPressEvent(QKeyEvent *e) override { keys.append({e->key(), blockingReturned}); }
};

// What a recording of the null sink's monitor holds, in 10 ms windows.
struct Recording {
    QList<double> windowPeaks; // each 0..1
    double peak() const {
        double p = 0;
        for (double w : windowPeaks)
            p = std::max(p, w);
        return p;
    }
    qint64 ms() const { return windowPeaks.size() * 10; }
    int firstLoud(double above) const {
        for (int i = 0; i < windowPeaks.size(); ++i)
            if (windowPeaks[i] > above)
                return i;
        return -1;
    }
    int lastLoud(double above) const {
        for (int i = int(windowPeaks.size()) - 1; i >= 0; --i)
            if (windowPeaks[i] > above)
                return i;
        return -1;
    }
};

// The tap's raw samples in 10 ms windows; a window cut off at the end is left out.
Recording recordingOf(const QByteArray &samples) {
    Recording r;
    constexpr qsizetype perWindow = tapecalc::test::kTapRate / 100;
    const qsizetype frames = samples.size() / 2;
    for (qsizetype w = 0; w + perWindow <= frames; w += perWindow) {
        int peak = 0;
        for (qsizetype i = w; i < w + perWindow; ++i)
            peak = std::max(peak,
                            std::abs(int(qFromLittleEndian<qint16>(samples.constData() + 2 * i))));
        r.windowPeaks.append(peak / 32768.0);
    }
    return r;
}

// The server's own sink, "capture", as its default: what every output plays there is
// recorded, and nothing else is.
bool captureSinkReachable(QString *why) {
    const std::optional<QString> sinks = tapecalc::test::pulseCommand("list-sinks", why);
    if (!sinks)
        return false;
    if (!sinks->contains("\tname: <capture>\n")) {
        *why = "the PulseAudio server has no sink named \"capture\" (tools/start-pulse.sh)";
        return false;
    }
    if (!QRegularExpression(R"(\* index: \d+\n\tname: <capture>\n)").match(*sinks).hasMatch()) {
        *why = "the PulseAudio server's default sink is not the \"capture\" sink";
        return false;
    }
    return true;
}

// The indexes of the streams playing on the server now.
QList<int> sinkInputs() {
    QList<int> ids;
    const std::optional<QString> list = tapecalc::test::pulseCommand("list-sink-inputs");
    if (!list)
        return ids;
    static const QRegularExpression index(R"(^\s*index: (\d+)$)",
                                          QRegularExpression::MultilineOption);
    for (const QRegularExpressionMatch &m : index.globalMatch(*list))
        ids.append(m.captured(1).toInt());
    return ids;
}

// Records the capture sink while `during` runs, with silence on both sides.
std::optional<Recording> recordWhile(const std::function<void()> &during) {
    tapecalc::test::SinkTap tap;
    QString why;
    if (!tap.start(&why)) {
        qWarning("%s", qPrintable(why));
        return std::nullopt;
    }
    // Silence first, so that the start of the cue is seen as a change.
    QTest::qWait(400);
    during();
    QTest::qWait(300);
    return recordingOf(tap.stop());
}

} // namespace

class TestCuePlayer : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();

    void playBlocking_waitsForTheCue();
    void playBlocking_unplayable_data();
    void playBlocking_unplayable();
    void playBlocking_headerClaimingHugeLength_endsWithTheRealData();
    void playBlocking_emptyPath_cutsSoundingCue();
    void playBlocking_cutsAsyncCue();
    void play_secondRequestCutsTheFirst();
    void play_emptyPath_stops();
    void play_endsByItselfAfterItsLength();
    void cueReplacedOnDisk_isReadAgain();
    void chineseFileName_plays();
    void inputDuringBlockingPlay_deliveredAfterwardsInOrder();

    void realOutput_toneIsRecorded_data();
    void realOutput_toneIsRecorded();
    void realOutput_everyLayoutIsHeard();
    void realOutput_streamEndedByServer_nextCueHeard();
    void realOutput_shippedCueIsHeard_data();
    void realOutput_shippedCueIsHeard();
    void realOutput_silenceWhenNothingPlays();
    void realOutput_secondCueCutsTheFirst_data();
    void realOutput_secondCueCutsTheFirst();
    void realOutput_longCueHeardWhole();
    void realOutput_stalledDevice_waitIsBounded();
    void realOutput_manyCuesInARow();

    void withoutAudioDevice_behaviourHolds();

  private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString tone(const QString &name, int ms, double hz = 440.0) {
        const QString p = path(name);
        if (!writeFile(p, toneWav(ms, hz)))
            qFatal("cannot write %s", qPrintable(p));
        return p;
    }

    QTemporaryDir m_dir;
};

void TestCuePlayer::initTestCase() {
    QVERIFY(m_dir.isValid());
}

void TestCuePlayer::playBlocking_waitsForTheCue() {
    CuePlayer player(&makeCueOutput);
    QSignalSpy ended(&player, &CuePlayer::cueEnded);
    const QString cue = tone("wait.wav", 400);
    QElapsedTimer clock;
    clock.start();
    player.playBlocking(cue);
    const qint64 took = clock.elapsed();
    QVERIFY2(took >= 400 * 8 / 10, qPrintable(QString::number(took)));
    QVERIFY2(took < 400 + kSlackMs, qPrintable(QString::number(took)));
    QVERIFY(!player.isPlaying());
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended.at(0).at(0).toString(), cue);
}

void TestCuePlayer::playBlocking_unplayable_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("create");

    QByteArray noise(4096, 0);
    QRandomGenerator rng(20240607);
    for (char &c : noise)
        c = char(rng.bounded(256));
    // clang-format off
    QTest::newRow("missing file") << "missing.wav" << QByteArray() << false;
    QTest::newRow("missing folder") << "no/such/folder/1.wav" << QByteArray() << false;
    QTest::newRow("empty file") << "empty.wav" << QByteArray() << true;
    QTest::newRow("random bytes") << "noise.wav" << noise << true;
    QTest::newRow("text") << "text.wav" << QByteArray("not a sound\n") << true;
    QTest::newRow("header without samples") << "header.wav" << riff(fmtChunk(1, 1, 22050, 16) + dataChunk({}, 0x7FFFFFF0u)) << true;
    QTest::newRow("folder named like a cue") << "folder.wav" << QByteArray() << true;
    // clang-format on
}

void TestCuePlayer::playBlocking_unplayable() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, create);
    const QString bad = path(name);
    if (create && name.startsWith("folder"))
        QVERIFY(QDir().mkpath(bad));
    else if (create)
        QVERIFY(writeFile(bad, bytes));

    // A sounding cue goes on, untouched, and the request does not wait for it.
    CuePlayer player(&makeCueOutput);
    const QString sounding = tone("sounding.wav", 3000);
    player.play(sounding);
    QSignalSpy ended(&player, &CuePlayer::cueEnded);
    QElapsedTimer clock;
    clock.start();
    player.playBlocking(bad);
    player.play(bad);
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(player.currentPath(), sounding);
    QCOMPARE(ended.count(), 0);
}

void TestCuePlayer::playBlocking_headerClaimingHugeLength_endsWithTheRealData() {
    // Nearly 13 hours by its header, 300 ms by its bytes.
    const QString liar = path("liar.wav");
    QVERIFY(writeFile(liar, riff(fmtChunk(1, 1, 22050, 16) +
                                 dataChunk(toneSamples(300, 440, 0.5), 0x7FFFFFF0u))));
    CuePlayer player(&makeCueOutput);
    QElapsedTimer clock;
    clock.start();
    player.playBlocking(liar);
    const qint64 took = clock.elapsed();
    QVERIFY2(took >= 300 * 8 / 10 && took < 300 + kSlackMs, qPrintable(QString::number(took)));
}

void TestCuePlayer::playBlocking_emptyPath_cutsSoundingCue() {
    CuePlayer player(&makeCueOutput);
    const QString sounding = tone("long.wav", 3000);
    player.play(sounding);
    QVERIFY(player.isPlaying());
    QSignalSpy ended(&player, &CuePlayer::cueEnded);
    QElapsedTimer clock;
    clock.start();
    player.playBlocking(QString());
    QVERIFY(clock.elapsed() < 2000);
    QVERIFY(!player.isPlaying());
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended.at(0).at(0).toString(), sounding);
}

void TestCuePlayer::playBlocking_cutsAsyncCue() {
    CuePlayer player(&makeCueOutput);
    const QString async = tone("async.wav", 5000);
    const QString blocking = tone("blocking.wav", 300, 660);
    player.play(async);
    QSignalSpy ended(&player, &CuePlayer::cueEnded);
    QElapsedTimer clock;
    clock.start();
    player.playBlocking(blocking);
    QVERIFY2(clock.elapsed() < 300 + kSlackMs, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!player.isPlaying());
    QCOMPARE(ended.count(), 2);
    QCOMPARE(ended.at(0).at(0).toString(), async);
    QCOMPARE(ended.at(1).at(0).toString(), blocking);
    // The cut cue must not come back to life later.
    QTest::qWait(200);
    QVERIFY(!player.isPlaying());
    QCOMPARE(ended.count(), 2);
}

void TestCuePlayer::play_secondRequestCutsTheFirst() {
    CuePlayer player(&makeCueOutput);
    QSignalSpy ended(&player, &CuePlayer::cueEnded);
    const QString first = tone("first.wav", 2000);
    const QString second = tone("second.wav", 2000, 880);
    player.play(first);
    QCOMPARE(player.currentPath(), first);
    QCOMPARE(ended.count(), 0);
    player.play(second);
    QCOMPARE(player.currentPath(), second);
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended.at(0).at(0).toString(), first);
    // The same cue again restarts it.
    player.play(second);
    QCOMPARE(player.currentPath(), second);
    QCOMPARE(ended.count(), 2);
    player.play(QString());
}

void TestCuePlayer::play_emptyPath_stops() {
    CuePlayer player(&makeCueOutput);
    QSignalSpy ended(&player, &CuePlayer::cueEnded);
    player.play(QString()); // nothing sounding: nothing to report
    QCOMPARE(ended.count(), 0);
    player.play(tone("stopme.wav", 2000));
    player.play(QString());
    QVERIFY(!player.isPlaying());
    QCOMPARE(ended.count(), 1);
    QTest::qWait(300);
    QCOMPARE(ended.count(), 1);
}

void TestCuePlayer::play_endsByItselfAfterItsLength() {
    CuePlayer player(&makeCueOutput);
    QSignalSpy ended(&player, &CuePlayer::cueEnded);
    QElapsedTimer clock;
    clock.start();
    player.play(tone("short.wav", 300));
    QVERIFY(clock.elapsed() < 300); // it did not wait for the cue
    QVERIFY(player.isPlaying());
    QVERIFY(ended.wait(300 + kSlackMs));
    QVERIFY2(clock.elapsed() >= 300 * 8 / 10, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!player.isPlaying());
}

void TestCuePlayer::cueReplacedOnDisk_isReadAgain() {
    CuePlayer player(&makeCueOutput);
    const QString cue = tone("changing.wav", 150);
    player.playBlocking(cue);
    QVERIFY(writeFile(cue, toneWav(700, 550)));
    QElapsedTimer clock;
    clock.start();
    player.playBlocking(cue);
    QVERIFY2(clock.elapsed() >= 700 * 8 / 10, qPrintable(QString::number(clock.elapsed())));

    // Deleted on disk: now it changes nothing.
    QVERIFY(QFile::remove(cue));
    clock.restart();
    player.playBlocking(cue);
    QVERIFY(!player.isPlaying());
    QVERIFY(clock.elapsed() < 700);
}

void TestCuePlayer::chineseFileName_plays() {
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("声音")));
    const QString cue = path(QStringLiteral("声音/加.wav"));
    QVERIFY(writeFile(cue, toneWav(300)));
    CuePlayer player(&makeCueOutput);
    player.play(cue);
    QCOMPARE(player.currentPath(), cue);
    QElapsedTimer clock;
    clock.start();
    player.playBlocking(cue);
    QVERIFY2(clock.elapsed() >= 300 * 8 / 10, qPrintable(QString::number(clock.elapsed())));
    // Another Chinese name that is not on disk must not be confused with it.
    player.play(cue);
    player.play(path(QStringLiteral("声音/减.wav")));
    QCOMPARE(player.currentPath(), cue);
    player.play(QString());
}

void TestCuePlayer::inputDuringBlockingPlay_deliveredAfterwardsInOrder() {
    KeyLog widget;
    widget.show();
    CuePlayer player(&makeCueOutput);
    bool timerRanDuringPlay = false;
    QTimer::singleShot(100, &widget, [&] {
        timerRanDuringPlay = player.isPlaying();
        for (int key : {Qt::Key_1, Qt::Key_Plus, Qt::Key_2})
            QCoreApplication::postEvent(&widget,
                                        new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
    });
    QTimer::singleShot(250, &widget, [&] {
        // Input sent straight to the widget is held back as well, behind the earlier keys.
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Enter, Qt::NoModifier);
        QCoreApplication::sendEvent(&widget, &enter);
    });
    player.playBlocking(tone("hold.wav", 500));
    widget.blockingReturned = true;
    QVERIFY(timerRanDuringPlay); // otherwise nothing was tried during the play
    QVERIFY(widget.keys.isEmpty());

    QTRY_COMPARE(widget.keys.size(), 4);
    const QList<int> order{Qt::Key_1, Qt::Key_Plus, Qt::Key_2, Qt::Key_Enter};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(widget.keys[i].first, order[i]);
        QVERIFY(widget.keys[i].second);
    }

    // Once the blocking play is over, input flows straight through again.
    QCoreApplication::postEvent(&widget,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_3, Qt::NoModifier));
    QTRY_COMPARE(widget.keys.size(), 5);
}

void TestCuePlayer::realOutput_toneIsRecorded_data() {
    QTest::addColumn<bool>("warmedUp");
    // The stream opened by the cue itself, and opened beforehand and idle since.
    QTest::newRow("opened by the cue") << false;
    QTest::newRow("opened beforehand") << true;
}

void TestCuePlayer::realOutput_toneIsRecorded() {
    QString why;
    if (!captureSinkReachable(&why))
        TAPECALC_MISSING(qPrintable(why));
    QFETCH(bool, warmedUp);
    const QString cue = path(QStringLiteral("等于.wav"));
    QVERIFY(writeFile(cue, toneWav(500, 440, 0.5)));
    CuePlayer player(&makeCueOutput);
    if (warmedUp) {
        player.warmUp();
        player.warmUp();
        QTest::qWait(300);
    }
    const auto rec = recordWhile([&] { player.playBlocking(cue); });
    QVERIFY2(rec, "the sink could not be recorded");
    const int first = rec->firstLoud(0.1);
    const int last = rec->lastLoud(0.1);
    qInfo("recording %lld ms, peak %.3f, tone from %d ms to %d ms", rec->ms(), rec->peak(),
          first * 10, last * 10 + 10);
    QVERIFY2(rec->peak() > 0.3, "the tone did not come out");
    QVERIFY2(first * 10 >= 200, "sound before the cue was requested");
    // The whole cue is heard: its end is not cut when playBlocking returns.
    const int heardMs = (last - first + 1) * 10;
    QVERIFY2(heardMs >= 500 * 9 / 10 && heardMs <= 500 + 100, qPrintable(QString::number(heardMs)));
}

// Cue after cue in other sample layouts through one player, each heard whole.
void TestCuePlayer::realOutput_everyLayoutIsHeard() {
    QString why;
    if (!captureSinkReachable(&why))
        TAPECALC_MISSING(qPrintable(why));
    struct Layout {
        const char *name;
        PcmFormat format;
    };
    const Layout layouts[] = {{"8-bit stereo 11025 Hz", {PcmSample::UInt8, 11025, 2}},
                              {"float stereo 48000 Hz", {PcmSample::Float, 48000, 2}},
                              {"32-bit mono 44100 Hz", {PcmSample::Int32, 44100, 1}},
                              {"16-bit mono 22050 Hz", {PcmSample::Int16, 22050, 1}}};
    CuePlayer player(&makeCueOutput);
    for (const Layout &layout : layouts) {
        const QString cue = path(QString::fromUtf8(layout.name) + ".wav");
        QVERIFY(writeFile(cue, toneWavIn(layout.format)));
        const auto rec = recordWhile([&] { player.playBlocking(cue); });
        QVERIFY2(rec, "the sink could not be recorded");
        const int heardMs = (rec->lastLoud(0.1) - rec->firstLoud(0.1) + 1) * 10;
        qInfo("%s: peak %.3f, heard %d ms", layout.name, rec->peak(), heardMs);
        QVERIFY2(rec->peak() > 0.3, layout.name);
        QVERIFY2(heardMs >= 400 * 9 / 10 && heardMs <= 400 + 100, layout.name);
    }
}

// The server may end a stream at any time (a device removed, a user's command), even
// while a cue sounds: the next cue is heard all the same.
void TestCuePlayer::realOutput_streamEndedByServer_nextCueHeard() {
    QString why;
    if (!captureSinkReachable(&why))
        TAPECALC_MISSING(qPrintable(why));
    const bool keepsOne = qstrcmp(TAPECALC_CUE_OUTPUT, "pulse") == 0;
    CuePlayer player(&makeCueOutput);
    player.playBlocking(tone("opens.wav", 100));
    const QList<int> afterFirstCue = sinkInputs();
    player.play(tone("ended.wav", 3000));
    QTest::qWait(300);
    const QList<int> sounding = sinkInputs();
    QVERIFY2(!sounding.isEmpty(), "no stream on the server while a cue sounds");
    if (keepsOne) {
        // One stream, kept open from cue to cue.
        QCOMPARE(sounding.size(), 1);
        QCOMPARE(afterFirstCue, sounding);
    }
    for (int id : sounding)
        QCOMPARE(tapecalc::test::pulseCommand(QString("kill-sink-input %1").arg(id)),
                 std::optional<QString>(QString()));
    QVERIFY(player.isPlaying()); // the output does not know yet
    const QString cue = tone("after.wav", 400);
    const auto rec = recordWhile([&] { player.playBlocking(cue); });
    QVERIFY2(rec, "the sink could not be recorded");
    const int heardMs = (rec->lastLoud(0.1) - rec->firstLoud(0.1) + 1) * 10;
    qInfo("after the end of %lld stream(s): peak %.3f, heard %d ms", qlonglong(sounding.size()),
          rec->peak(), heardMs);
    QVERIFY2(rec->peak() > 0.3, "the cue after the stream ended did not come out");
    QVERIFY2(heardMs >= 400 * 9 / 10 && heardMs <= 400 + 100, qPrintable(QString::number(heardMs)));
}

void TestCuePlayer::realOutput_shippedCueIsHeard_data() {
    QTest::addColumn<QString>("name");
    for (const char *name : {"加.wav", "5.wav", "zsw.wav"})
        QTest::newRow(name) << QString::fromUtf8(name);
}

// The voice cues the program ships come out of the real sound output.
void TestCuePlayer::realOutput_shippedCueIsHeard() {
    QString why;
    if (!captureSinkReachable(&why))
        TAPECALC_MISSING(qPrintable(why));
    QFETCH(QString, name);
    const QString cue = QStringLiteral(TAPECALC_SOURCE_DIR "/shengyin/") + name;
    QVERIFY(QFileInfo::exists(cue));
    CuePlayer player(&makeCueOutput);
    const auto rec = recordWhile([&] { player.playBlocking(cue); });
    QVERIFY2(rec, "the sink could not be recorded");
    qInfo("%s: peak %.3f", qPrintable(name), rec->peak());
    QVERIFY2(rec->peak() > 0.3, "the cue did not come out");
}

void TestCuePlayer::realOutput_silenceWhenNothingPlays() {
    QString why;
    if (!captureSinkReachable(&why))
        TAPECALC_MISSING(qPrintable(why));
    const auto rec = recordWhile([] {});
    QVERIFY2(rec, "the sink could not be recorded");
    QVERIFY2(rec->ms() >= 300, qPrintable(QString::number(rec->ms())));
    QVERIFY2(rec->peak() < 0.01, qPrintable(QString::number(rec->peak())));
}

void TestCuePlayer::realOutput_secondCueCutsTheFirst_data() {
    QTest::addColumn<bool>("otherLayout");
    QTest::newRow("same layout") << false;
    QTest::newRow("another layout") << true; // another stream replaces the first
}

void TestCuePlayer::realOutput_secondCueCutsTheFirst() {
    QString why;
    if (!captureSinkReachable(&why))
        TAPECALC_MISSING(qPrintable(why));
    QFETCH(bool, otherLayout);
    const QString longCue = tone("long-real.wav", 1500, 440);
    const QString shortCue = path("short-real.wav");
    QVERIFY(writeFile(shortCue, otherLayout ? toneWavIn({PcmSample::UInt8, 11025, 2}, 300, 880)
                                            : toneWav(300, 880)));
    CuePlayer player(&makeCueOutput);
    const auto rec = recordWhile([&] {
        player.play(longCue);
        QTest::qWait(300);
        player.playBlocking(shortCue);
    });
    QVERIFY2(rec, "the sink could not be recorded");
    const int heardMs = (rec->lastLoud(0.1) - rec->firstLoud(0.1) + 1) * 10;
    qInfo("heard %d ms of sound", heardMs);
    // 300 ms of the long cue and all of the short one; never the long cue's full length.
    QVERIFY2(heardMs >= 500 && heardMs < 1000, qPrintable(QString::number(heardMs)));
}

// A cue far longer than a word, handed to the server in pieces as it plays.
void TestCuePlayer::realOutput_longCueHeardWhole() {
    QString why;
    if (!captureSinkReachable(&why))
        TAPECALC_MISSING(qPrintable(why));
    const QString cue = path("long-float.wav"); // 1.5 MB of samples
    QVERIFY(writeFile(cue, toneWavIn({PcmSample::Float, 48000, 2}, 4000)));
    CuePlayer player(&makeCueOutput);
    const auto rec = recordWhile([&] { player.playBlocking(cue); });
    QVERIFY2(rec, "the sink could not be recorded");
    const int heardMs = (rec->lastLoud(0.1) - rec->firstLoud(0.1) + 1) * 10;
    QVERIFY2(heardMs >= 4000 * 9 / 10 && heardMs <= 4000 + 100,
             qPrintable(QString::number(heardMs)));
    for (int w = rec->firstLoud(0.1); w <= rec->lastLoud(0.1); ++w)
        QVERIFY2(rec->windowPeaks[w] > 0.3, qPrintable(QString("a gap at %1 ms").arg(w * 10)));
}

void TestCuePlayer::realOutput_stalledDevice_waitIsBounded() {
    QString why;
    if (!captureSinkReachable(&why))
        TAPECALC_MISSING(qPrintable(why));
    // A suspended sink takes no data: the device never reports the cue as played.
    const std::optional<QString> ok = QString();
    QCOMPARE(tapecalc::test::pulseCommand("suspend-sink capture 1"), ok);
    const auto resume =
        qScopeGuard([&] { QCOMPARE(tapecalc::test::pulseCommand("suspend-sink capture 0"), ok); });
    CuePlayer player(&makeCueOutput);
    QSignalSpy ended(&player, &CuePlayer::cueEnded);
    QElapsedTimer clock;
    clock.start();
    player.playBlocking(tone("stalled.wav", 300));
    const qint64 took = clock.elapsed();
    QVERIFY2(took >= 300 * 8 / 10 && took < 300 + kSlackMs, qPrintable(QString::number(took)));
    QCOMPARE(ended.count(), 1);
    QVERIFY(!player.isPlaying());
}

// Cue after cue through the real output, played out or cut, each player and its sinks
// deleted before the next: PulseAudio once called back into a sink deleted after its cue
// had played out, and the program died while speaking. The suite runs with
// MALLOC_PERTURB_ so that such a call crashes instead of reading intact freed memory.
void TestCuePlayer::realOutput_manyCuesInARow() {
    QString why;
    if (!captureSinkReachable(&why))
        TAPECALC_MISSING(qPrintable(why));
    const QString shortCue = tone("row-short.wav", 40, 660);
    const QString longCue = tone("row-long.wav", 300, 330);
    for (int i = 0; i < 60; ++i) {
        CuePlayer player(&makeCueOutput);
        QSignalSpy ended(&player, &CuePlayer::cueEnded);
        const bool cutsOne = i % 2 == 1;
        if (cutsOne) {
            player.play(longCue);
            QTest::qWait(i % 7 * 15);
        }
        player.playBlocking(shortCue);
        QVERIFY(!player.isPlaying());
        QCOMPARE(ended.count(), cutsOne ? 2 : 1);
        // The ended sinks are deleted here, while PulseAudio may still be answering them.
        QTest::qWait(i % 5);
    }
}

void TestCuePlayer::withoutAudioDevice_behaviourHolds() {
    if (qEnvironmentVariableIsSet("TAPECALC_CUE_CHILD"))
        QSKIP("already the run without an audio device");
    QString why;
    if (!captureSinkReachable(&why))
        TAPECALC_MISSING(qPrintable(why));
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TAPECALC_CUE_CHILD", "1");
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("PULSE_SERVER", "unix:" + runtime.filePath("no-such-socket"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    // The child records nothing itself: what it plays is recorded here.
    env.remove("TAPECALC_PULSE_CLI");
    env.remove("TAPECALC_PULSE_TAP");
    env.remove("TAPECALC_REQUIRE_TOOLS"); // the child's missing server is the point
#ifdef Q_OS_WIN
    // Under wine a Windows child's sound client finds the server through the Linux
    // environment wine was started with, whatever environment the child is handed: wine's
    // sound drivers are turned off instead, for the processes that open a device meanwhile
    // (an empty list of them; a key only wine reads).
    QSettings wine(R"(HKEY_CURRENT_USER\Software\Wine\Drivers)", QSettings::NativeFormat);
    const QVariant drivers = wine.value("Audio");
    wine.setValue("Audio", QString());
    wine.sync();
    const auto restoreDrivers = qScopeGuard([&] {
        if (drivers.isValid())
            wine.setValue("Audio", drivers);
        else
            wine.remove("Audio");
        wine.sync();
    });
#endif
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    const QStringList functions{"playBlocking_waitsForTheCue",
                                "playBlocking_unplayable",
                                "playBlocking_headerClaimingHugeLength_endsWithTheRealData",
                                "playBlocking_cutsAsyncCue",
                                "play_secondRequestCutsTheFirst",
                                "play_endsByItselfAfterItsLength",
                                "cueReplacedOnDisk_isReadAgain",
                                "chineseFileName_plays",
                                "inputDuringBlockingPlay_deliveredAfterwardsInOrder",
                                "realOutput_toneIsRecorded"};
    bool finished = false;
    const auto rec = recordWhile([&] {
        child.start(QCoreApplication::applicationFilePath(), functions);
        finished = child.waitForFinished(120000);
    });
    const QByteArray out = child.readAll();
    QVERIFY2(finished, out.constData());
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, out.constData());
    QVERIFY2(out.contains("SKIP   : TestCuePlayer::realOutput_toneIsRecorded("),
             "the child did not skip its recording");
    // Its cues sounded nowhere: it had no server.
    QVERIFY2(rec, "the sink could not be recorded");
    qInfo("the sink while the child played: %lld ms, peak %.4f", rec->ms(), rec->peak());
    QVERIFY2(rec->ms() >= 3000, qPrintable(QString::number(rec->ms())));
    QVERIFY2(rec->peak() < 0.01, "the child's cues were heard: it still found the server");
}

QTEST_MAIN(TestCuePlayer)
#include "tst_cueplayer.moc"
