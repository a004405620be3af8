// Fuzzes the cue files' reader and the converter a device with another format gets:
// whatever the bytes, the reader gives whole frames of a format it promises, and the
// converter gives the frame count the rates call for, with every sample in full scale.
#include "audio/wavreader.h"
#include "fuzz/check.h"

#include <QByteArray>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace tapecalc;

namespace {

void checkSamples(const PcmSound &sound) {
    if (sound.format.sample != PcmSample::Float)
        return; // every bit pattern of an integer sample is a sample
    for (qsizetype at = 0; at + 4 <= sound.pcm.size(); at += 4) {
        float v;
        std::memcpy(&v, sound.pcm.constData() + at, sizeof v);
        FUZZ_CHECK(v >= -1.0f && v <= 1.0f); // also false for NaN
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::optional<PcmSound> sound = readWav(bytes);
    if (!sound)
        return 0;
    const PcmFormat &format = sound->format;
    FUZZ_CHECK(format.channels >= 1 && format.channels <= 8);
    FUZZ_CHECK(format.rate >= 4000 && format.rate <= 384000);
    FUZZ_CHECK(!sound->pcm.isEmpty() && sound->pcm.size() % format.bytesPerFrame() == 0);
    // 24-bit samples widen by a third; nothing else grows.
    FUZZ_CHECK(sound->pcm.size() <= bytes.size() * 4 / 3);

    // Device formats as they come: the common ones and an unusual one.
    constexpr std::array<PcmFormat, 4> targets{{
        {PcmSample::Float, 48000, 2},
        {PcmSample::Int16, 44100, 1},
        {PcmSample::UInt8, 8000, 1},
        {PcmSample::Int32, 96000, 8},
    }};
    const PcmFormat &to = targets[size % targets.size()];
    const PcmSound converted = convertPcm(*sound, to);
    const qint64 inFrames = sound->pcm.size() / format.bytesPerFrame();
    const qint64 outFrames =
        std::max<qint64>(1, (inFrames * to.rate + format.rate - 1) / format.rate);
    FUZZ_CHECK(converted.format == to);
    FUZZ_CHECK(converted.pcm.size() == outFrames * to.bytesPerFrame());
    checkSamples(converted);
    return 0;
}
