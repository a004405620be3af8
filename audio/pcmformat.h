// The sample layouts a cue can have: what the WAV reader gives and what the sound
// outputs take. Plain C++, so that a system's own output file needs no Qt.
#pragma once

namespace tapecalc {

enum class PcmSample { UInt8, Int16, Int32, Float };

struct PcmFormat {
    PcmSample sample = PcmSample::Int16;
    int rate = 0;
    int channels = 0;

    int bytesPerSample() const {
        return sample == PcmSample::UInt8 ? 1 : sample == PcmSample::Int16 ? 2 : 4;
    }
    int bytesPerFrame() const { return bytesPerSample() * channels; }
    friend bool operator==(const PcmFormat &, const PcmFormat &) = default;
};

} // namespace tapecalc
