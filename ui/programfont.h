// The program's own typeface: a subset of Noto Serif CJK SC built into the program, so
// the window and the report look the same on every machine.
#pragma once

#include <QFont>
#include <QString>

namespace tapecalc {

// The built-in face, as made by tools/make_font.sh, and the family name it gives itself.
inline const QString programFontFile = QStringLiteral(":/fonts/TapeCalcSerif-subset.otf");
inline const QString programFontFamily = QStringLiteral("TapeCalc Serif");

// Registers the built-in face with the font database, once. The first use of the font
// database reads every face the system has, which takes longer than building the whole
// window: the window registers it just before its first frame, when text is first drawn.
void registerProgramFont();

// The built-in face at the given size, normal weight; drawn in it once registered.
QFont programFont(double points);

} // namespace tapecalc
