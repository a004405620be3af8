// The WAV reader and the PCM converter: every layout the cues may come in, files damaged
// or lying about their sizes, and conversion between layouts.
#include "audio/tests/wavbytes.h"
#include "audio/wavreader.h"

#include <QTest>

#include <cstring>

using namespace tapecalc::wavtest;

class TestWavReader : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void readWav_data();
    void readWav();
    void readWav_widens24Bit();
    void convertPcm_remixesAndResamples();
};

void TestWavReader::readWav_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("frames");
    QTest::addColumn<int>("sampleFormat");

    const QByteArray s16 = toneSamples(100, 440, 0.5); // 2205 frames
    // clang-format off
    QTest::newRow("16-bit mono 22050") << toneWav(100) << true << qint64(2205) << int(PcmSample::Int16);
    QTest::newRow("8-bit stereo") << riff(fmtChunk(1, 2, 8000, 8) + dataChunk(QByteArray(100, 'x'))) << true << qint64(50) << int(PcmSample::UInt8);
    QTest::newRow("32-bit float") << riff(fmtChunk(3, 1, 48000, 32) + dataChunk(QByteArray(40, 0))) << true << qint64(10) << int(PcmSample::Float);
    QTest::newRow("32-bit integer") << riff(fmtChunk(1, 1, 48000, 32) + dataChunk(QByteArray(40, 0))) << true << qint64(10) << int(PcmSample::Int32);
    QTest::newRow("24-bit widened") << riff(fmtChunk(1, 1, 44100, 24) + dataChunk(QByteArray(30, 0))) << true << qint64(10) << int(PcmSample::Int32);
    {
        // WAVE_FORMAT_EXTENSIBLE with the PCM sub-format.
        QByteArray fmt("fmt ");
        put32(fmt, 40);
        put16(fmt, 0xFFFE);
        put16(fmt, 2);
        put32(fmt, 22050);
        put32(fmt, 22050 * 4);
        put16(fmt, 4);
        put16(fmt, 16);
        put16(fmt, 22);
        put16(fmt, 16);
        put32(fmt, 3);
        put16(fmt, 1);
        fmt += QByteArray::fromHex("000000001000800000aa00389b71");
        QTest::newRow("extensible PCM") << riff(fmt + dataChunk(QByteArray(40, 0))) << true << qint64(10) << int(PcmSample::Int16);
    }
    {
        // An odd-sized chunk is padded to an even length before the next one.
        QByteArray list("LIST");
        put32(list, 3);
        list += "abc";
        list += '\0';
        QTest::newRow("odd chunk before fmt") << riff(list + fmtChunk(1, 1, 22050, 16) + dataChunk(s16)) << true << qint64(2205) << int(PcmSample::Int16);
    }
    QTest::newRow("data before fmt") << riff(dataChunk(s16) + fmtChunk(1, 1, 22050, 16)) << true << qint64(2205) << int(PcmSample::Int16);
    QTest::newRow("data claims 2 GB, holds 100 ms") << riff(fmtChunk(1, 1, 22050, 16) + dataChunk(s16, 0x7FFFFFF0u)) << true << qint64(2205) << int(PcmSample::Int16);
    QTest::newRow("trailing half frame dropped") << riff(fmtChunk(1, 1, 22050, 16) + dataChunk(s16 + 'x')) << true << qint64(2205) << int(PcmSample::Int16);

    const int none = -1;
    QTest::newRow("empty") << QByteArray() << false << qint64(0) << none;
    QTest::newRow("random bytes") << QByteArray::fromHex("8f03a9e4c2d1007f5566aa01ff") << false << qint64(0) << none;
    QTest::newRow("RIFF but AVI") << riff(fmtChunk(1, 1, 22050, 16) + dataChunk(s16), "AVI ") << false << qint64(0) << none;
    QTest::newRow("no fmt") << riff(dataChunk(s16)) << false << qint64(0) << none;
    QTest::newRow("no data") << riff(fmtChunk(1, 1, 22050, 16)) << false << qint64(0) << none;
    QTest::newRow("zero frames") << riff(fmtChunk(1, 1, 22050, 16) + dataChunk({})) << false << qint64(0) << none;
    QTest::newRow("one byte of 16-bit data") << riff(fmtChunk(1, 1, 22050, 16) + dataChunk("x")) << false << qint64(0) << none;
    QTest::newRow("fmt cut short") << riff(fmtChunk(1, 1, 22050, 16).left(20)) << false << qint64(0) << none;
    QTest::newRow("header only, cut in data size") << riff(fmtChunk(1, 1, 22050, 16) + "data\x10") << false << qint64(0) << none;
    QTest::newRow("ADPCM") << riff(fmtChunk(2, 1, 22050, 4, 1) + dataChunk(s16)) << false << qint64(0) << none;
    QTest::newRow("12-bit") << riff(fmtChunk(1, 1, 22050, 12) + dataChunk(s16)) << false << qint64(0) << none;
    QTest::newRow("0 channels") << riff(fmtChunk(1, 0, 22050, 16, 2) + dataChunk(s16)) << false << qint64(0) << none;
    QTest::newRow("9 channels") << riff(fmtChunk(1, 9, 22050, 16) + dataChunk(s16)) << false << qint64(0) << none;
    QTest::newRow("rate 0") << riff(fmtChunk(1, 1, 0, 16) + dataChunk(s16)) << false << qint64(0) << none;
    QTest::newRow("rate 1 Hz") << riff(fmtChunk(1, 1, 1, 16) + dataChunk(s16)) << false << qint64(0) << none;
    QTest::newRow("block align disagrees") << riff(fmtChunk(1, 1, 22050, 16, 4) + dataChunk(s16)) << false << qint64(0) << none;
    // clang-format on
}

