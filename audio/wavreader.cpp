// The WAV reader and the PCM converter behind the cue player.
#include "audio/wavreader.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tapecalc {

namespace {

quint16 le16(const char *p) {
    return qFromLittleEndian<quint16>(p);
}
quint32 le32(const char *p) {
    return qFromLittleEndian<quint32>(p);
}

float sampleAt(const char *p, PcmSample format) {
    switch (format) {
    case PcmSample::UInt8:
        return (static_cast<float>(static_cast<quint8>(*p)) - 128.0f) / 128.0f;
    case PcmSample::Int16:
        return static_cast<float>(qFromLittleEndian<qint16>(p)) / 32768.0f;
    case PcmSample::Int32:
        return static_cast<float>(static_cast<double>(qFromLittleEndian<qint32>(p)) / 2147483648.0);
    case PcmSample::Float: {
        float v;
        std::memcpy(&v, p, sizeof v);
        return std::isfinite(v) ? v : 0.0f;
    }
    }
    return 0.0f;
}

void putSample(char *p, float v, PcmSample format) {
    v = std::clamp(v, -1.0f, 1.0f);
    switch (format) {
    case PcmSample::UInt8:
        *p = static_cast<char>(static_cast<quint8>(std::lround(v * 127.0f) + 128));
        break;
    case PcmSample::Int16:
        qToLittleEndian<qint16>(static_cast<qint16>(std::lround(v * 32767.0f)), p);
        break;
    case PcmSample::Int32:
        qToLittleEndian<qint32>(static_cast<qint32>(std::llround(double(v) * 2147483647.0)), p);
        break;
    case PcmSample::Float:
        std::memcpy(p, &v, sizeof v);
        break;
    }
}

} // namespace

qint64 durationUs(qint64 bytes, int bytesPerFrame, int rate) {
    if (bytesPerFrame <= 0 || rate <= 0)
        return 0;
    return bytes / bytesPerFrame * 1000000 / rate;
}

namespace {

// What the chunks of a RIFF WAV say: the "fmt " chunk's fields and the data chunk's bytes.
struct WavChunks {
    bool haveFormat = false;
    quint16 tag = 0, channels = 0, blockAlign = 0, bits = 0;
    quint32 rate = 0;
    const char *data = nullptr;
    qint64 dataBytes = 0;
};

// Walks the chunks. The RIFF size field is often wrong in files written by streaming
// tools, so the chunks are walked up to the real end of the bytes instead; a chunk that
// claims more than is there is cut to what is.
std::optional<WavChunks> walkChunks(const QByteArray &bytes) {
    const char *base = bytes.constData();
    const qint64 size = bytes.size();
    if (size < 12 || std::memcmp(base, "RIFF", 4) != 0 || std::memcmp(base + 8, "WAVE", 4) != 0)
        return std::nullopt;
    WavChunks found;
    qint64 pos = 12;
    while (pos + 8 <= size) {
        const char *chunk = base + pos;
        const qint64 claimed = le32(chunk + 4);
        const qint64 body = std::min(claimed, size - pos - 8);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && body >= 16) {
            found.tag = le16(chunk + 8);
            found.channels = le16(chunk + 10);
            found.rate = le32(chunk + 12);
            found.blockAlign = le16(chunk + 20);
            found.bits = le16(chunk + 22);
            // WAVE_FORMAT_EXTENSIBLE keeps the real format in the first two bytes of its
            // sub-format GUID.
            if (found.tag == 0xFFFE && body >= 40)
                found.tag = le16(chunk + 32);
            found.haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0 && !found.data) {
            found.data = chunk + 8;
            found.dataBytes = body;
        }
        pos += 8 + claimed + (claimed & 1);
    }
    if (!found.haveFormat || !found.data)
        return std::nullopt;
    return found;
}

