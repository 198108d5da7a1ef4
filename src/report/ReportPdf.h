#pragma once

#include "report/GraphicReport.h"

#include <QImage>
#include <QPageLayout>
#include <QString>

namespace esf {

// The paper of a PDF report: a printer's printable area lies about 5 mm inside the sheet, and
// the report's own fractions of the page start from there as they do on paper.
QPageLayout reportPageLayout(QPageSize::PageSizeId paper,
                             QPageLayout::Orientation orientation = QPageLayout::Portrait);

// Writes the graphic report as a PDF at dpi, whole or not at all: nothing of a report that
// fails half way stays on disk. Throws FileError naming the file and the reason.
void writeReportPdf(const QString& path, const GraphicReport& report, const QImage& logo,
                    const QPageLayout& layout, int dpi);

// A physician's report (.INF, RTF) laid out by the text document on A4 at dpi, under the job
// title "Informe Ergometría"; whole or not at all. Throws FileError.
void writePhysicianReportPdf(const QString& infPath, const QString& pdfPath, int dpi);

} // namespace esf
