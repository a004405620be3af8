// GBK through Qt's converters where Qt has them, through code page 936 on Windows.
#include "store/textcoding.h"

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
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

QString decode(const QByteArray &bytes, bool *valid) {
    if (valid)
        *valid = true;
    if (bytes.isEmpty())
        return {};
    const int length = static_cast<int>(bytes.size());
    int size = MultiByteToWideChar(gbkCodePage, MB_ERR_INVALID_CHARS, bytes.constData(), length,
                                   nullptr, 0);
    DWORD flags = MB_ERR_INVALID_CHARS;
    if (size <= 0) {
        // Some bytes are no GBK: decoded again, with U+FFFD for them.
        if (valid)
            *valid = false;
        flags = 0;
        size = MultiByteToWideChar(gbkCodePage, 0, bytes.constData(), length, nullptr, 0);
    }
    QString text(size, Qt::Uninitialized);
    MultiByteToWideChar(gbkCodePage, flags, bytes.constData(), length,
                        reinterpret_cast<wchar_t *>(text.data()), size);
    return text;
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

QString decode(const QByteArray &bytes, bool *valid) {
    // Stateless: a sequence cut off at the end is an error, not pending input.
    QStringDecoder decoder(gbkName, QStringConverter::Flag::Stateless);
    if (!decoder.isValid()) {
        if (valid)
            *valid = false;
        return QString(bytes.size(), QChar::ReplacementCharacter);
    }
    QString text = decoder.decode(bytes);
    if (valid)
        *valid = !decoder.hasError();
    return text;
}

#endif

} // namespace tapecalc::gbk