// The sample format of a "fmt " chunk this reader takes, with a frame size that matches.
std::optional<PcmSample> sampleFormatOf(const WavChunks &wav) {
    if (wav.channels < 1 || wav.channels > 8 || wav.rate < 4000 || wav.rate > 384000)
        return std::nullopt;
    if (wav.blockAlign != wav.channels * ((wav.bits + 7) / 8))
        return std::nullopt;
    if (wav.tag == 1 && wav.bits == 8)
        return PcmSample::UInt8;
    if (wav.tag == 1 && wav.bits == 16)
        return PcmSample::Int16;
    if (wav.tag == 1 && (wav.bits == 24 || wav.bits == 32))
        return PcmSample::Int32;
    if (wav.tag == 3 && wav.bits == 32)
        return PcmSample::Float;
    return std::nullopt;
}

// 24-bit samples as the 32-bit ones devices take: each in the top three bytes.
QByteArray widened24(const char *data, qint64 samples) {
    QByteArray pcm(samples * 4, Qt::Uninitialized);
    for (qint64 i = 0; i < samples; ++i) {
        const auto *s = reinterpret_cast<const uchar *>(data + i * 3);
        const quint32 widened =
            (quint32(s[0]) << 8) | (quint32(s[1]) << 16) | (quint32(s[2]) << 24);
        qToLittleEndian<quint32>(widened, pcm.data() + i * 4);
    }
    return pcm;
}

} // namespace

std::optional<PcmSound> readWav(const QByteArray &bytes) {
    const std::optional<WavChunks> wav = walkChunks(bytes);
    if (!wav)
        return std::nullopt;
    const std::optional<PcmSample> sample = sampleFormatOf(*wav);
    if (!sample)
        return std::nullopt;
    const qint64 frames = wav->dataBytes / wav->blockAlign;
    if (frames == 0)
        return std::nullopt;
    PcmSound sound;
    sound.format = {*sample, static_cast<int>(wav->rate), wav->channels};
    sound.pcm = wav->bits == 24 ? widened24(wav->data, frames * wav->channels)
                                : QByteArray(wav->data, frames * wav->blockAlign);
    return sound;
}

PcmSound convertPcm(const PcmSound &sound, const PcmFormat &to) {
    const PcmFormat &from = sound.format;
    const int inChannels = from.channels;
    const int outChannels = to.channels;
    const int inBytes = from.bytesPerSample();
    const int outBytes = to.bytesPerSample();
    const qint64 inFrames = sound.pcm.size() / from.bytesPerFrame();
    const qint64 outFrames = std::max<qint64>(1, (inFrames * to.rate + from.rate - 1) / from.rate);

    auto frameValue = [&](qint64 frame, int channel) {
        const char *p = sound.pcm.constData() + frame * from.bytesPerFrame();
        if (inChannels == 1)
            return sampleAt(p, from.sample);
        if (outChannels == 1) {
            float sum = 0.0f;
            for (int c = 0; c < inChannels; ++c)
                sum += sampleAt(p + c * inBytes, from.sample);
            return sum / static_cast<float>(inChannels);
        }
        return sampleAt(p + std::min(channel, inChannels - 1) * inBytes, from.sample);
    };

    PcmSound out;
    out.format = to;
    out.pcm.resize(outFrames * to.bytesPerFrame());
    const double step = double(from.rate) / double(to.rate);
    for (qint64 f = 0; f < outFrames; ++f) {
        const double at = double(f) * step;
        const qint64 i = std::min<qint64>(static_cast<qint64>(at), inFrames - 1);
        const qint64 j = std::min<qint64>(i + 1, inFrames - 1);
        const float t = static_cast<float>(at - double(i));
        char *p = out.pcm.data() + f * to.bytesPerFrame();
        for (int c = 0; c < outChannels; ++c) {
            const float v = frameValue(i, c) * (1.0f - t) + frameValue(j, c) * t;
            putSample(p + c * outBytes, v, to.sample);
        }
    }
    return out;
}

} // namespace tapecalc
