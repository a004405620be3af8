// Voice cue playback: the rules of cutting and waiting, over the system's sound output,
// with our own WAV reader so that a cue's exact length is known before it starts and every
// wait can be bounded by it.
#include "audio/cueplayer.h"

#include "audio/cueoutput.h"
#include "audio/wavreader.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFile>

#include <algorithm>

namespace tapecalc {

namespace {

// A cue is a word or two; anything this big is not a cue and would only eat memory.
constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

// After the cue's length has passed, how long a device that has not yet played all of it
// may take before the cue is ended anyway: room for a slow output (Bluetooth) without
// letting a stalled one hold the window.
constexpr int kDeadlineMarginMs = 500;

bool isHeldInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::NonClientAreaMouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
        return true;
    default:
        return false;
    }
}

// No sound: every cue lasts its length in silence.
class SilentOutput final : public CueOutput {
  public:
    void open() override {}
    bool takes(const PcmFormat &) const override { return true; }
    void start(const PcmFormat &, const char *, std::size_t) override {}
    void cut() override {}
    void end() override {}
    bool playedOut() override { return true; }
};

} // namespace

std::unique_ptr<CueOutput> makeSilentCueOutput() {
    return std::make_unique<SilentOutput>();
}

CuePlayer::CuePlayer(OutputMaker makeOutput, QObject *parent)
    : QObject(parent), m_makeOutput(makeOutput) {
    m_nominalEnd.setSingleShot(true);
    m_nominalEnd.setTimerType(Qt::PreciseTimer);
    m_deadline.setSingleShot(true);
    m_deadline.setTimerType(Qt::PreciseTimer);
    m_playedOutCheck.setInterval(10);
    connect(&m_nominalEnd, &QTimer::timeout, this, &CuePlayer::onNominalEnd);
    connect(&m_playedOutCheck, &QTimer::timeout, this, &CuePlayer::checkPlayedOut);
    connect(&m_deadline, &QTimer::timeout, this, [this] { finish(Ending::cut); });
}

CuePlayer::~CuePlayer() {
    const QSignalBlocker quiet(this);
    finish(Ending::cut);
    if (m_blockingDepth > 0 && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

void CuePlayer::warmUp() {
    if (!m_output)
        m_output = m_makeOutput();
    m_output->open();
}

void CuePlayer::play(const QString &path) {
    if (path.isEmpty())
        finish(Ending::cut);
    else
        start(path);
}

void CuePlayer::playBlocking(const QString &path) {
    if (path.isEmpty()) {
        finish(Ending::cut);
        return;
    }
    if (!start(path))
        return;

    QEventLoop loop;
    connect(this, &CuePlayer::cueEnded, &loop, &QEventLoop::quit);
    if (m_blockingDepth++ == 0)
        QCoreApplication::instance()->installEventFilter(this);
    // ExcludeUserInputEvents keeps the window system's input queued; the filter does the
    // same for input that is posted or sent straight to a widget.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (--m_blockingDepth > 0)
        return;
    QCoreApplication::instance()->removeEventFilter(this);
    auto held = std::move(m_heldInput);
    m_heldInput.clear();
    for (auto &[receiver, event] : held) {
        if (receiver)
            QCoreApplication::postEvent(receiver, event.release());
    }
}

bool CuePlayer::eventFilter(QObject *watched, QEvent *event) {
    if (m_blockingDepth > 0 && isHeldInput(event->type())) {
        m_heldInput.emplace_back(watched, event->clone());
        return true;
    }
    return QObject::eventFilter(watched, event);
}

bool CuePlayer::start(const QString &path) {
    // Read at every request: a cue replaced on disk is heard at its next use.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes)
        return false;
    std::optional<PcmSound> sound = readWav(file.readAll());
    file.close();
    if (!sound)
        return false;

    finish(Ending::replaced);
    warmUp();
    const qint64 durationUs = sound->durationUs();
    if (!m_output->takes(sound->format))
        sound = convertPcm(
            *sound, {PcmSample::Int16, sound->format.rate, std::min(sound->format.channels, 2)});
    m_current = path;
    m_output->start(sound->format, sound->pcm.constData(), size_t(sound->pcm.size()));

    const int lengthMs = static_cast<int>((durationUs + 999) / 1000);
    m_nominalEnd.start(lengthMs);
    m_deadline.start(lengthMs + kDeadlineMarginMs);
    return true;
}

void CuePlayer::onNominalEnd() {
    checkPlayedOut();
    if (isPlaying())
        m_playedOutCheck.start();
}

void CuePlayer::checkPlayedOut() {
    // Output latency is thus waited for, and a following cue does not clip this one's end.
    if (m_output->playedOut())
        finish(Ending::playedOut);
}

void CuePlayer::finish(Ending how) {
    m_nominalEnd.stop();
    m_deadline.stop();
    m_playedOutCheck.stop();
    if (m_output && how == Ending::cut)
        m_output->cut();
    else if (m_output && how == Ending::playedOut)
        m_output->end();
    if (m_current.isEmpty())
        return;
    const QString ended = std::exchange(m_current, QString());
    Q_EMIT cueEnded(ended);
}

} // namespace tapecalc
