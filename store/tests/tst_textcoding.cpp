// Tape text to bytes and back: GBK where it holds the text, else UTF-8; a reader that
// takes either, with or without a byte order mark, and bytes of neither.
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
    // What GBK cannot hold makes the whole text UTF-8, never "?".
    QTest::newRow("korean, emoji and won sign") << QStringLiteral("5\r\n备注 한글 😀 ₩\r\n") << QStringLiteral("5\r\n备注 한글 😀 ₩\r\n").toUtf8();
    QTest::newRow("replacement character") << QString(QChar::ReplacementCharacter) << QString(QChar::ReplacementCharacter).toUtf8();
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

QTEST_GUILESS_MAIN(TestTextCoding)
#include "tst_textcoding.moc"
