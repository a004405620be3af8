// Voice cue playback through QAudioSink, with our own WAV reader so that a cue's exact
// length is known before it starts and every wait can be bounded by it.
#include "audio/cueplayer.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QIODevice>
#include <QMediaDevices>

#include <algorithm>
#include <cstring>

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

// QAudioFormat and the reader's format name the same four sample layouts.
QAudioFormat toAudioFormat(const PcmFormat &format) {
    QAudioFormat out;
    out.setSampleRate(format.rate);
    out.setChannelCount(format.channels);
    switch (format.sample) {
    case PcmSample::UInt8:
        out.setSampleFormat(QAudioFormat::UInt8);
        break;
    case PcmSample::Int16:
        out.setSampleFormat(QAudioFormat::Int16);
        break;
    case PcmSample::Int32:
        out.setSampleFormat(QAudioFormat::Int32);
        break;
    case PcmSample::Float:
        out.setSampleFormat(QAudioFormat::Float);
        break;
    }
    return out;
}

std::optional<PcmFormat> toPcmFormat(const QAudioFormat &format) {
    PcmFormat out{PcmSample::Int16, format.sampleRate(), format.channelCount()};
    switch (format.sampleFormat()) {
    case QAudioFormat::UInt8:
        out.sample = PcmSample::UInt8;
        break;
    case QAudioFormat::Int16:
        out.sample = PcmSample::Int16;
        break;
    case QAudioFormat::Int32:
        out.sample = PcmSample::Int32;
        break;
    case QAudioFormat::Float:
        out.sample = PcmSample::Float;
        break;
    default:
        return std::nullopt;
    }
    if (out.rate < 1 || out.channels < 1 || out.channels > 8)
        return std::nullopt;
    return out;
}

// The cue's samples and then silence, for as long as the sink asks. A source that runs
// dry makes Qt 6.4's PulseAudio sink ask the server to drain and hand it a pointer to
// itself, which stop() does not take back: the reply could then reach a sink already
// deleted, on PulseAudio's thread, and crash the program. Never running dry, the stream
// is never drained; the player ends the cue by the time the device reports as played,
// and stop() detaches every callback that could reach the sink.
class CueSource : public QIODevice {
  public:
    CueSource(QByteArray pcm, const QAudioFormat &format, QObject *parent)
        : QIODevice(parent), m_pcm(std::move(pcm)),
          m_silence(format.sampleFormat() == QAudioFormat::UInt8 ? char(0x80) : char(0)) {}

    bool isSequential() const override { return true; }
    // Called from PulseAudio's thread too: it reads no state that changes.
    bool atEnd() const override { return false; }
    // The sink sizes its prebuffer by this: the whole cue at the start, so a short cue
    // is not held back waiting for more.
    qint64 bytesAvailable() const override {
        const qint64 left = m_pcm.size() - m_offset;
        return (left > 0 ? left : 0) + kSilenceBlockBytes;
    }

  protected:
    qint64 readData(char *data, qint64 maxSize) override {
        const qint64 fromCue = std::clamp<qint64>(m_pcm.size() - m_offset, 0, maxSize);
        std::memcpy(data, m_pcm.constData() + m_offset, size_t(fromCue));
        std::memset(data + fromCue, m_silence, size_t(maxSize - fromCue));
        m_offset += fromCue;
        return maxSize;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

  private:
    static constexpr qint64 kSilenceBlockBytes = 4096;
    const QByteArray m_pcm;
    qint64 m_offset = 0;
    const char m_silence;
};

} // namespace

std::optional<CueSound> parseWav(const QByteArray &bytes) {
    std::optional<PcmSound> sound = readWav(bytes);
    if (!sound)
        return std::nullopt;
    return CueSound{toAudioFormat(sound->format), std::move(sound->pcm)};
}

