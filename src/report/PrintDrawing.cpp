#include "report/PrintDrawing.h"

#include "acquisition/DisplaySettings.h"
#include "common/Rounding.h"

#include <QFileInfo>
#include <QImageReader>
#include <QLine>
#include <QList>
#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <cmath>

namespace esf {
namespace {

const QString kFontFamily = QStringLiteral("Arial");
const QColor kRed = QColor(255, 0, 0);
const QColor kBlue = QColor(0, 0, 255);
constexpr int kTrendPen = 4;
constexpr int kStripColumns = 35;
constexpr int kStripRows = 10;
// Samples shown of each 2001-sample strip: the last 7.0 s at 5 ms each.
constexpr int kStripLastSample = 2000;
constexpr int kStripFirstSample = kStripLastSample - 1400;
constexpr int kTableRows = 11;
// The widest cell a table must hold before its font stops shrinking.
const QString kWidestCell = QStringLiteral("888 [mmHg]");

int textWidth(const QPainter& p, const QString& s)
{
    return p.fontMetrics().horizontalAdvance(s);
}

int textHeight(const QPainter& p)
{
    return p.fontMetrics().height();
}

void setPenColor(QPainter& p, const QColor& c, int width = 1, Qt::PenStyle style = Qt::SolidLine)
{
    QPen pen(c, width, style);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    p.setPen(pen);
}

void rectangle(QPainter& p, int x1, int y1, int x2, int y2)
{
    p.drawRect(x1, y1, x2 - x1, y2 - y1);
}

// Text on a filled white box, as the lead labels and the page number over a strip need.
void opaqueTextOut(QPainter& p, int x, int y, const QString& text)
{
    p.fillRect(QRect(x, y, textWidth(p, text), textHeight(p)), Qt::white);
    textOut(p, x, y, text);
}

// Multiples of step from lo to hi; nothing for a step that is not positive.
template <class F> void forMultiples(int lo, int hi, int step, F&& f)
{
    if (step <= 0 || hi < lo)
        return;
    const qint64 first = (qint64(lo) + (lo > 0 ? step - 1 : 0)) / step * step;
    for (qint64 v = first; v <= hi; v += step)
        f(static_cast<int>(v));
}

PlotScale scaleOf(const Box& b, int xmax, double ymin, double ymax)
{
    PlotScale s;
    s.x1 = b.x1;
    s.y1 = b.y1;
    s.x2 = b.x2;
    s.y2 = b.y2;
    s.xmin = 0;
    s.xmax = xmax;
    s.ymin = ymin;
    s.ymax = ymax;
    return s;
}

struct GraphSpec {
    int labelMin, labelMax, labelStep, rows;
    double dataMin, dataMax;
};

constexpr GraphSpec kPressureGraph{50, 250, 50, 9, 50.0, 250.0};
constexpr GraphSpec kRateGraph{20, 220, 20, 10, 20.0, 220.0};
constexpr GraphSpec kIttGraph{0, 40, 4, 10, 1.0, 40000.0};
constexpr GraphSpec kSlopeGraph{0, 40, 10, 8, 0.0, 40.0};
constexpr GraphSpec kLoadGraph{0, 2000, 500, 8, 0.0, 2000.0};

} // namespace

void setPrintFont(QPainter& p, int points, const QColor& color)
{
    QFont f(kFontFamily);
    f.setPointSize(std::max(1, points));
    p.setFont(f);
    setPenColor(p, color);
}

void textOut(QPainter& p, int x, int y, const QString& text)
{
    if (!text.isEmpty())
        p.drawText(x, y + p.fontMetrics().ascent(), text);
}

void DrawPrintGrid(QPainter& p, const Box& b, int rows, int columns, GridMode mode)
{
    setPenColor(p, Qt::black);
    rectangle(p, b.x1, b.y1, b.x2, b.y2);
    const bool fine = mode == GridMode::Fine;
    setPenColor(p, kPrintGridColor, fine ? 2 : 1, fine ? Qt::SolidLine : Qt::DashLine);
    const double dy = rows > 0 ? double(b.y2 - b.y1) / rows : 0.0;
    const double dx = columns > 0 ? double(b.x2 - b.x1) / columns : 0.0;
    QList<QLine> lines;
    for (int i = 1; i < rows; ++i) {
        const int y = b.y1 + static_cast<int>(i * dy);
        lines.append(QLine(b.x1, y, b.x2, y));
    }
    for (int i = 1; i < columns; ++i) {
        const int x = b.x1 + static_cast<int>(i * dx);
        lines.append(QLine(x, b.y1, x, b.y2));
    }
    p.drawLines(lines);
    if (fine) {
        setPenColor(p, kPrintGridColor, 1);
        lines.clear();
        for (int i = 1; i < 5 * columns; ++i) {
            if (i % 5 == 0)
                continue;
            const int x = b.x1 + static_cast<int>(i * dx / 5);
            lines.append(QLine(x, b.y1, x, b.y2));
        }
        for (int i = 1; i < 5 * rows; ++i) {
            if (i % 5 == 0)
                continue;
            const int y = b.y1 + static_cast<int>(i * dy / 5);
            lines.append(QLine(b.x1, y, b.x2, y));
        }
        p.drawLines(lines);
    }
    setPenColor(p, Qt::black);
    p.setBrush(Qt::white);
}

void DrawAxisLabels(QPainter& p, const Box& b, const QString& title, const QString& xTitle,
                    int xmin, int xmax, int ymin, int ymax, int xStep, int yStep)
{
    setPrintFont(p, 8);
    textOut(p, b.x1 - textWidth(p, title) / 4, b.y1 - static_cast<int>(1.5 * textHeight(p)), title);
    textOut(p, b.x2 - textWidth(p, xTitle) / 2, b.y2 + textHeight(p), xTitle);
    setPrintFont(p, 6);
    if (ymax > ymin) {
        const double perUnit = double(b.y2 - b.y1) / (ymax - ymin);
        forMultiples(ymin, ymax, yStep, [&](int v) {
            const QString s = QString::number(v);
            textOut(p, b.x1 - textWidth(p, s) - 10,
                    b.y2 - static_cast<int>(perUnit * (v - ymin)) - textHeight(p) / 2, s);
        });
    }
    if (xmax > xmin) {
        const double perUnit = double(b.x2 - b.x1) / (xmax - xmin);
        forMultiples(xmin, xmax, xStep, [&](int v) {
            const QString s = QString::number(v);
            textOut(p, b.x1 + static_cast<int>(perUnit * (v - xmin)) - textWidth(p, s) / 2,
                    b.y2 + 5, s);
        });
    }
    setPenColor(p, Qt::black);
}

void DrawPressureBar(QPainter& p, const PlotScale& s, double time, double systolic,
                     double diastolic, const QColor& color)
{
    setPenColor(p, color, kTrendPen);
    const int xs = s.x(time);
    const int ys = s.y(systolic);
    const int yd = s.y(diastolic);
    const QPoint points[] = {{xs - 2, ys}, {xs + 2, ys}, {xs, ys},
                             {xs, yd},     {xs - 2, yd}, {xs + 2, yd}};
    p.drawPolyline(points, 6);
    setPenColor(p, color);
}

void PrintTrendSegment(QPainter& p, const PlotScale& s, int style, const QColor& color,
                       double prevTime, double prevValue, double time, double value)
{
    setPenColor(p, color, kTrendPen);
    const int x = s.x(time);
    const int y = s.y(value);
    if (style == 0) {
        p.drawLine(s.x(prevTime), s.y(prevValue), x, y);
        rectangle(p, x - 3, y - 3, x + 3, y + 3);
    } else if (style == 1) {
        p.drawLine(s.x(prevTime), y, x, y);
    } else if (style == 2) {
        const int xp = s.x(prevTime);
        p.fillRect(QRect(QPoint(std::min(xp, x), std::min(y, s.y2)),
                         QPoint(std::max(xp, x), std::max(y, s.y2))),
                   color);
    }
    setPenColor(p, color);
}

void DrawTrendMarker(QPainter& p, const PlotScale& s, int shape, const QColor& color, double time,
                     double value)
{
    setPenColor(p, color);
    const int x = s.x(time);
    const int y = s.y(value);
    const QPoint tri[] = {{x, y}, {x - 10, y - 10}, {x + 10, y - 10}};
    if (shape == 0)
        p.setBrush(color);
    else
        p.setBrush(Qt::NoBrush);
    p.drawPolygon(tri, 3);
    p.setBrush(Qt::white);
}

void PrintLeadLabels(QPainter& p, int x1, int y1, int y2, const QStringList& labels)
{
    setPrintFont(p, 8, kBlue);
    for (int k = 1; k <= labels.size() && k <= 3; ++k) {
        const QString& s = labels[k - 1];
        opaqueTextOut(p, x1 - textWidth(p, s) - 5,
                      y1 + static_cast<int>(double(y2 - y1) / 4 * k) - textHeight(p) / 2, s);
    }
    setPenColor(p, Qt::black);
}

void DrawStripTraces(QPainter& p, const Box& b,
                     const std::array<std::vector<std::int32_t>, kLeadCount>& leads,
                     const QColor& color)
{
    setPenColor(p, color);
    const int height = b.y2 - b.y1;
    const double sx = (b.x2 - b.x1) / 1400.0;
    const double sy = height / 700.0;
    if (sy <= 0.0)
        return;
    QPolygon line;
    line.reserve(kStripLastSample - kStripFirstSample + 2);
    for (int k = 1; k <= kLeadCount; ++k) {
        const std::vector<std::int32_t>& lead = leads[static_cast<std::size_t>(k - 1)];
        const int zero = height / 4 * k;
        line.clear();
        line.append(QPoint(b.x1, b.y1 + zero));
        for (int i = kStripFirstSample; i <= kStripLastSample && i < static_cast<int>(lead.size());
             ++i) {
            double s = lead[static_cast<std::size_t>(i)];
            // Kept inside the band, as the grid shows nothing beyond it.
            if (s * sy > zero)
                s = static_cast<double>(roundHalfEven(zero / sy));
            if (s * sy < zero - height)
                s = static_cast<double>(roundHalfEven((zero - height) / sy));
            line.append(QPoint(b.x1 + static_cast<int>((i - kStripFirstSample) * sx),
                               b.y1 + zero - static_cast<int>(roundHalfEven(s * sy))));
        }
        p.drawPolyline(line);
    }
}

void DrawStageTable(QPainter& p, const Box& b, const QList<QStringList>& table, int first, int end)
{
    setPenColor(p, Qt::black);
    int points = 8;
    setPrintFont(p, points);
    rectangle(p, b.x1, b.y1, b.x2, b.y2);
    const double h = double(b.y2 - b.y1) / kTableRows;
    const int columns = std::max(1, end - first + 1);
    const double w = double(b.x2 - b.x1) / columns;
    QList<QLine> lines;
    for (int i = 1; i < kTableRows; ++i) {
        const int y = b.y1 + static_cast<int>(i * h);
        lines.append(QLine(b.x1, y, b.x2, y));
    }
    for (int i = 1; i <= columns; ++i) {
        const int x = b.x1 + static_cast<int>(i * w);
        lines.append(QLine(x, b.y1, x, b.y2));
    }
    p.drawLines(lines);
    while (points > 1 && textWidth(p, kWidestCell) >= w)
        setPrintFont(p, --points);
    const auto cell = [&](int column, int row, const QString& s) {
        const int x = b.x1 + static_cast<int>(roundHalfEven(column * w)) +
                      static_cast<int>(roundHalfEven((w - textWidth(p, s)) / 2));
        const int y = b.y1 + static_cast<int>(roundHalfEven(row * h)) +
                      static_cast<int>(roundHalfEven((h - textHeight(p)) / 2));
        textOut(p, x, y, s);
    };
    const QStringList header = table.value(0);
    for (int row = 1; row < kTableRows && row < header.size(); ++row)
        cell(0, row, header[row]);
    for (int j = 1; j < columns; ++j) {
        const QStringList cells = table.value(first + j - 1);
        for (int row = 0; row < kTableRows && row < cells.size(); ++row)
            cell(j, row, cells[row]);
    }
    setPenColor(p, Qt::black);
}

void PrintPageNumber(QPainter& p, const PageGeometry& g, int page)
{
    setPrintFont(p, 8);
    // On a white box: the last strip band of a page reaches the foot where the number goes.
    opaqueTextOut(p, g.width / 2, g.height - textHeight(p),
                  QStringLiteral("Página ") + QString::number(page));
}

namespace {

// The header with the institution and the logo, and the box of the study and the patient:
// the top of the first page and of the summary page.
void drawReportHead(QPainter& p, const PageGeometry& g, const GraphicReport& r, const QImage& logo)
{
    const int U = g.unit;
    setPrintFont(p, 12);
    // Header with the institution and the logo.
    rectangle(p, g.gap, roundShare(0.11, U), g.right, static_cast<int>(0.34 * U));
    textOut(p, g.gap + 5, roundShare(0.12, U), r.institution);
    setPrintFont(p, 10);
    textOut(p, g.gap + 5, roundShare(0.25, U), r.addressLine);
    if (!logo.isNull()) {
        const QRect target(QPoint(g.right - static_cast<int>(0.34 * U), roundShare(0.12, U)),
                           QPoint(g.right - 2 - 1, static_cast<int>(0.33 * U) - 1));
        // A large picture is reduced to the pixels it covers so the document stays small.
        const QImage fitted =
            logo.width() > target.width() || logo.height() > target.height()
                ? logo.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                : logo;
        p.drawImage(target, fitted);
    }

    // Study and patient.
    rectangle(p, g.gap, roundShare(0.35, U), g.right, roundShare(0.8, U));
    const QString heading = QStringLiteral("Estudio Ergométrico");
    textOut(p, g.width / 2 - textWidth(p, heading) / 2, roundShare(0.4, U), heading);
    textOut(p, g.gap + 5, roundShare(0.5, U), r.date);
    textOut(p, g.width / 2, roundShare(0.5, U), r.protocol);
    textOut(p, g.gap + 5, roundShare(0.6, U), r.patient);
    textOut(p, g.width / 2, roundShare(0.6, U), r.age);
    textOut(p, g.graphLeft[3], roundShare(0.6, U), r.sex);
    textOut(p, g.gap + 5, roundShare(0.7, U), r.physician);
}

// The clinical summary under the head: one row a value, the flag it raises beside it.
void drawSummaryTable(QPainter& p, const PageGeometry& g, const QList<SummaryRow>& rows)
{
    const int U = g.unit;
    setPrintFont(p, 12);
    const QString title = QStringLiteral("Resumen clínico");
    textOut(p, g.width / 2 - textWidth(p, title) / 2, U, title);
    setPrintFont(p, 9);
    const int rowHeight = textHeight(p) * 8 / 5;
    const int width = g.right - g.gap;
    const int columns[3] = {g.gap + 5, g.gap + width * 36 / 100, g.gap + width * 72 / 100};
    int y = roundShare(1.15, U);
    setPenColor(p, Qt::black);
    // The frame first: it is filled with the page's white brush.
    rectangle(p, g.gap, y, g.right, y + rowHeight * static_cast<int>(rows.size()));
    for (const SummaryRow& row : rows) {
        const int text = y + (rowHeight - textHeight(p)) / 2;
        textOut(p, columns[0], text, row.label);
        textOut(p, columns[1], text, row.value);
        textOut(p, columns[2], text, row.flag);
        p.drawLine(g.gap, y + rowHeight, g.right, y + rowHeight);
        y += rowHeight;
    }
}

} // namespace

bool PrintGraphicReport(QPainter& p, const PageGeometry& g, const GraphicReport& r,
                        const QImage& logo, const std::function<bool()>& newPage)
{
    const int U = g.unit;
    int page = 1;
    p.setBrush(Qt::white);
    setPrintFont(p, 12);

    drawReportHead(p, g, r, logo);
    setPrintFont(p, 8);
    textOut(p, g.gap + 5, roundShare(0.95 * 2, U), r.heartRates);

    // The four trend graphs.
    const bool treadmill = r.device == Device::Cinta;
    const bool bicycle = r.device == Device::Bicicleta;
    const GraphSpec graphs[4] = {kPressureGraph, kRateGraph, kIttGraph,
                                 bicycle ? kLoadGraph : kSlopeGraph};
    Box frames[4];
    PlotScale scales[4];
    for (int k = 0; k < 4; ++k) {
        frames[k] = {g.graphLeft[k], U, g.graphLeft[k] + g.graph, U + g.graph};
        scales[k] = scaleOf(frames[k], r.axis.xmax, graphs[k].dataMin, graphs[k].dataMax);
        DrawPrintGrid(p, frames[k], graphs[k].rows, r.axis.columns, GridMode::Coarse);
        if (k < 3 || treadmill || bicycle)
            DrawAxisLabels(p, frames[k], r.graphTitles[static_cast<std::size_t>(k)],
                           QStringLiteral("T[min]"), 0, r.axis.xmax, graphs[k].labelMin,
                           graphs[k].labelMax, r.axis.step, graphs[k].labelStep);
    }
    GraphicReport::Point prev;
    for (const GraphicReport::Point& pt : r.points) {
        DrawPressureBar(p, scales[0], pt.time, pt.systolic, pt.diastolic, kRed);
        PrintTrendSegment(p, scales[1], 0, kRed, prev.time, prev.heartRate, pt.time, pt.heartRate);
        PrintTrendSegment(p, scales[2], 0, kRed, prev.time, prev.itt, pt.time, pt.itt);
        if (treadmill || bicycle)
            PrintTrendSegment(p, scales[3], 1, kRed, prev.time, pt.work, pt.time, pt.work);
        DrawTrendMarker(p, scales[1], 0, Qt::black, pt.time, pt.heartRate);
        DrawTrendMarker(p, scales[2], 0, Qt::black, pt.time, pt.itt);
        if (treadmill || bicycle)
            DrawTrendMarker(p, scales[3], 0, Qt::black, pt.time, pt.work);
        prev = pt;
    }

    // Stage tables, then the marked strips in the bands after them.
    const QList<TableBand> tables = tableBands(r.recordCount());
    for (const TableBand& t : tables)
        DrawStageTable(p, {g.gap, t.band * U, g.right, t.band * U + g.band}, r.table, t.first,
                       t.end);
    QList<int> marked;
    for (const GraphicReport::Strip& s : r.strips)
        marked.append(s.record);
    const QList<StripBand> bands = stripBands(tables.back().band, marked, U);
    const auto& labels = kLeadLabelTable[0];
    const QStringList leadLabels{QString(labels[0]), QString(labels[1]), QString(labels[2])};
    for (qsizetype i = 0; i < bands.size(); ++i) {
        const StripBand& band = bands[i];
        if (band.page + 1 != page) {
            PrintPageNumber(p, g, page);
            if (!newPage())
                return false;
            ++page;
        }
        const Box box{g.stripLeft, band.top, g.stripLeft + g.stripWidth, band.top + g.band};
        DrawPrintGrid(p, box, kStripRows, kStripColumns, GridMode::Fine);
        PrintLeadLabels(p, box.x1, box.y1, box.y2, leadLabels);
        DrawStripTraces(p, box, r.strips[i].leads, Qt::black);
        DrawAxisLabels(p, box, r.strips[i].title, QString(), 0, 0, 0, 0, 0, 0);
    }
    if (!r.summary.isEmpty()) {
        PrintPageNumber(p, g, page);
        if (!newPage())
            return false;
        ++page;
        drawReportHead(p, g, r, logo);
        drawSummaryTable(p, g, r.summary);
    }
    PrintPageNumber(p, g, page);
    return true;
}

QImage loadLogo(const QString& path, QString& problem)
{
    QImageReader reader(path);
    QImage image = reader.read();
    if (image.isNull())
        problem = reader.errorString();
    return image;
}

} // namespace esf
