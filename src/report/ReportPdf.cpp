#include "report/ReportPdf.h"

#include "common/FileError.h"
#include "common/FileNames.h"
#include "report/PrintDrawing.h"
#include "report/RtfCodec.h"

#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>

namespace esf {

QPageLayout reportPageLayout(QPageSize::PageSizeId paper, QPageLayout::Orientation orientation)
{
    return QPageLayout(QPageSize(paper), orientation, QMarginsF(5, 5, 5, 5),
                       QPageLayout::Millimeter);
}

void writeReportPdf(const QString& path, const GraphicReport& report, const QImage& logo,
                    const QPageLayout& layout, int dpi)
{
    const QString writing = QStringLiteral("escritura");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw FileError(path, writing, file.errorString());
    bool drawn = false;
    {
        QPdfWriter writer(&file);
        writer.setResolution(dpi);
        writer.setPageLayout(layout);
        writer.setCreator(QStringLiteral("Esfuerzo"));
        writer.setTitle(QStringLiteral("Estudio Ergométrico"));
        QPainter painter;
        if (painter.begin(&writer)) {
            const QRect page = writer.pageLayout().paintRectPixels(dpi);
            drawn = PrintGraphicReport(painter, pageGeometry(page.width(), page.height()), report,
                                       logo, [&] { return writer.newPage(); });
            painter.end();
        }
    }
    if (!drawn) {
        file.cancelWriting();
        throw FileError(path, writing, QStringLiteral("no se pudo generar el documento PDF"));
    }
    if (!commitWhole(file))
        throw FileError(path, writing, file.errorString());
}

void writePhysicianReportPdf(const QString& infPath, const QString& pdfPath, int dpi)
{
    QTextDocument doc;
    loadReportFile(infPath, doc);
    const QString writing = QStringLiteral("escritura");
    QSaveFile file(pdfPath);
    if (!file.open(QIODevice::WriteOnly))
        throw FileError(pdfPath, writing, file.errorString());
    {
        QPdfWriter writer(&file);
        writer.setResolution(dpi);
        writer.setPageLayout(reportPageLayout(QPageSize::A4));
        writer.setCreator(QStringLiteral("Esfuerzo"));
        writer.setTitle(QStringLiteral("Informe Ergometría"));
        doc.print(&writer);
    }
    if (!commitWhole(file))
        throw FileError(pdfPath, writing, file.errorString());
}

} // namespace esf
