// The program's own typeface: a subset of Noto Serif CJK SC built into the program, so
// the window and the report look the same on every machine.
#pragma once

#include <QFont>
#include <QString>

namespace tapecalc {

// The built-in face, as made by tools/make_font.sh.
inline const QString programFontFile = QStringLiteral(":/fonts/TapeCalcSerif-subset.otf");

// Registers the built-in face with the font database on first use; its family name.
QString programFontFamily();

// The built-in face at the given size, normal weight.
QFont programFont(double points);

} // namespace tapecalc
