// GBK through Windows' code page 936: Qt builds for Windows leave out ICU, and with it
// Qt's GBK.
#include "store/platform_p.h"
#include "store/textcoding.h"

#include <windows.h>

namespace tapecalc::gbk {

namespace {

constexpr UINT gbkCodePage = 936;

// The bytes as code page 936 has them; nothing when the system refuses them (with
// MB_ERR_INVALID_CHARS, when some are no GBK).
std::optional<QString> decodeCodePage(const QByteArray &bytes, UINT flags) {
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

} // namespace

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

std::optional<QString> decodeStrict(const QByteArray &bytes) {
    return decodeCodePage(bytes, MB_ERR_INVALID_CHARS);
}

QString decodeRun(const QByteArray &bytes) {
    return decodeCodePage(bytes, 0).value_or(QString());
}

} // namespace tapecalc::gbk