CueSound convertSound(const CueSound &sound, const QAudioFormat &to) {
    const std::optional<PcmFormat> from = toPcmFormat(sound.format);
    const std::optional<PcmFormat> target = toPcmFormat(to);
    // A format without a layout we know is no target: the sound stays as it is.
    if (!from || !target)
        return sound;
    const PcmSound converted = convertPcm(PcmSound{*from, sound.pcm}, *target);
    return CueSound{to, converted.pcm};
}

CuePlayer::CuePlayer(QObject *parent) : QObject(parent) {
    m_nominalEnd.setSingleShot(true);
    m_nominalEnd.setTimerType(Qt::PreciseTimer);
    m_deadline.setSingleShot(true);
    m_deadline.setTimerType(Qt::PreciseTimer);
    m_playedOutCheck.setInterval(10);
    connect(&m_nominalEnd, &QTimer::timeout, this, &CuePlayer::onNominalEnd);
    connect(&m_playedOutCheck, &QTimer::timeout, this, &CuePlayer::checkPlayedOut);
    connect(&m_deadline, &QTimer::timeout, this, [this] { finish(false); });
}

CuePlayer::~CuePlayer() {
    const QSignalBlocker quiet(this);
    cut();
    if (m_blockingDepth > 0 && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

void CuePlayer::play(const QString &path) {
    if (path.isEmpty())
        cut();
    else
        start(path);
}

void CuePlayer::playBlocking(const QString &path) {
    if (path.isEmpty()) {
        cut();
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
    std::optional<CueSound> sound = parseWav(file.readAll());
    file.close();
    if (!sound)
        return false;

    cut();

    // Set before the sink starts: a sink that fails at once reports so from start().
    m_current = path;
    m_nominalEndPassed = false;
    m_sinkFailed = false;
    m_durationUs = sound->durationUs();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (!device.isNull()) {
        if (!device.isFormatSupported(sound->format))
            sound = convertSound(*sound, device.preferredFormat());
        // No parent: Qt 6.4 gives the sink's backend object the parent passed here, and
        // the two would then be deleted twice along with the player.
        auto *sink = new QAudioSink(device, sound->format);
        auto *source = new CueSource(sound->pcm, sound->format, sink);
        source->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        connect(sink, &QAudioSink::stateChanged, this, &CuePlayer::onSinkState);
        m_sink = sink;
        sink->start(source);
    }

    const int lengthMs = static_cast<int>((m_durationUs + 999) / 1000);
    m_nominalEnd.start(lengthMs);
    m_deadline.start(lengthMs + kDeadlineMarginMs);
    return true;
}

void CuePlayer::onSinkState() {
    // A sink that stops by itself has failed (device gone or refused); the cue then keeps
    // only its length. Idle means no more than an underrun: the source never ends.
    if (m_sink && m_sink->state() == QAudio::StoppedState) {
        m_sinkFailed = true;
        if (m_nominalEndPassed)
            finish(true);
    }
}

void CuePlayer::onNominalEnd() {
    m_nominalEndPassed = true;
    checkPlayedOut();
    if (isPlaying())
        m_playedOutCheck.start();
}

void CuePlayer::checkPlayedOut() {
    // The sink's processed time follows what the device has played; output latency is
    // thus waited for, and a following cue does not clip this one's end. A little slack
    // allows for the granularity of the device's clock.
    constexpr qint64 slackUs = 10000;
    if (!m_sink || m_sinkFailed || m_sink->processedUSecs() >= m_durationUs - slackUs)
        finish(true);
}

void CuePlayer::cut() {
    finish(false);
}

void CuePlayer::finish(bool drain) {
    m_nominalEnd.stop();
    m_deadline.stop();
    m_playedOutCheck.stop();
    if (QAudioSink *sink = m_sink) {
        m_sink = nullptr;
        sink->disconnect(this);
        // Cutting drops what the device still holds; a cue that played out keeps its
        // last few milliseconds.
        if (!drain)
            sink->reset();
        sink->stop();
        // This may run inside the sink's own signal.
        sink->deleteLater();
    }
    if (m_current.isEmpty())
        return;
    const QString ended = std::exchange(m_current, QString());
    Q_EMIT cueEnded(ended);
}

} // namespace tapecalc
