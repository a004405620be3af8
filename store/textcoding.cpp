// Reading GBK that may hold bytes of no GBK, the same on every platform; the converters
// themselves are in textcoding_icu.cpp and textcoding_win.cpp.
#include "store/textcoding.h"

#include "store/platform_p.h"

namespace tapecalc::gbk {

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
