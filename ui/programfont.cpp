// Registering the built-in typeface.
#include "ui/programfont.h"

#include <QFontDatabase>
#include <QStringList>

namespace tapecalc {

QString programFontFamily() {
    static const QString family = [] {
        const QStringList families = QFontDatabase::applicationFontFamilies(
            QFontDatabase::addApplicationFont(programFontFile));
        // Without it (a broken build) the font database picks a substitute.
        return families.isEmpty() ? QStringLiteral("Noto Serif CJK SC") : families.first();
    }();
    return family;
}

QFont programFont(double points) {
    QFont font(programFontFamily());
    font.setPointSizeF(points);
    return font;
}

} // namespace tapecalc
