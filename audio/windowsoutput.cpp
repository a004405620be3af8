// Cues through Windows' own waveOut (winmm): each cue opens the default device, is
// written to it as one buffer, and is cut by waveOutReset. It is handed the samples the
// player has read and checked: what sounds is what was measured (a file whose header lies
// about its length, or one changed meanwhile, cannot surprise), and every layout the reader
// knows plays, converted to what waveOut takes.
//
// Not PlaySoundW, though it does the same in one call: PlaySoundW stops a sound by waiting,
// without a bound, for the device to give its buffers back, and a device whose stream was
// ended under it (a sound server that ended it, a device unplugged) never does, so the
// next cue hung the program. Here no call waits for the device: a device that does not
// give its buffer back is left to it, with the buffer, and closed at a later cue once it
// has.
#include "audio/cueoutput.h"

#include <windows.h>

#include <mmsystem.h>

#include <list>
#include <vector>

namespace tapecalc {

namespace {

// One cue on one opened device: the buffer the device reads and its header.
struct Playback {
    HWAVEOUT device = nullptr;
    WAVEHDR header{};
    std::vector<char> pcm;

    // Stops the sound and closes the device; false while the device still holds the
    // buffer, which must then stay as it is.
    bool close() {
        waveOutReset(device);
        if (waveOutUnprepareHeader(device, &header, sizeof header) == WAVERR_STILLPLAYING)
            return false;
        return waveOutClose(device) != WAVERR_STILLPLAYING;
    }
};

class WindowsOutput final : public CueOutput {
  public:
    ~WindowsOutput() override { cut(); }

    // The first device opened loads the audio stack, which takes a while: a few
    // milliseconds of silence do that ahead of the first cue.
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
        cut();
        WAVEFORMATEX wave{};
        wave.wFormatTag = WAVE_FORMAT_PCM;
        wave.nChannels = static_cast<WORD>(format.channels);
        wave.nSamplesPerSec = static_cast<DWORD>(format.rate);
        wave.nBlockAlign = static_cast<WORD>(format.bytesPerFrame());
        wave.nAvgBytesPerSec = wave.nSamplesPerSec * wave.nBlockAlign;
        wave.wBitsPerSample = static_cast<WORD>(format.bytesPerSample() * 8);
        auto &playback = m_playbacks.emplace_back();
        if (waveOutOpen(&playback.device, WAVE_MAPPER, &wave, 0, 0, CALLBACK_NULL) !=
            MMSYSERR_NOERROR) {
            m_playbacks.pop_back();
            return;
        }
        playback.pcm.assign(pcm, pcm + bytes);
        playback.header.lpData = playback.pcm.data();
        playback.header.dwBufferLength = static_cast<DWORD>(bytes);
        if (waveOutPrepareHeader(playback.device, &playback.header, sizeof playback.header) !=
                MMSYSERR_NOERROR ||
            waveOutWrite(playback.device, &playback.header, sizeof playback.header) !=
                MMSYSERR_NOERROR)
            cut();
    }

    // Every device still open is stopped and closed; one still holding its buffer is kept
    // for the next time.
    void cut() override {
        m_playbacks.remove_if([](Playback &p) { return p.close(); });
    }

    // Stopping here could clip what the device still holds: the cue is closed when the
    // next one starts.
    void end() override {}

    // The player's own clock ends a cue: a device that was taken away would never say.
    bool playedOut() override { return true; }

  private:
    std::list<Playback> m_playbacks; // a list: the devices hold the headers' addresses
    bool m_opened = false;
};

} // namespace

std::unique_ptr<CueOutput> makeCueOutput() {
    return std::make_unique<WindowsOutput>();
}

} // namespace tapecalc
