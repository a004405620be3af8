// The tape files' Chinese code page, GBK (Windows' code page 936), both ways. Qt knows
// GBK through ICU, which Qt builds for Windows leave out: there Windows' own code page 936
// does the work. Both give the same text for the same bytes a tape holds.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace tapecalc::gbk {

// The GBK bytes of `text`, or nothing when GBK cannot hold every one of its characters.
std::optional<QByteArray> encode(const QString &text);

// The text of GBK bytes. Bytes that are no GBK come back as U+FFFD, and `valid` (when
// given) says whether there were any.
QString decode(const QByteArray &bytes, bool *valid = nullptr);

} // namespace tapecalc::gbk
