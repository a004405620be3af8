// Cues through PulseAudio's client library (PipeWire serves the same protocol): one
// connection and one playback stream, opened once and kept, asking for a 5 ms target
// length, so that a cue is heard a few milliseconds after it is asked for. A cue is
// written into the stream whole (in large pieces when very long); cutting it is a flush.
// The stream stays running for a while after a cue, so that a device that would suspend
// when idle stays awake while the calculator is in use; after that it is corked, so that a
// calculator left alone keeps no device awake (nor the server waking every few ms).
// The server's replies are taken on the threaded main loop's own thread; every call from
// the player holds that loop's lock, and the callbacks run with it held.
#include "audio/cueoutput.h"

#include <pulse/pulseaudio.h>
#include <pulse/rtclock.h>

#include <algorithm>
#include <vector>

namespace tapecalc {

namespace {

// The target length of the stream's buffer: the server asks for more when it holds less,
// and sets the device's latency to match.
constexpr pa_usec_t kTargetLengthUs = 5000;
// How much of a cue is handed to the server at a time: a cue is a word or two, so one
// piece holds it whole; a longer one gets its next piece when the server asks, which
// stays within the 4 MiB a server holds for a stream.
constexpr std::size_t kPieceBytes = 1024 * 1024;
// How long the stream runs on, silent, after a cue: longer than a pause between keys.
constexpr pa_usec_t kIdleBeforeCorkUs = 30 * PA_USEC_PER_SEC;
// What the stream is opened with before any cue is known: the layout of the shipped
// cues, so that the first one needs no new stream.
constexpr PcmFormat kUsualFormat{PcmSample::Int16, 22050, 1};

pa_sample_spec toSpec(const PcmFormat &format) {
    pa_sample_spec sampleSpec{};
    switch (format.sample) {
    case PcmSample::UInt8:
        sampleSpec.format = PA_SAMPLE_U8;
        break;
    case PcmSample::Int16:
        sampleSpec.format = PA_SAMPLE_S16LE;
        break;
    case PcmSample::Int32:
        sampleSpec.format = PA_SAMPLE_S32LE;
        break;
    case PcmSample::Float:
        sampleSpec.format = PA_SAMPLE_FLOAT32LE;
        break;
    }
    sampleSpec.rate = static_cast<uint32_t>(format.rate);
    sampleSpec.channels = static_cast<uint8_t>(format.channels);
    return sampleSpec;
}

// The operations' results are seen through the callbacks; the handles are not kept.
void drop(pa_operation *operation) {
    if (operation)
        pa_operation_unref(operation);
}

class PulseOutput final : public CueOutput {
  public:
    PulseOutput() = default;
    PulseOutput(const PulseOutput &) = delete;
    PulseOutput &operator=(const PulseOutput &) = delete;
    ~PulseOutput() override;

    void open() override;
    bool takes(const PcmFormat &format) const override {
        const pa_sample_spec sampleSpec = toSpec(format);
        return pa_sample_spec_valid(&sampleSpec) != 0;
    }
    void start(const PcmFormat &format, const char *pcm, std::size_t bytes) override;
    void cut() override;
    void end() override;
    bool playedOut() override;

  private:
    class Lock {
      public:
        explicit Lock(pa_threaded_mainloop *loop) : m_loop(loop) {
            pa_threaded_mainloop_lock(m_loop);
        }
        ~Lock() { pa_threaded_mainloop_unlock(m_loop); }
        Lock(const Lock &) = delete;
        Lock &operator=(const Lock &) = delete;

      private:
        pa_threaded_mainloop *m_loop;
    };

    // All of these run with the loop's lock held.
    void connect();
    void openStream(const PcmFormat &format);
    void closeStream();
    void closeContext();
    bool streamUsable() const;
    void writeSome();
    void silence();
    void idleFromNow();

    static void onContextState(pa_context *context, void *self);
    static void onStreamState(pa_stream *stream, void *self);
    static void onWritable(pa_stream *stream, size_t bytes, void *self);
    static void onUnderflow(pa_stream *stream, void *self);
    static void onFlushed(pa_stream *stream, int success, void *self);
    static void onIdle(pa_mainloop_api *api, pa_time_event *event, const struct timeval *,
                       void *self);

    pa_threaded_mainloop *m_loop = nullptr;
    pa_context *m_context = nullptr;
    pa_stream *m_stream = nullptr;
    pa_time_event *m_idleTimer = nullptr;
    PcmFormat m_streamFormat = kUsualFormat;

