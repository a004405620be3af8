// Voice cue playback through QAudioSink, with our own WAV reader so that a cue's exact
// length is known before it starts and every wait can be bounded by it.
#include "ui/cueplayer.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QBuffer>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QMediaDevices>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tapecalc {

namespace {

// A cue is a word or two; anything this big is not a cue and would only eat memory.
constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

// After the cue's length has passed, how long a device that has not yet played all of it
// may take before the cue is ended anyway: room for a slow output (Bluetooth) without
// letting a stalled one hold the window.
constexpr int kDeadlineMarginMs = 500;

quint16 le16(const char *p) {
    return qFromLittleEndian<quint16>(p);
}
quint32 le32(const char *p) {
    return qFromLittleEndian<quint32>(p);
}

float sampleAt(const char *p, QAudioFormat::SampleFormat format) {
    switch (format) {
    case QAudioFormat::UInt8:
        return (static_cast<float>(static_cast<quint8>(*p)) - 128.0f) / 128.0f;
    case QAudioFormat::Int16:
        return static_cast<float>(qFromLittleEndian<qint16>(p)) / 32768.0f;
    case QAudioFormat::Int32:
        return static_cast<float>(static_cast<double>(qFromLittleEndian<qint32>(p)) / 2147483648.0);
    case QAudioFormat::Float: {
        float v;
        std::memcpy(&v, p, sizeof v);
        return std::isfinite(v) ? v : 0.0f;
    }
    default:
        return 0.0f;
    }
}

void putSample(char *p, float v, QAudioFormat::SampleFormat format) {
    v = std::clamp(v, -1.0f, 1.0f);
    switch (format) {
    case QAudioFormat::UInt8:
        *p = static_cast<char>(static_cast<quint8>(std::lround(v * 127.0f) + 128));
        break;
    case QAudioFormat::Int16:
        qToLittleEndian<qint16>(static_cast<qint16>(std::lround(v * 32767.0f)), p);
        break;
    case QAudioFormat::Int32:
        qToLittleEndian<qint32>(static_cast<qint32>(std::llround(double(v) * 2147483647.0)), p);
        break;
    case QAudioFormat::Float:
        std::memcpy(p, &v, sizeof v);
        break;
    default:
        break;
    }
}

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

} // namespace

qint64 CueSound::durationUs() const {
    const int frameBytes = format.bytesPerFrame();
    if (frameBytes <= 0 || format.sampleRate() <= 0)
        return 0;
    const qint64 frames = pcm.size() / frameBytes;
    return frames * 1000000 / format.sampleRate();
}

std::optional<CueSound> parseWav(const QByteArray &bytes) {
    const char *base = bytes.constData();
    const qint64 size = bytes.size();
    if (size < 12 || std::memcmp(base, "RIFF", 4) != 0 || std::memcmp(base + 8, "WAVE", 4) != 0)
        return std::nullopt;

    bool haveFormat = false;
    quint16 tag = 0, channels = 0, blockAlign = 0, bits = 0;
    quint32 rate = 0;
    const char *data = nullptr;
    qint64 dataBytes = 0;

    // The RIFF size field is often wrong in files written by streaming tools, so the
    // chunks are walked up to the real end of the bytes instead.
    qint64 pos = 12;
    while (pos + 8 <= size) {
        const char *chunk = base + pos;
        const qint64 claimed = le32(chunk + 4);
        const qint64 body = std::min(claimed, size - pos - 8);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && body >= 16) {
            tag = le16(chunk + 8);
            channels = le16(chunk + 10);
            rate = le32(chunk + 12);
            blockAlign = le16(chunk + 20);
            bits = le16(chunk + 22);
            // WAVE_FORMAT_EXTENSIBLE keeps the real format in the first two bytes of its
            // sub-format GUID.
            if (tag == 0xFFFE && body >= 40)
                tag = le16(chunk + 32);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0 && !data) {
            data = chunk + 8;
            dataBytes = body;
        }
        pos += 8 + claimed + (claimed & 1);
    }
    if (!haveFormat || !data)
        return std::nullopt;
    if (channels < 1 || channels > 8 || rate < 4000 || rate > 384000)
        return std::nullopt;
    if (blockAlign != channels * ((bits + 7) / 8))
        return std::nullopt;

    QAudioFormat::SampleFormat sampleFormat = QAudioFormat::Unknown;
    if (tag == 1 && bits == 8)
        sampleFormat = QAudioFormat::UInt8;
    else if (tag == 1 && bits == 16)
        sampleFormat = QAudioFormat::Int16;
    else if (tag == 1 && (bits == 24 || bits == 32))
        sampleFormat = QAudioFormat::Int32;
    else if (tag == 3 && bits == 32)
        sampleFormat = QAudioFormat::Float;
    else
        return std::nullopt;

    const qint64 frames = dataBytes / blockAlign;
    if (frames == 0)
        return std::nullopt;

    CueSound sound;
    sound.format.setSampleRate(static_cast<int>(rate));
    sound.format.setChannelCount(channels);
    sound.format.setSampleFormat(sampleFormat);
    if (bits == 24) {
        const qint64 samples = frames * channels;
        sound.pcm.resize(samples * 4);
        for (qint64 i = 0; i < samples; ++i) {
            const auto *s = reinterpret_cast<const uchar *>(data + i * 3);
            const quint32 widened =
                (quint32(s[0]) << 8) | (quint32(s[1]) << 16) | (quint32(s[2]) << 24);
            qToLittleEndian<quint32>(widened, sound.pcm.data() + i * 4);
        }
    } else {
        sound.pcm = QByteArray(data, frames * blockAlign);
    }
    return sound;
}

