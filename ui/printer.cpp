// Printing text lines on the system's default printer with QPainter.
#include "ui/printer.h"

#include "ui/programfont.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace tapecalc {

QFont reportFont() {
    QFont font;
    // The first family the system has wins; all of them carry Chinese glyphs, so the
    // summary's 合计 and 共计 do not fall back to a proportional face.
    font.setFamilies({programFontFamily(), QStringLiteral("Noto Sans Mono CJK SC"),
                      QStringLiteral("NSimSun"), QStringLiteral("SimSun"),
                      QStringLiteral("MS Gothic"), QStringLiteral("Osaka-Mono"),
                      QStringLiteral("monospace")});
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPointSizeF(12.0);
    return font;
}

bool printLines(const QStringList &lines) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return false;
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("TapeCalc"));

    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    // Points become device pixels through the printer's resolution.
    const QFont font(reportFont(), &printer);
    painter.setFont(font);
    const QFontMetricsF metrics(font, &printer);
    const qreal pageHeight = printer.pageLayout().paintRectPixels(printer.resolution()).height();

    qreal top = 0;
    for (const QString &line : lines) {
        if (top > 0 && top + metrics.height() > pageHeight) {
            if (!printer.newPage()) {
                painter.end();
                return false;
            }
            top = 0;
        }
        painter.drawText(QPointF(0, top + metrics.ascent()), line);
        top += metrics.lineSpacing();
    }
    const bool ended = painter.end();
    return ended && printer.printerState() != QPrinter::Error &&
           printer.printerState() != QPrinter::Aborted;
}

} // namespace tapecalc
