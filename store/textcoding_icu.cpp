// GBK through Qt's converters, which take it from ICU (the Linux and macOS builds of Qt).
#include "store/platform_p.h"
#include "store/textcoding.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace tapecalc::gbk {

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

std::optional<QString> decodeStrict(const QByteArray &bytes) {
    // Stateless: a sequence cut off at the end is an error, not pending input.
    QStringDecoder decoder(gbkName, QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        return std::nullopt;
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString decodeRun(const QByteArray &bytes) {
    QStringDecoder decoder(gbkName, QStringConverter::Flag::Stateless);
    return decoder.isValid() ? QString(decoder.decode(bytes))
                             : QString(bytes.size(), QChar::ReplacementCharacter);
}

} // namespace tapecalc::gbk
