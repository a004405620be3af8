// Voice cue playback: WAV files read at every use, decoded here and fed to the system's
// sound output, either in the background or holding the window until the cue has ended.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>
#include <utility>
#include <vector>

class QEvent;

namespace tapecalc {

class CueOutput;
std::unique_ptr<CueOutput> makeCueOutput(); // cueoutput.h

class CuePlayer : public QObject {
    Q_OBJECT
  public:
    using OutputMaker = std::unique_ptr<CueOutput> (*)();
    // `makeOutput` gives the sound output when it is first needed: makeCueOutput, this
    // build's system output, linked; or one that loads it (the window's platform does).
    explicit CuePlayer(OutputMaker makeOutput, QObject *parent = nullptr);
    ~CuePlayer() override;

    // Opens the sound output now, without waiting for it, so that the first cue is not
    // held up by it; until called (or the first cue), no audio is touched. Safe to
    // repeat; it also reopens an output that was lost.
    void warmUp();

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
    // How a cue stops sounding: it played out (the device keeps its last samples), it
    // was cut, or a new cue takes the output over.
    enum class Ending { playedOut, cut, replaced };

    bool start(const QString &path);
    void finish(Ending how);
    void onNominalEnd();
    void checkPlayedOut();

    OutputMaker m_makeOutput;
    std::unique_ptr<CueOutput> m_output;
    QString m_current;
    QTimer m_nominalEnd;     // the cue's length: the earliest it may end
    QTimer m_playedOutCheck; // from then on, until the device has played all of it
    QTimer m_deadline;       // the latest it may end, whatever the device reports

    int m_blockingDepth = 0;
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> m_heldInput;
};

} // namespace tapecalc
