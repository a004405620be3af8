// Cues through Windows' own PlaySoundW: asynchronous, and each call stops the sound the
// last one started. It is handed the samples the player has read and checked, as a WAV
// image in memory, rather than the file's name: what sounds is what was measured (a file
// whose header lies about its length, or one changed meanwhile, cannot surprise), and
// every layout the reader knows plays, converted to what PlaySoundW takes.
#include "audio/cueoutput.h"

#include <windows.h>

#include <mmsystem.h>

#include <cstdint>
#include <vector>

namespace tapecalc {

namespace {

void put16(std::vector<char> &out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void put32(std::vector<char> &out, std::uint32_t v) {
    put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

// A plain PCM WAV of the samples: a RIFF header, the fmt chunk, the data chunk.
std::vector<char> wavImage(const PcmFormat &format, const char *pcm, std::size_t bytes) {
    std::vector<char> out;
    out.reserve(44 + bytes);
    const auto frameBytes = static_cast<std::uint16_t>(format.bytesPerFrame());
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(out, static_cast<std::uint32_t>(36 + bytes));
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, 16);
    put16(out, 1); // WAVE_FORMAT_PCM
    put16(out, static_cast<std::uint16_t>(format.channels));
    put32(out, static_cast<std::uint32_t>(format.rate));
    put32(out, static_cast<std::uint32_t>(format.rate) * frameBytes);
    put16(out, frameBytes);
    put16(out, static_cast<std::uint16_t>(format.bytesPerSample() * 8));
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, static_cast<std::uint32_t>(bytes));
    out.insert(out.end(), pcm, pcm + bytes);
    return out;
}

class WindowsOutput final : public CueOutput {
  public:
    ~WindowsOutput() override { cut(); }

    // The first PlaySoundW loads the audio stack and opens the device, which takes a
    // while: a few milliseconds of silence do that ahead of the first cue.
    void open() override {
        if (m_opened)
            return;
        m_opened = true;
        const char silence[64] = {};
        start({PcmSample::Int16, 8000, 1}, silence, sizeof silence);
    }

    // Plain PCM: 8 or 16 bits, one or two channels.
    bool takes(const PcmFormat &format) const override {
        return (format.sample == PcmSample::UInt8 || format.sample == PcmSample::Int16) &&
               (format.channels == 1 || format.channels == 2);
    }

    void start(const PcmFormat &format, const char *pcm, std::size_t bytes) override {
        m_opened = true;
        cut(); // the image sounding now is freed only once it has stopped
        m_image = wavImage(format, pcm, bytes);
        const auto *image = reinterpret_cast<LPCWSTR>(m_image.data());
        if (!PlaySoundW(image, nullptr, SND_MEMORY | SND_ASYNC | SND_NODEFAULT))
            m_image.clear();
    }

    void cut() override {
        if (m_image.empty())
            return;
        PlaySoundW(nullptr, nullptr, 0);
        m_image.clear();
    }

    // Stopping here could clip what the device still holds: the image is kept until the
    // next cue replaces it.
    void end() override {}

    // PlaySoundW does not tell how far it has played.
    bool playedOut() override { return true; }

  private:
    std::vector<char> m_image; // read by PlaySoundW while it sounds
    bool m_opened = false;
};

} // namespace

std::unique_ptr<CueOutput> makeCueOutput() {
    return std::make_unique<WindowsOutput>();
}

} // namespace tapecalc
