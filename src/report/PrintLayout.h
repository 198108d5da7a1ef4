#pragma once

#include <QList>
#include <cstdint>

namespace esf {

// Where everything of the graphic report goes, as fractions of the printable page in device
// pixels: the same layout at any resolution, no millimetres involved.
struct PageGeometry {
    int width = 0;                   // W
    int height = 0;                  // H
    int unit = 0;                    // U: the page is five bands of this height
    int gap = 0;                     // G: left margin and gap between graphs
    int graph = 0;                   // GW: side of each trend graph
    int graphLeft[4] = {0, 0, 0, 0}; // X1..X4
    int right = 0;                   // XR: right edge of header, patient box and tables
    int band = 0;                    // BH: height of a table or strip band
    int stripWidth = 0;              // TW
    int stripLeft = 0;               // TX: strips are centred
};
PageGeometry pageGeometry(int width, int height);

// The time axis shared by the four graphs, in minutes, from the last record's time.
struct PrintTimeAxis {
    int xmax = 1;
    int step = 1;    // label step, at least 1
    int columns = 1; // grid columns
};
PrintTimeAxis printTimeAxis(std::int32_t lastElapsedSeconds);

// The plotting scale of one graph: times in seconds along x, values clamped to the range.
struct PlotScale {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int xmin = 0, xmax = 1;
    double ymin = 0.0, ymax = 1.0;

    int x(double seconds) const;
    int y(double value) const;
};

// One stage table: records first..end - 1 in the band at band × U.
struct TableBand {
    int first = 1;
    int end = 1;
    int band = 2;
    bool operator==(const TableBand&) const = default;
};
// One, two or three tables by the number of records.
QList<TableBand> tableBands(int recordCount);

// One marked strip: on page (0-based), its band index and its top in pixels.
struct StripBand {
    int record = 0;
    int page = 0;
    int band = 0;
    int top = 0;
    bool operator==(const StripBand&) const = default;
};
// The strips follow the last table band and continue on new pages of five bands from 0.1U.
QList<StripBand> stripBands(int lastTableBand, const QList<int>& records, int unit);

} // namespace esf
