#pragma once

#include "report/GraphicReport.h"
#include "report/PrintLayout.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <functional>

class QPainter;

namespace esf {

// The drawing of the printed graphic report. Every routine paints in device pixels on any
// QPainter (printer, PDF, image); font sizes are points of the device's resolution.

inline const QColor kPrintGridColor = QColor(0, 128, 0);

enum class GridMode { Coarse, Fine };

// Text with its top-left corner at (x, y), as the report positions all its texts.
void textOut(QPainter& p, int x, int y, const QString& text);
void setPrintFont(QPainter& p, int points, const QColor& color = Qt::black);

// Corners (x1, y1) and (x2, y2) of a frame, as the report states them.
struct Box {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

void DrawPrintGrid(QPainter& p, const Box& b, int rows, int columns, GridMode mode);
void DrawAxisLabels(QPainter& p, const Box& b, const QString& title, const QString& xTitle,
                    int xmin, int xmax, int ymin, int ymax, int xStep, int yStep);
void DrawPressureBar(QPainter& p, const PlotScale& s, double time, double systolic,
                     double diastolic, const QColor& color);
// Style 0: segment with an end square; 1: horizontal step; 2: filled area to the axis.
void PrintTrendSegment(QPainter& p, const PlotScale& s, int style, const QColor& color,
                       double prevTime, double prevValue, double time, double value);
// Shape 0: filled triangle with its tip on the point; 1: its outline.
void DrawTrendMarker(QPainter& p, const PlotScale& s, int shape, const QColor& color, double time,
                     double value);
void PrintLeadLabels(QPainter& p, int x1, int y1, int y2, const QStringList& labels);
void DrawStripTraces(QPainter& p, const Box& b,
                     const std::array<std::vector<std::int32_t>, kLeadCount>& leads,
                     const QColor& color);
// The table of records first..end - 1 of `table`; the font shrinks until a pressure fits.
void DrawStageTable(QPainter& p, const Box& b, const QList<QStringList>& table, int first, int end);
void PrintPageNumber(QPainter& p, const PageGeometry& g, int page);

// The whole report on the painter's device. newPage starts the next page and returns false
// when the device refuses it; the report then stops and returns false. The logo is drawn
// when not null.
bool PrintGraphicReport(QPainter& p, const PageGeometry& g, const GraphicReport& report,
                        const QImage& logo, const std::function<bool()>& newPage);

// Reads any image format Qt knows; on failure returns a null image and the reason.
QImage loadLogo(const QString& path, QString& problem);

} // namespace esf