CueSound convertSound(const CueSound &sound, const QAudioFormat &to) {
    const QAudioFormat &from = sound.format;
    const int inChannels = from.channelCount();
    const int outChannels = to.channelCount();
    const int inBytes = from.bytesPerSample();
    const int outBytes = to.bytesPerSample();
    const qint64 inFrames = sound.pcm.size() / from.bytesPerFrame();
    const qint64 outFrames = std::max<qint64>(
        1, (inFrames * to.sampleRate() + from.sampleRate() - 1) / from.sampleRate());

    auto frameValue = [&](qint64 frame, int channel) {
        const char *p = sound.pcm.constData() + frame * from.bytesPerFrame();
        if (inChannels == 1)
            return sampleAt(p, from.sampleFormat());
        if (outChannels == 1) {
            float sum = 0.0f;
            for (int c = 0; c < inChannels; ++c)
                sum += sampleAt(p + c * inBytes, from.sampleFormat());
            return sum / static_cast<float>(inChannels);
        }
        return sampleAt(p + std::min(channel, inChannels - 1) * inBytes, from.sampleFormat());
    };

    CueSound out;
    out.format = to;
    out.pcm.resize(outFrames * to.bytesPerFrame());
    const double step = double(from.sampleRate()) / double(to.sampleRate());
    for (qint64 f = 0; f < outFrames; ++f) {
        const double at = double(f) * step;
        const qint64 i = std::min<qint64>(static_cast<qint64>(at), inFrames - 1);
        const qint64 j = std::min<qint64>(i + 1, inFrames - 1);
        const float t = static_cast<float>(at - double(i));
        char *p = out.pcm.data() + f * to.bytesPerFrame();
        for (int c = 0; c < outChannels; ++c) {
            const float v = frameValue(i, c) * (1.0f - t) + frameValue(j, c) * t;
            putSample(p + c * outBytes, v, to.sampleFormat());
        }
    }
    return out;
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
        auto *buffer = new QBuffer(sink);
        buffer->setData(sound->pcm);
        buffer->open(QIODevice::ReadOnly);
        connect(sink, &QAudioSink::stateChanged, this, &CuePlayer::onSinkState);
        m_sink = sink;
        sink->start(buffer);
    }

    const int lengthMs = static_cast<int>((m_durationUs + 999) / 1000);
    m_nominalEnd.start(lengthMs);
    m_deadline.start(lengthMs + kDeadlineMarginMs);
    return true;
}

void CuePlayer::onSinkState() {
    // A sink that stops by itself has failed (device gone or refused); the cue then keeps
    // only its length. Idle means no more than that all data was handed over, not heard.
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