    std::vector<char> m_pcm; // the cue sounding now
    std::size_t m_written = 0;
    bool m_waitsForStream = false; // started before the stream was ready
    bool m_corked = true;
    // The server's report that the stream ran dry counts only once it has acknowledged
    // the last flush: a report sent before then is about an earlier cue.
    unsigned m_flushesSent = 0;
    unsigned m_flushesDone = 0;
    bool m_ranDry = true;
};

PulseOutput::~PulseOutput() {
    if (!m_loop)
        return;
    {
        Lock lock(m_loop);
        closeStream();
        closeContext();
    }
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
}

void PulseOutput::open() {
    if (!m_loop) {
        m_loop = pa_threaded_mainloop_new();
        if (!m_loop)
            return;
        if (pa_threaded_mainloop_start(m_loop) < 0) {
            pa_threaded_mainloop_free(m_loop);
            m_loop = nullptr;
            return;
        }
    }
    Lock lock(m_loop);
    connect();
}

void PulseOutput::connect() {
    if (m_context) {
        const pa_context_state_t state = pa_context_get_state(m_context);
        if (state != PA_CONTEXT_FAILED && state != PA_CONTEXT_TERMINATED)
            return;
        closeContext(); // the server went away: try again
    }
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "TapeCalc");
    if (!m_context)
        return;
    pa_context_set_state_callback(m_context, &PulseOutput::onContextState, this);
    // Never start a server of our own: without one the cues are silent.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        closeContext();
}

void PulseOutput::closeContext() {
    closeStream();
    if (m_idleTimer) {
        pa_threaded_mainloop_get_api(m_loop)->time_free(m_idleTimer);
        m_idleTimer = nullptr;
    }
    if (!m_context)
        return;
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

void PulseOutput::openStream(const PcmFormat &format) {
    closeStream();
    m_streamFormat = format;
    if (!m_context || pa_context_get_state(m_context) != PA_CONTEXT_READY)
        return; // onContextState opens it
    const pa_sample_spec sampleSpec = toSpec(format);
    m_stream = pa_stream_new(m_context, "voice cues", &sampleSpec, nullptr);
    if (!m_stream)
        return;
    pa_stream_set_state_callback(m_stream, &PulseOutput::onStreamState, this);
    pa_stream_set_write_callback(m_stream, &PulseOutput::onWritable, this);
    pa_stream_set_underflow_callback(m_stream, &PulseOutput::onUnderflow, this);
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(kTargetLengthUs, &sampleSpec));
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(-1);
    // Running from the start, like after a cue: the first key finds the device awake.
    m_corked = false;
    if (pa_stream_connect_playback(m_stream, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr,
                                   nullptr) < 0)
        closeStream();
}

void PulseOutput::closeStream() {
    if (!m_stream)
        return;
    pa_stream_set_state_callback(m_stream, nullptr, nullptr);
    pa_stream_set_write_callback(m_stream, nullptr, nullptr);
    pa_stream_set_underflow_callback(m_stream, nullptr, nullptr);
    pa_stream_disconnect(m_stream);
    pa_stream_unref(m_stream);
    m_stream = nullptr;
    m_flushesSent = m_flushesDone = 0;
}

bool PulseOutput::streamUsable() const {
    if (!m_stream)
        return false;
    const pa_stream_state_t state = pa_stream_get_state(m_stream);
    return state == PA_STREAM_UNCONNECTED || state == PA_STREAM_CREATING ||
           state == PA_STREAM_READY;
}

void PulseOutput::start(const PcmFormat &format, const char *pcm, std::size_t bytes) {
    open();
    if (!m_loop)
        return;
    Lock lock(m_loop);
    m_pcm.assign(pcm, pcm + bytes);
    m_written = 0;
    m_ranDry = false;
    if (!streamUsable() || !(format == m_streamFormat)) {
        m_waitsForStream = true;
        openStream(format);
        return;
    }
    if (pa_stream_get_state(m_stream) != PA_STREAM_READY) {
        m_waitsForStream = true; // onStreamState writes it
        return;
    }
    // What is left of the cue before is dropped; the new one follows at once. The flush
    // also puts the stream back into prebuffering, which the trigger ends even for a cue
    // shorter than the prebuffer.
    ++m_flushesSent;
    drop(pa_stream_flush(m_stream, &PulseOutput::onFlushed, this));
    if (m_corked) {
        drop(pa_stream_cork(m_stream, 0, nullptr, nullptr));
        m_corked = false;
    }
    writeSome();
    drop(pa_stream_trigger(m_stream, nullptr, nullptr));
}

void PulseOutput::writeSome() {
    const std::size_t piece = std::min(m_pcm.size() - m_written, kPieceBytes);
    if (piece == 0)
        return;
    if (pa_stream_write(m_stream, m_pcm.data() + m_written, piece, nullptr, 0, PA_SEEK_RELATIVE) ==
        0)
        m_written += piece;
}

void PulseOutput::silence() {
    m_pcm.clear();
    m_written = 0;
    m_waitsForStream = false;
    m_ranDry = true;
    if (!m_stream || pa_stream_get_state(m_stream) != PA_STREAM_READY)
        return;
    ++m_flushesSent;
    drop(pa_stream_flush(m_stream, &PulseOutput::onFlushed, this));
    idleFromNow();
}

void PulseOutput::idleFromNow() {
    if (!m_context)
        return;
    const pa_usec_t at = pa_rtclock_now() + kIdleBeforeCorkUs;
    if (m_idleTimer)
        pa_context_rttime_restart(m_context, m_idleTimer, at);
    else
        m_idleTimer = pa_context_rttime_new(m_context, at, &PulseOutput::onIdle, this);
}

void PulseOutput::cut() {
    if (!m_loop)
        return;
    Lock lock(m_loop);
    silence();
}

void PulseOutput::end() {
    if (!m_loop)
        return;
    Lock lock(m_loop);
    if (!m_ranDry) {
        silence(); // a device that stalled: what it has not taken is not wanted later
        return;
    }
    m_pcm.clear();
    m_written = 0;
}

bool PulseOutput::playedOut() {
    if (!m_loop)
        return true;
    Lock lock(m_loop);
    if (!m_context || pa_context_get_state(m_context) == PA_CONTEXT_FAILED ||
        pa_context_get_state(m_context) == PA_CONTEXT_TERMINATED)
        return true;
    if (m_stream && (pa_stream_get_state(m_stream) == PA_STREAM_FAILED ||
                     pa_stream_get_state(m_stream) == PA_STREAM_TERMINATED))
        return true;
    return m_ranDry;
}

void PulseOutput::onContextState(pa_context *context, void *self) {
    auto *out = static_cast<PulseOutput *>(self);
    if (pa_context_get_state(context) == PA_CONTEXT_READY && !out->m_stream)
        out->openStream(out->m_streamFormat);
}

void PulseOutput::onStreamState(pa_stream *stream, void *self) {
    auto *out = static_cast<PulseOutput *>(self);
    if (pa_stream_get_state(stream) != PA_STREAM_READY)
        return;
    if (!out->m_waitsForStream) {
        out->idleFromNow();
        return;
    }
    out->m_waitsForStream = false;
    if (out->m_corked) {
        drop(pa_stream_cork(stream, 0, nullptr, nullptr));
        out->m_corked = false;
    }
    out->writeSome();
    drop(pa_stream_trigger(stream, nullptr, nullptr));
}

void PulseOutput::onWritable(pa_stream *, size_t, void *self) {
    auto *out = static_cast<PulseOutput *>(self);
    if (!out->m_waitsForStream && !out->m_corked)
        out->writeSome();
}

void PulseOutput::onUnderflow(pa_stream *, void *self) {
    auto *out = static_cast<PulseOutput *>(self);
    if (out->m_flushesDone != out->m_flushesSent || out->m_written < out->m_pcm.size())
        return;
    out->m_ranDry = true;
    out->idleFromNow();
}

void PulseOutput::onIdle(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self) {
    auto *out = static_cast<PulseOutput *>(self);
    // A cue sounding now is corked after it, from its own end.
    if (!out->m_ranDry || out->m_corked || !out->m_stream ||
        pa_stream_get_state(out->m_stream) != PA_STREAM_READY)
        return;
    drop(pa_stream_cork(out->m_stream, 1, nullptr, nullptr));
    out->m_corked = true;
}

void PulseOutput::onFlushed(pa_stream *, int, void *self) {
    ++static_cast<PulseOutput *>(self)->m_flushesDone;
}

} // namespace

std::unique_ptr<CueOutput> makeCueOutput() {
    return std::make_unique<PulseOutput>();
}

} // namespace tapecalc
