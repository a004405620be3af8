// WAV bytes to PCM samples, and PCM from one layout to another. Qt Core only, so that
// the reader of cue files runs (and is fuzzed) without an audio stack.
#pragma once

#include "audio/pcmformat.h"

#include <QByteArray>

#include <optional>

namespace tapecalc {

// How long `bytes` of PCM in frames of `bytesPerFrame` last at `rate` frames a second, in
// whole microseconds, counting whole frames only; 0 for no frame size or rate.
qint64 durationUs(qint64 bytes, int bytesPerFrame, int rate);

struct PcmSound {
    PcmFormat format;
    QByteArray pcm; // whole frames only
    qint64 durationUs() const {
        return tapecalc::durationUs(pcm.size(), format.bytesPerFrame(), format.rate);
    }
};

// Reads a RIFF WAV holding integer PCM (8, 16, 24 or 32 bits) or 32-bit float, 1 to 8
// channels, 4 to 384 kHz. 24-bit samples come back widened to 32 bits, since audio
// devices do not take them. A data chunk that claims more bytes than the file holds is
// cut to what is there. Anything else, or a file without a single frame, gives nullopt.
std::optional<PcmSound> readWav(const QByteArray &bytes);

// Remixes and resamples (linearly) to `to`, which needs 1 to 8 channels and a rate of
// at least 1 Hz. Float samples beyond full scale are clipped to it.
PcmSound convertPcm(const PcmSound &sound, const PcmFormat &to);

} // namespace tapecalc
