// The sound output under the cue player, one file per system, chosen by the build:
// PulseAudio's client library on Linux (pulseoutput.cpp), Windows' waveOut
// (windowsoutput.cpp), Qt Multimedia where neither exists (qtoutput.cpp). Plain C++, so
// that a system's file needs nothing but that system. Called from one thread only.
#pragma once

#include "audio/pcmformat.h"

#include <cstddef>
#include <memory>

namespace tapecalc {

class CueOutput {
  public:
    // Where the system output is a module of its own (modules/moduleentry.h), its file.
    static constexpr char module[] = "tapecalc-sound";

    virtual ~CueOutput() = default;

    // Gets ready to sound (loads the system's audio stack, connects, opens the stream)
    // without waiting for any of it; sounds started before it is ready begin as soon as
    // it is. Cheap when already done, and safe to repeat: an output lost meanwhile (the
    // sound server restarted) is opened again.
    virtual void open() = 0;

    // Whether samples of this layout go out as they are; others are converted first.
    virtual bool takes(const PcmFormat &format) const = 0;

    // Cuts whatever sounds and plays `bytes` of whole frames in `format` (one it takes).
    // Returns at once; the samples are copied.
    virtual void start(const PcmFormat &format, const char *pcm, std::size_t bytes) = 0;

    // Silences the output at once.
    virtual void cut() = 0;

    // The last sound's time is over: lets what the device still holds of it play out,
    // drops anything later, and idles.
    virtual void end() = 0;

    // True once the device has taken all of the last sound, and whenever the output
    // cannot say or cannot play: then the sound's own length decides.
    virtual bool playedOut() = 0;
};

// This build's system output.
std::unique_ptr<CueOutput> makeCueOutput();

// An output that plays nothing, for a program whose sound output cannot be had.
std::unique_ptr<CueOutput> makeSilentCueOutput();

} // namespace tapecalc
