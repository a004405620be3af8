// GBK through Qt's converters where Qt has them, through code page 936 on Windows.
#include "store/textcoding.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <QStringDecoder>
#include <QStringEncoder>
#endif

namespace tapecalc::gbk {

#ifdef Q_OS_WIN

namespace {
constexpr UINT gbkCodePage = 936;
}

std::optional<QByteArray> encode(const QString &text) {
    if (text.isEmpty())
        return QByteArray();
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    const int length = static_cast<int>(text.size());
    // No best fit: a character GBK lacks must not turn into a look-alike.
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(gbkCodePage, WC_NO_BEST_FIT_CHARS, wide, length, nullptr,
                                         0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault)
        return std::nullopt;
    QByteArray bytes(size, Qt::Uninitialized);
    WideCharToMultiByte(gbkCodePage, WC_NO_BEST_FIT_CHARS, wide, length, bytes.data(), size,
                        nullptr, &usedDefault);
    if (usedDefault)
        return std::nullopt;
    return bytes;
}

// The bytes as code page 936 has them; nothing when some are no GBK.
static std::optional<QString> decodeStrict(const QByteArray &bytes,
                                           UINT flags = MB_ERR_INVALID_CHARS) {
    if (bytes.isEmpty())
        return QString();
    const int length = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(gbkCodePage, flags, bytes.constData(), length, nullptr, 0);
    if (size <= 0)
        return std::nullopt;
    QString text(size, Qt::Uninitialized);
    MultiByteToWideChar(gbkCodePage, flags, bytes.constData(), length,
                        reinterpret_cast<wchar_t *>(text.data()), size);
    return text;
}

static QString decodeRun(const QByteArray &bytes) {
    return decodeStrict(bytes, 0).value_or(QString());
}

#else

namespace {
constexpr char gbkName[] = "GBK";
}

std::optional<QByteArray> encode(const QString &text) {
    QStringEncoder encoder(gbkName);
    if (!encoder.isValid())
        return std::nullopt;
    QByteArray bytes = encoder.encode(text);
    // What GBK cannot hold comes back as something else: read back, it must be the text.
    QStringDecoder check(gbkName, QStringConverter::Flag::Stateless);
    if (encoder.hasError() || QString(check.decode(bytes)) != text)
        return std::nullopt;
    return bytes;
}

static std::optional<QString> decodeStrict(const QByteArray &bytes) {
    // Stateless: a sequence cut off at the end is an error, not pending input.
    QStringDecoder decoder(gbkName, QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        return std::nullopt;
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

static QString decodeRun(const QByteArray &bytes) {
    QStringDecoder decoder(gbkName, QStringConverter::Flag::Stateless);
    return decoder.isValid() ? QString(decoder.decode(bytes))
                             : QString(bytes.size(), QChar::ReplacementCharacter);
}

#endif

namespace {

bool isLeadByte(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}
bool isTrailByte(unsigned char b) {
    return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

} // namespace

QString decode(const QByteArray &bytes, bool *valid) {
    if (std::optional<QString> text = decodeStrict(bytes)) {
        if (valid)
            *valid = true;
        return *text;
    }
    if (valid)
        *valid = false;
    // Each byte that starts no GBK character becomes U+FFFD, and the runs between are
    // decoded as GBK: a lead byte takes the next one only when that one can follow it.
    // Both implementations replace the same bytes (each on its own would also swallow the
    // byte after a lone lead byte, or drop one at the end).
    QString text;
    qsizetype runStart = 0;
    const auto flush = [&](qsizetype end) {
        if (end > runStart)
            text += decodeRun(bytes.mid(runStart, end - runStart));
    };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes.at(i));
        if (b <= 0x80)
            continue; // ASCII, and 0x80 the euro sign
        if (isLeadByte(b) && i + 1 < bytes.size() &&
            isTrailByte(static_cast<unsigned char>(bytes.at(i + 1)))) {
            ++i;
            continue;
        }
        flush(i);
        text += QChar(QChar::ReplacementCharacter);
        runStart = i + 1;
    }
    flush(bytes.size());
    return text;
}

} // namespace tapecalc::gbk
