// Cues through Qt Multimedia's default output, for systems with neither PulseAudio nor
// waveOut (macOS). Each cue gets a sink of its own, which takes a few tens of
// milliseconds to start.
#include "audio/cueoutput.h"

#include "audio/wavreader.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QByteArray>
#include <QIODevice>
#include <QMediaDevices>
#include <QPointer>

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

namespace tapecalc {

namespace {

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

class QtOutput final : public CueOutput {
  public:
    ~QtOutput() override { stop(true); }

    void open() override {}
    // A device that refuses the cue's layout gets its preferred one, converted here.
    bool takes(const PcmFormat &) const override { return true; }
    void start(const PcmFormat &format, const char *pcm, std::size_t bytes) override {
        stop(true);
        m_durationUs = qint64(bytes) / format.bytesPerFrame() * 1000000 / format.rate;
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull())
            return;
        PcmSound sound{format, QByteArray(pcm, qsizetype(bytes))};
        const std::optional<PcmFormat> preferred = toPcmFormat(device.preferredFormat());
        if (!device.isFormatSupported(toAudioFormat(format)) && preferred)
            sound = convertPcm(sound, *preferred);
        const QAudioFormat audioFormat = toAudioFormat(sound.format);
        // No parent: Qt 6.4 gives the sink's backend object the parent passed here, and
        // the two would then be deleted twice along with the output.
        auto *sink = new QAudioSink(device, audioFormat);
        auto *source = new CueSource(sound.pcm, audioFormat, sink);
        source->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        m_sink = sink;
        sink->start(source);
    }
    void cut() override { stop(true); }
    void end() override { stop(false); }
    bool playedOut() override {
        // The sink's processed time follows what the device has played, within the
        // granularity of its clock; a sink that stopped by itself has failed.
        constexpr qint64 slackUs = 10000;
        return !m_sink || m_sink->state() == QAudio::StoppedState ||
               m_sink->processedUSecs() >= m_durationUs - slackUs;
    }

  private:
    void stop(bool dropHeld) {
        QAudioSink *sink = m_sink;
        if (!sink)
            return;
        m_sink = nullptr;
        // Cutting drops what the device still holds; a cue that played out keeps its
        // last few milliseconds.
        if (dropHeld)
            sink->reset();
        sink->stop();
        // This may run inside one of the sink's own signals.
        sink->deleteLater();
    }

    QPointer<QAudioSink> m_sink;
    qint64 m_durationUs = 0;
};

} // namespace

std::unique_ptr<CueOutput> makeCueOutput() {
    return std::make_unique<QtOutput>();
}

} // namespace tapecalc
