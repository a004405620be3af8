// Voice cue playback: WAV files decoded here and fed to the default audio output,
// either in the background or holding the window until the cue has ended.
#pragma once

#include "audio/wavreader.h"

#include <QAudioFormat>
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QAudioSink;
class QEvent;

namespace tapecalc {

// The samples of one cue, in a form an audio sink takes as it is.
struct CueSound {
    QAudioFormat format;
    QByteArray pcm; // whole frames only, never empty
    qint64 durationUs() const {
        return tapecalc::durationUs(pcm.size(), format.bytesPerFrame(), format.sampleRate());
    }
};

// readWav, in the audio sink's terms.
std::optional<CueSound> parseWav(const QByteArray &bytes);

// Remixes and resamples (linearly) for a device that refuses the file's own format; a
// target without a sample layout the reader knows leaves the sound as it is.
CueSound convertSound(const CueSound &sound, const QAudioFormat &to);

class CuePlayer : public QObject {
    Q_OBJECT
  public:
    explicit CuePlayer(QObject *parent = nullptr);
    ~CuePlayer() override;

    // Returns at once. The cue sounding so far is cut off; an empty path only cuts it.
    // A file that is missing or cannot be decoded changes nothing, so the sounding cue
    // goes on.
    void play(const QString &path);

    // Returns when the cue has ended (or was cut by a request made meanwhile). Until then
    // user input is held back and delivered afterwards in its order; timers and painting
    // go on. The wait never outlasts the cue's length plus a short margin, whatever the
    // audio device reports. Empty or unplayable paths behave as with play() and return
    // at once.
    void playBlocking(const QString &path);

    // The cue sounding now; empty when none. Without an audio device a cue still lasts
    // its length, silently, so the window keeps the same rhythm on any machine.
    QString currentPath() const { return m_current; }
    bool isPlaying() const { return !m_current.isEmpty(); }

  Q_SIGNALS:
    // The cue stopped sounding: it played out, or a later request cut it.
    void cueEnded(const QString &path);

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    bool start(const QString &path);
    void cut();
    void finish(bool drain);
    void onSinkState();
    void onNominalEnd();
    void checkPlayedOut();

    QString m_current;
    QPointer<QAudioSink> m_sink;
    bool m_sinkFailed = false;
    bool m_nominalEndPassed = false;
    qint64 m_durationUs = 0;
    QTimer m_nominalEnd;     // the cue's length: the earliest it may end
    QTimer m_playedOutCheck; // from then on, until the device has played all of it
    QTimer m_deadline;       // the latest it may end, whatever the device reports

    int m_blockingDepth = 0;
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> m_heldInput;
};

} // namespace tapecalc
