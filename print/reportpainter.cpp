// The report drawn on a page (a printer's or a PDF's): pieces at their columns on a grid of
// the font's digit width, whatever width the font gives "×" or "÷"; and the report as a
// PDF file, named only once it is whole and on the disk.
#include "print/reportpainter.h"

#include "store/durablefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QHash>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>

namespace tapecalc {

namespace {

// Draws a piece of the report from its column's x. The report counts an operator symbol
// and the space after it as one column each, but a CJK face draws "×" and "÷" about twice
// as wide as a digit and "+", "-" and the space narrower: each takes exactly one cell of
// the digit width ("×" and "÷" narrowed to it), so the entry after it starts where the
// report counts it. Everything else keeps its own width, so "4.5" stays one word.
class GridPen {
  public:
    GridPen(QPainter &painter, const QFontMetricsF &metrics)
        : m_painter(painter), m_metrics(metrics),
          m_cell(metrics.horizontalAdvance(QLatin1Char('0'))) {}

    qreal cell() const { return m_cell; }

    // How far draw() goes with `text`.
    qreal advance(const QString &text) {
        qreal x = 0;
        for (const QChar c : text)
            x += takesOneCell(c) ? m_cell : width(c);
        return x;
    }

    void draw(QPointF origin, const QString &text) {
        qreal x = origin.x();
        QString stretch; // characters in their own width, drawn in one call
        qreal stretchX = x;
        for (const QChar c : text) {
            if (!takesOneCell(c)) {
                if (stretch.isEmpty())
                    stretchX = x;
                stretch += c;
                x += width(c);
                continue;
            }
            flush(stretch, QPointF(stretchX, origin.y()));
            const qreal natural = width(c);
            if (c != QLatin1Char(' ')) {
                m_painter.save();
                m_painter.translate(x, origin.y());
                if (natural > m_cell)
                    m_painter.scale(m_cell / natural, 1);
                m_painter.drawText(QPointF(0, 0), QString(c));
                m_painter.restore();
            }
            x += m_cell;
        }
        flush(stretch, QPointF(stretchX, origin.y()));
    }

  private:
    static bool takesOneCell(QChar c) { return QStringView(u" +-\u00D7\u00F7").contains(c); }

    void flush(QString &stretch, QPointF at) {
        if (!stretch.isEmpty())
            m_painter.drawText(at, stretch);
        stretch.clear();
    }

    // A long report repeats the same few characters; measuring each once keeps it quick.
    qreal width(QChar character) {
        const auto found = m_widths.constFind(character);
        if (found != m_widths.constEnd())
            return *found;
        const qreal measured = m_metrics.horizontalAdvance(character);
        m_widths.insert(character, measured);
        return measured;
    }

    QPainter &m_painter;
    const QFontMetricsF &m_metrics;
    const qreal m_cell;
    QHash<QChar, qreal> m_widths;
};

} // namespace

bool paintReport(QPagedPaintDevice &device, const std::vector<ReportLine> &lines,
                 const QFont &face) {
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    // Points become device pixels through the device's resolution.
    const QFont font(face, &device);
    painter.setFont(font);
    const QFontMetricsF metrics(font, &device);
    GridPen pen(painter, metrics);
    // A page narrower than the report (A4 inside its margins holds about 80 digits at
    // 12 pt; the rule is 86) gets all of it a little smaller, every column where it was.
    // Only the eight columns of twelve count: an entry far longer than its column runs
    // off the page rather than shrinking the whole report to dust.
    constexpr int gridCells = 8 * 12;
    qreal widest = 0;
    for (const ReportLine &line : lines)
        for (const ReportPiece &piece : line)
            widest = std::max(widest, double(piece.column) * pen.cell() +
                                          pen.advance(QString::fromStdString(piece.text)));
    widest = std::min(widest, gridCells * pen.cell());
    const QRectF paper = device.pageLayout().paintRectPixels(device.logicalDpiX());
    const qreal scale = widest > paper.width() ? paper.width() / widest : 1.0;
    painter.scale(scale, scale);
    const qreal pageHeight = paper.height() / scale;

    qreal top = 0;
    for (const ReportLine &line : lines) {
        if (top > 0 && top + metrics.height() > pageHeight) {
            if (!device.newPage()) {
                painter.end();
                return false;
            }
            top = 0;
        }
        for (const ReportPiece &piece : line)
            pen.draw(QPointF(double(piece.column) * pen.cell(), top + metrics.ascent()),
                     QString::fromStdString(piece.text));
        top += metrics.lineSpacing();
    }
    return painter.end();
}

void keepInsidePrintableArea(QPagedPaintDevice &device) {
    // In whole points, rounded up: a PDF keeps its margins in points.
    const qreal least = std::ceil(10.0 / 25.4 * 72.0);
    const QMarginsF given = device.pageLayout().margins(QPageLayout::Point);
    const QMarginsF kept(std::max(given.left(), least), std::max(given.top(), least),
                         std::max(given.right(), least), std::max(given.bottom(), least));
    device.setPageMargins(kept, QPageLayout::Point);
}

namespace {

// A PDF Qt finished: begins as one and ends with the trailer Qt writes last. The
// painter does not report a write the disk refused (full, over quota, over the size
// limit), so only the file shows one.
bool wholePdf(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.read(5).startsWith("%PDF-"))
        return false;
    constexpr qint64 tail = 32;
    return file.seek(std::max<qint64>(0, file.size() - tail)) &&
           file.read(tail).trimmed().endsWith("%%EOF");
}

} // namespace

QString writeReportPdf(const std::vector<ReportLine> &lines, const QFont &font,
                       const QString &folder, const QString &name) {
    if (!durable::makeFolders(folder))
        return {};
    // Written into an empty file under a temporary name of the tape saves' pattern, made
    // with the permissions a new tape gets, so a PDF name only ever holds a whole file and
    // the next start removes what a killed print left.
    const durable::Temporary reserved = durable::writeTemporary(folder, {});
    if (!reserved)
        return {};
    const QString &partial = reserved.path();
    bool painted = false;
    {
        // Qt's own PDF writer, which asks the print system nothing (QPrinter would look
        // up the default printer first). It closes the file when it goes; Windows names
        // no file still open.
        QPdfWriter writer(partial);
        writer.setTitle(QFileInfo(name).completeBaseName());
        writer.setCreator(QStringLiteral("TapeCalc"));
        keepInsidePrintableArea(writer);
        painted = paintReport(writer, lines, font);
    }
    if (!painted || !wholePdf(partial) || !durable::syncFile(partial)) {
        QFile::remove(partial);
        return {};
    }
    return durable::placeUnderFreeName(reserved, folder, name);
}

} // namespace tapecalc
