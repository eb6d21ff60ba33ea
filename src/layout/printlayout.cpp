#include "layout/printlayout.h"

#include "art/fontfaces.h"
#include "base/numparse.h"
#include "base/options.h"

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <memory>

namespace tessilor {

PageLimits previewLimits(double pageWidth, double pageHeight)
{
    return {float(pageWidth) / kPreviewDivisor, float(pageHeight) / kPreviewDivisor};
}

PageLimits printLimits(double pageWidth, double pageHeight)
{
    return {float(pageWidth) / kPrintDivisor, float(pageHeight) / kPrintDivisor};
}

QMarginsF designMarginsMm()
{
    return QMarginsF(30, 20, 15, 20);
}

QPageLayout resultPageLayout(const QPageSize &paper, const QMarginsF &marginsMm)
{
    return QPageLayout(paper, QPageLayout::Portrait, marginsMm, QPageLayout::Millimeter);
}

static constexpr double kTwipsPerMm = 1440.0 / 25.4;

QSizeF paperTwips(const QPageLayout &page)
{
    // Millimetres keep the exact size of metric paper (points are rounded).
    const QRectF r = page.fullRect(QPageLayout::Millimeter);
    return {r.width() * kTwipsPerMm, r.height() * kTwipsPerMm};
}

QRectF artRectTwips(const QPageLayout &page)
{
    const QSizeF paper = paperTwips(page);
    const QMarginsF m = page.margins(QPageLayout::Millimeter) * kTwipsPerMm;
    return QRectF(m.left(), m.top(), std::max(0.0, paper.width() - m.left() - m.right()),
                  std::max(0.0, paper.height() - m.top() - m.bottom()));
}

double fitFontSize(double startSize, const MeasureFn &measure, qint64 columns, qint64 rows, PageLimits limits)
{
    // Without a page or a grid there is nothing to fit against.
    if (!(limits.width > 0) || !(limits.height > 0) || columns <= 0 || rows <= 0 || !measure)
        return startSize;
    double size = startSize;
    QSizeF cell = measure(size);
    for (int pass = 0; pass < 3; ++pass) {
        const double w = cell.width() * double(columns);
        const double h = cell.height() * double(rows);
        if (w > limits.width || h > limits.height) {
            // The larger overflow decides. Giving the width precedence
            // whenever it overflows lets a width that stays a hair over the
            // limit (hinted advances do not scale exactly) take every pass,
            // and the height is then never corrected.
            const double f = std::max(w / limits.width, h / limits.height);
            size = size / f;
            cell = measure(size);
        }
    }
    return size;
}

PreviewBox previewBox(PageLimits page, double frameWidth, double frameHeight)
{
    PreviewBox box;
    const float side = float(kPreviewSide);
    float w = side;
    float h = side;
    if (page.width > page.height && page.height > 0) {
        h = side / (page.width / page.height);
    } else if (page.width < page.height && page.width > 0) {
        w = side / (page.height / page.width);
    }
    box.width = w;
    box.height = h;
    box.top = frameHeight / 2 - box.height / 2 + 75;
    box.left = frameWidth / 2 - box.width / 2;
    return box;
}

double previewSurfaceDpi(PageLimits page, qint64 columns, qint64 rows, qint64 maxPixels)
{
    return previewSurfaceDpi(page, page, columns, rows, maxPixels);
}

double previewSurfaceDpi(PageLimits surface, PageLimits art, qint64 columns, qint64 rows, qint64 maxPixels)
{
    if (!(surface.width > 0) || !(surface.height > 0))
        return kScreenDpi;
    double dpi = kScreenDpi;
    if (columns > 0 && rows > 0 && art.width > 0 && art.height > 0) {
        const double cell = std::min(double(art.width) / double(columns), double(art.height) / double(rows));
        dpi = std::max(dpi, kPreviewCellPixels * 1440.0 / cell);
    }
    const double area = double(surface.width) * double(surface.height) / (1440.0 * 1440.0); // square inches
    if (maxPixels > 0)
        dpi = std::min(dpi, std::sqrt(double(maxPixels) / area));
    return std::max(dpi, 1.0);
}

int previewDotsPerMeter(double dpi)
{
    return std::max(1, int(std::lround(dpi / 0.0254)));
}

int surfacePixels(double twips, double dpi)
{
    return std::clamp(twipsToPixels(twips, dpi), 1, 1000000000);
}

qint16 copiesSpinValue(const QString &text)
{
    const qint16 n = roundHalfEvenTo16(leadingNumber(text));
    return std::clamp<qint16>(n, 1, kMaxCopies);
}

int copiesToPrint(const QString &text)
{
    const double count = leadingNumber(text);
    if (!(count >= 1))
        return 0;
    // The field holds two characters at most; the cap only guards callers
    // that pass a longer text.
    return int(std::min(std::floor(count), double(kMaxCopies)));
}

QPointF figureCellPosition(int x, int y, double cellWidth, double cellHeight)
{
    return {double(x - 1) * cellWidth, double(y - 1) * cellHeight};
}

quint32 colorFromLine(const QByteArray &line)
{
    const qint32 v = roundHalfEvenTo32(leadingNumber(QString::fromLatin1(line)));
    return quint32(std::clamp<qint32>(v, 0, 0xFFFFFF));
}

bool backgroundFromLine(const QByteArray &line, quint32 *background)
{
    const QList<QByteArray> parts = line.simplified().split(' ');
    if (parts.size() < 2)
        return false;
    bool ok = false;
    const qint64 v = parts[1].toLongLong(&ok);
    if (!ok)
        return false;
    *background = quint32(std::clamp<qint64>(v, 0, 0xFFFFFF));
    return true;
}

static double twipsPerUnit(int dpi)
{
    return dpi > 0 ? double(kTwipsPerInch) / dpi : double(kTwipsPerPixel);
}

static double twipsPerUnit(const QPaintDevice *device, bool x)
{
    return device ? twipsPerUnit(x ? device->logicalDpiX() : device->logicalDpiY()) : double(kTwipsPerPixel);
}

double deviceTwipsPerUnitX(const QPainter &painter)
{
    return twipsPerUnit(painter.device(), true);
}

double deviceTwipsPerUnitY(const QPainter &painter)
{
    return twipsPerUnit(painter.device(), false);
}

void moveToArt(QPainter &painter, const QRectF &artTwips)
{
    painter.translate(artTwips.left() / deviceTwipsPerUnitX(painter), artTwips.top() / deviceTwipsPerUnitY(painter));
}

static QColor colorOf(quint32 c)
{
    return QColor(redOf(c) & 255, greenOf(c) & 255, blueOf(c) & 255);
}

static QByteArray chopLineEnd(QByteArray line)
{
    while (!line.isEmpty() && (line.endsWith('\n') || line.endsWith('\r')))
        line.chop(1);
    return line;
}

// A file of the result, or its contents when the source carries them; null
// when the file cannot be read.
static std::unique_ptr<QIODevice> openPart(const QString &path, const QByteArray &data)
{
    std::unique_ptr<QIODevice> device;
    if (!data.isNull()) {
        auto buffer = std::make_unique<QBuffer>();
        buffer->setData(data);
        device = std::move(buffer);
    } else {
        if (path.isEmpty())
            return nullptr;
        device = std::make_unique<QFile>(path);
    }
    if (!device->open(QIODevice::ReadOnly))
        return nullptr;
    return device;
}

// A line of a text result with every character in its own colour, read
// from the colour file, with its baseline at baseline. One layout for the
// line, its runs of one colour as formats, so that the characters stand
// where a line of one colour puts them.
static void drawColoredLine(QPainter &painter, const QFont &font, const QString &line, QIODevice &colors,
                            double baseline)
{
    if (line.isEmpty())
        return;
    QList<QTextLayout::FormatRange> ranges;
    quint32 last = 0;
    for (int i = 0; i < line.size(); ++i) {
        const QByteArray entry = colors.readLine();
        const quint32 c = entry.isEmpty() ? last : colorFromLine(entry);
        if (i == 0 || c != last) {
            QTextLayout::FormatRange range;
            range.start = i;
            range.length = 0;
            range.format.setForeground(colorOf(c));
            ranges.append(range);
            last = c;
        }
        ++ranges.last().length;
    }
    QTextLayout layout(line, font, painter.device());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.setFormats(ranges);
    layout.beginLayout();
    QTextLine textLine = layout.createLine();
    layout.endLayout();
    if (!textLine.isValid())
        return;
    layout.draw(&painter, QPointF(0, baseline - textLine.ascent()));
}

// The font a result is laid out in before the fit.
static QFont startFont(const PrintSource &source)
{
    QFont font(source.resultKind == 3 ? pageFontName(source.fontName) : source.fontName);
    font.setPointSizeF(source.fontSize > 0 ? source.fontSize : 8.0);
    return font;
}

MeasureFn cellMeasure(const PrintSource &source, const QPaintDevice *device)
{
    const QFont font = startFont(source);
    const QString probe = source.resultKind == 3 ? QStringLiteral("Q") : QString(source.glyph);
    const double tx = twipsPerUnit(device, true);
    const double ty = twipsPerUnit(device, false);
    return [font, probe, device, tx, ty](double size) {
        QFont f = font;
        f.setPointSizeF(std::max(size, 0.01));
        const QFontMetricsF fm = device ? QFontMetricsF(f, device) : QFontMetricsF(f);
        return QSizeF(fm.horizontalAdvance(probe) * tx, fm.height() * ty);
    };
}

qint64 cellsAcross(const PrintSource &source)
{
    return source.resultKind == 3 ? 2 * qint64(source.gridColumns) : qint64(source.gridColumns);
}

MeasureFn proportionalCellMeasure(const PrintSource &source)
{
    constexpr double kReferenceSize = 100; // points
    QImage device(1, 1, QImage::Format_RGB32);
    const int dotsPerMeter = previewDotsPerMeter(1200);
    device.setDotsPerMeterX(dotsPerMeter);
    device.setDotsPerMeterY(dotsPerMeter);
    const QSizeF reference = cellMeasure(source, &device)(kReferenceSize);
    return [reference](double size) { return reference * (size / kReferenceSize); };
}

bool sourceReadable(const PrintSource &source)
{
    if (source.resultKind == 3)
        return openPart(source.textPath, source.textData) &&
               (!source.textColors || openPart(source.colorPath, source.colorData));
    if (source.resultKind == 2)
        return openPart(source.colorPath, source.colorData) != nullptr;
    return true;
}

QString printJobName(const PrintSource &source)
{
    const QString caption = programCaption();
    if (source.resultKind == 3)
        return QStringLiteral("%1 — символы %2 x %3")
            .arg(caption)
            .arg(2 * qint64(source.gridColumns))
            .arg(source.gridRows);
    if (source.resultKind == 2)
        return QStringLiteral("%1 — фигуры %2 x %3").arg(caption).arg(source.gridColumns).arg(source.gridRows);
    return caption;
}

PageLayoutInfo layoutPage(QPainter &painter, const PrintSource &source, PageLimits limits, const RunHooks &hooks)
{
    PageLayoutInfo info;
    if (source.resultKind != 3 && source.resultKind != 2)
        return info;
    const bool text = source.resultKind == 3;

    const std::unique_ptr<QIODevice> part =
        text ? openPart(source.textPath, source.textData) : openPart(source.colorPath, source.colorData);
    const std::unique_ptr<QIODevice> textColors =
        text && source.textColors ? openPart(source.colorPath, source.colorData) : nullptr;
    if (!part || (text && source.textColors && !textColors)) {
        info.status = LayoutStatus::FileError;
        return info;
    }
    QIODevice &file = *part;

    const QPaintDevice *device = painter.device();
    const double tx = deviceTwipsPerUnitX(painter);
    const double ty = deviceTwipsPerUnitY(painter);

    QFont font = startFont(source);
    const MeasureFn measure = cellMeasure(source, device);
    info.fittedSize = fitFontSize(font.pointSizeF(), measure, cellsAcross(source), source.gridRows, limits);
    font.setPointSizeF(std::max(info.fittedSize, 0.01));
    const QSizeF cell = measure(info.fittedSize);
    info.cellWidth = cell.width();
    info.cellHeight = cell.height();

    YieldClock clock(hooks);
    bool stopped = false;
    // The font and pen come back at the end. Not with save() and restore():
    // a drawing call that throws std::bad_alloc (a PDF page held in memory)
    // would leave a saved state behind, and restoring it writes to the page.
    const QFont callerFont = painter.font();
    const QPen callerPen = painter.pen();
    painter.setFont(font);
    const QFontMetricsF fm(font, device);
    const double ascent = fm.ascent();

    if (text) {
        painter.setPen(colorOf(source.foreColor));
        const double lineHeight = fm.height();
        double y = 0;
        while (!file.atEnd()) {
            if (clock.stopRequested()) {
                stopped = true;
                break;
            }
            const QByteArray raw = file.readLine();
            if (raw.isEmpty())
                break; // a read error: a line holds at least its end
            const QString line = QString::fromUtf8(chopLineEnd(raw));
            if (textColors)
                drawColoredLine(painter, font, line, *textColors, y + ascent);
            else if (!line.isEmpty())
                painter.drawText(QPointF(0, y + ascent), line);
            y += lineHeight;
            ++info.itemsDrawn;
            clock.percent(rowPercent(info.itemsDrawn, source.gridRows));
            clock.tick();
        }
    } else {
        const QString glyph(source.glyph);
        quint32 lastColor = 0xFFFFFFFFu;
        bool more = true;
        for (int y = 1; y <= source.gridRows && more; ++y) {
            if (clock.stopRequested()) {
                stopped = true;
                break;
            }
            for (int x = 1; x <= source.gridColumns; ++x) {
                if (file.atEnd()) {
                    more = false;
                    break;
                }
                const QByteArray line = file.readLine();
                const quint32 c = colorFromLine(line);
                if (c != lastColor) {
                    painter.setPen(colorOf(c));
                    lastColor = c;
                }
                const QPointF at = figureCellPosition(x, y, info.cellWidth, info.cellHeight);
                quint32 background = 0;
                if (backgroundFromLine(line, &background)) {
                    // The figure fill: the cell's background under its glyph.
                    painter.fillRect(QRectF(at.x() / tx, at.y() / ty, info.cellWidth / tx, info.cellHeight / ty),
                                     colorOf(background));
                }
                painter.drawText(QPointF(at.x() / tx, at.y() / ty + ascent), glyph);
                ++info.itemsDrawn;
                clock.afterCell();
            }
            clock.percent(rowPercent(y, source.gridRows));
            clock.tick();
        }
    }
    painter.setFont(callerFont);
    painter.setPen(callerPen);
    info.status = stopped ? LayoutStatus::Stopped : LayoutStatus::Done;
    return info;
}

} // namespace tessilor
