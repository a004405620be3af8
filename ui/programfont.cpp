// Registering the built-in typeface.
#include "ui/programfont.h"

#include <QFontDatabase>
#include <QResource>

namespace tapecalc {

namespace {

bool registerFace(const QString &file, const QString &family) {
    // Read in place from the program's image rather than copied: of a face's megabytes
    // the window draws a few glyphs.
    const QResource face(file);
    const QByteArray data =
        face.compressionAlgorithm() == QResource::NoCompression
            ? QByteArray::fromRawData(reinterpret_cast<const char *>(face.data()), face.size())
            : face.uncompressedData();
    return QFontDatabase::applicationFontFamilies(QFontDatabase::addApplicationFontFromData(data))
        .contains(family);
}

} // namespace

void registerProgramFont() {
    static const bool registered = [] {
        if (registerFace(programFontFile, programFontFamily))
            return true;
        // Without it (a broken build) the nearest face of the system stands in.
        QFont::insertSubstitution(programFontFamily, QStringLiteral("Noto Serif CJK SC"));
        return false;
    }();
    Q_UNUSED(registered);
}

void registerChineseFont() {
    static const bool registered = [] {
        // Registering empties the font caches, so the next text takes the stand-in up.
        // Without it the system's fonts stand in, as they do for what it lacks.
        if (!registerFace(chineseFontFile, chineseFontFamily))
            return false;
        QFont::insertSubstitution(programFontFamily, chineseFontFamily);
        return true;
    }();
    Q_UNUSED(registered);
}

QFont reportFont() {
    // The program's own faces hold every character a report prints (the second a tape's
    // Chinese); the pieces stand on a grid of its digit width, so it need not be
    // fixed-pitch.
    registerProgramFont();
    registerChineseFont();
    return programFont(12.0);
}

QFont programFont(double points) {
    QFont font(programFontFamily);
    font.setPointSizeF(points);
    return font;
}

} // namespace tapecalc
