// WAV files' bytes made for the sound suites: chunks by hand (right or wrong on purpose)
// and tones in any layout.
#pragma once

#include "audio/wavreader.h"

#include <QByteArray>
#include <QtEndian>

#include <cmath>

namespace tapecalc::wavtest {

using tapecalc::PcmFormat;
using tapecalc::PcmSample;
using tapecalc::PcmSound;

inline void put16(QByteArray &b, quint16 v) {
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}
inline void put32(QByteArray &b, quint32 v) {
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}

inline QByteArray fmtChunk(quint16 tag, quint16 channels, quint32 rate, quint16 bits,
                           quint16 blockAlign = 0) {
    if (blockAlign == 0)
        blockAlign = quint16(channels * ((bits + 7) / 8));
    QByteArray c("fmt ");
    put32(c, 16);
    put16(c, tag);
    put16(c, channels);
    put32(c, rate);
    put32(c, rate * blockAlign);
    put16(c, blockAlign);
    put16(c, bits);
    return c;
}

inline QByteArray dataChunk(const QByteArray &samples, quint32 claimed = 0xFFFFFFFFu) {
    QByteArray c("data");
    put32(c, claimed == 0xFFFFFFFFu ? quint32(samples.size()) : claimed);
    c += samples;
    return c;
}

inline QByteArray riff(const QByteArray &chunks, const char *form = "WAVE") {
    QByteArray b("RIFF");
    put32(b, quint32(4 + chunks.size()));
    b += form;
    b += chunks;
    return b;
}

inline QByteArray toneSamples(int ms, double hz, double amplitude, int rate = 22050) {
    QByteArray s;
    const int frames = rate * ms / 1000;
    for (int i = 0; i < frames; ++i) {
        const double v = amplitude * std::sin(2.0 * M_PI * hz * i / rate);
        put16(s, quint16(qint16(std::lround(v * 32767.0))));
    }
    return s;
}

// A 16-bit mono 22050 Hz tone, the format of the shipped cues.
inline QByteArray toneWav(int ms, double hz = 440.0, double amplitude = 0.5) {
    return riff(fmtChunk(1, 1, 22050, 16) + dataChunk(toneSamples(ms, hz, amplitude)));
}

// A 400 ms tone in the given layout, as a WAV file's bytes.
inline QByteArray toneWavIn(const PcmFormat &format, int ms = 400, double hz = 440.0) {
    const PcmSound sound = tapecalc::convertPcm(*tapecalc::readWav(toneWav(ms, hz)), format);
    const quint16 tag = format.sample == PcmSample::Float ? 3 : 1;
    return riff(fmtChunk(tag, quint16(format.channels), quint32(format.rate),
                         quint16(format.bytesPerSample() * 8)) +
                dataChunk(sound.pcm));
}

} // namespace tapecalc::wavtest
