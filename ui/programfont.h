// The program's own typeface: subsets of Noto Serif CJK SC built into the program, so the
// window and the report look the same on every machine, and the Chinese of a tape or a
// file name (GB2312) shows on one without a Chinese font.
#pragma once

#include <QFont>
#include <QString>

namespace tapecalc {

// The built-in faces, as made by tools/make_font.sh, and the family names they give
// themselves: the window's own words; and GB2312 with U+FFFD, which stands behind it.
inline const QString programFontFile = QStringLiteral(":/fonts/TapeCalcSerif-subset.otf");
inline const QString programFontFamily = QStringLiteral("TapeCalc Serif");
inline const QString chineseFontFile = QStringLiteral(":/fonts/TapeCalcSerifGB-subset.otf");
inline const QString chineseFontFamily = QStringLiteral("TapeCalc Serif GB");

// Registers the window's face with the font database, once. The first use of the font
// database reads every face the system has, which takes longer than building the whole
// window: the window registers it just before its first frame, when text is first drawn.
void registerProgramFont();

// Registers the GB2312 face, once, as the stand-in of the window's face: text laid out
// from then on draws what the window's face lacks from it, before any font of the
// system's. Its megabytes would cost the first frame 2 ms, and so would naming it as a
// family of the window's texts before it is there; nothing in that frame needs it: the
// window registers it right after.
void registerChineseFont();

// The built-in face at the given size, normal weight; drawn in it once registered.
QFont programFont(double points);

// The report's font: the program's own faces at 12 pt, registered.
QFont reportFont();

} // namespace tapecalc