void TestWavReader::readWav() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QFETCH(qint64, frames);
    QFETCH(int, sampleFormat);

    const std::optional<PcmSound> sound = tapecalc::readWav(bytes);
    QCOMPARE(sound.has_value(), valid);
    if (!valid)
        return;
    QCOMPARE(int(sound->format.sample), sampleFormat);
    QCOMPARE(sound->pcm.size(), frames * sound->format.bytesPerFrame());
    QCOMPARE(sound->durationUs(), frames * 1000000 / sound->format.rate);
}

void TestWavReader::readWav_widens24Bit() {
    // -2 and +0x123456 as 24-bit little-endian samples.
    const QByteArray samples = QByteArray::fromHex("feffff563412");
    const auto sound = tapecalc::readWav(riff(fmtChunk(1, 1, 44100, 24) + dataChunk(samples)));
    QVERIFY(sound);
    QCOMPARE(sound->pcm.size(), 8);
    QCOMPARE(qFromLittleEndian<qint32>(sound->pcm.constData()), qint32(-2 * 256));
    QCOMPARE(qFromLittleEndian<qint32>(sound->pcm.constData() + 4), qint32(0x12345600));
}

void TestWavReader::convertPcm_remixesAndResamples() {
    // Stereo 22050 with the left channel at +0.5 and the right at -0.25 throughout.
    QByteArray stereo;
    for (int i = 0; i < 100; ++i) {
        put16(stereo, quint16(qint16(16384)));
        put16(stereo, quint16(qint16(-8192)));
    }
    const auto sound = tapecalc::readWav(riff(fmtChunk(1, 2, 22050, 16) + dataChunk(stereo)));
    QVERIFY(sound);

    const PcmSound mono = tapecalc::convertPcm(*sound, PcmFormat{PcmSample::Float, 44100, 1});
    QCOMPARE(mono.pcm.size(), qsizetype(200 * sizeof(float)));
    for (int i = 0; i < 200; ++i) {
        float v;
        std::memcpy(&v, mono.pcm.constData() + i * 4, 4);
        QVERIFY2(std::abs(v - 0.125f) < 1e-3f, qPrintable(QString::number(v)));
    }

    const PcmSound down = tapecalc::convertPcm(*sound, PcmFormat{PcmSample::UInt8, 11025, 2});
    QCOMPARE(down.pcm.size(), 100);
    QCOMPARE(quint8(down.pcm[0]), quint8(128 + 64));
    QCOMPARE(quint8(down.pcm[1]), quint8(128 - 32));
}

QTEST_APPLESS_MAIN(TestWavReader)
#include "tst_wavreader.moc"
