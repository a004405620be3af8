// Tape text to bytes and back: GBK where it holds the text unmistakably, else UTF-8 behind
// a byte order mark; a reader that takes either, with or without the mark, and bytes of
// neither; and every character read back as it was written.
#include "store/tapefiles.h"
#include "store/tests/tapefixtures.h"

using namespace tapecalc;
using namespace tapecalc::tapetest;

class TestTextCoding : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void encode_data();
    void encode();
    void decode_data();
    void decode();
    void everyCharacterReadsBackAsWritten();
};

void TestTextCoding::encode_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    // clang-format off
    QTest::newRow("times") << QString(QChar(0x00D7)) << gbkTimes;
    QTest::newRow("divide") << QString(QChar(0x00F7)) << gbkDivide;
    QTest::newRow("digits and line ends") << "-1.5\r\n+\r\n" << QByteArray("-1.5\r\n+\r\n");
    QTest::newRow("chinese") << QStringLiteral("合计") << QByteArray("\xBA\xCF\xBC\xC6");
    QTest::newRow("empty") << QString() << QByteArray();
    // What GBK cannot hold, or holds only in bytes that read as other text, makes the
    // whole text UTF-8 behind a byte order mark, never "?".
    QTest::newRow("korean, emoji and won sign") << QStringLiteral("5\r\n备注 한글 😀 ₩\r\n") << utf8Bom + QStringLiteral("5\r\n备注 한글 😀 ₩\r\n").toUtf8();
    QTest::newRow("gbk that is valid utf-8") << QStringLiteral("3 说元") << utf8Bom + QStringLiteral("3 说元").toUtf8();
    QTest::newRow("gbk that starts like a byte order mark") << QStringLiteral("锘开") << utf8Bom + QStringLiteral("锘开").toUtf8();
    // clang-format on
}

void TestTextCoding::encode() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(encodeTapeText(text), bytes);
}

void TestTextCoding::decode_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QString times(QChar(0x00D7));
    const QString divide(QChar(0x00F7));
    // clang-format off
    QTest::newRow("gbk symbols") << "5\r\n" + gbkTimes + "\r\n" + gbkDivide << "5\r\n" + times + "\r\n" + divide;
    QTest::newRow("gbk chinese") << QByteArray("\xBA\xCF\xBC\xC6") << QStringLiteral("合计");
    QTest::newRow("utf-8 without bom") << "5\r\n" + utf8Times + utf8Divide << "5\r\n" + times + divide;
    QTest::newRow("utf-8 with bom") << utf8Bom + "3\r\n" + utf8Times << "3\r\n" + times;
    QTest::newRow("ascii") << QByteArray("12.5\r\n-\r\n") << "12.5\r\n-\r\n";
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("bom only") << utf8Bom << QString();
    QTest::newRow("gbk lead byte without its second byte") << QByteArray("\x81 7") << QString(QChar::ReplacementCharacter) + " 7";
    QTest::newRow("utf-8 cut off at the end falls back to gbk") << QByteArray("5\xC3") << "5" + QString(QChar::ReplacementCharacter);
    QTest::newRow("lone lead bytes keep the bytes after them") << QByteArray("\x81 \x81 7") << QString(QChar::ReplacementCharacter) + " " + QChar::ReplacementCharacter + " 7";
    QTest::newRow("gbk after a utf-8 bom") << utf8Bom + "\xBA\xCF\xBC\xC6\r\n5" << QStringLiteral("合计\r\n5");
    // clang-format on
}

void TestTextCoding::decode() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(decodeTapeText(bytes), text);
}

void TestTextCoding::everyCharacterReadsBackAsWritten() {
    const QStringList characters = everyCharacter();
    QVERIFY(characters.size() > 21000 + 30000);
    // Alone, in a row of a tape, and beside the character before it.
    QStringList wrong;
    for (qsizetype i = 1; i < characters.size(); ++i)
        for (const QString &text :
             {characters[i], "3 " + characters[i] + "\r\n+\r\n", characters[i] + characters[i - 1]})
            if (decodeTapeText(encodeTapeText(text)) != text)
                wrong << text;
    QVERIFY2(wrong.isEmpty(), qPrintable(QStringLiteral("%1 texts read back otherwise, as %2")
                                             .arg(wrong.size())
                                             .arg(wrong.mid(0, 5).join(QLatin1Char(' ')))));
}

QTEST_GUILESS_MAIN(TestTextCoding)
#include "tst_textcoding.moc"
