// Registering the built-in typeface.
#include "ui/programfont.h"

#include <QFontDatabase>
#include <QStringList>

namespace tapecalc {

void registerProgramFont() {
    static const bool registered = [] {
        if (QFontDatabase::applicationFontFamilies(
                QFontDatabase::addApplicationFont(programFontFile))
                .contains(programFontFamily))
            return true;
        // Without it (a broken build) the nearest face of the system stands in.
        QFont::insertSubstitution(programFontFamily, QStringLiteral("Noto Serif CJK SC"));
        return false;
    }();
    Q_UNUSED(registered);
}

QFont programFont(double points) {
    QFont font(programFontFamily);
    font.setPointSizeF(points);
    return font;
}

} // namespace tapecalc
