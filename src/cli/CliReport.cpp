#include "cli/CliReport.h"

#include "common/FileError.h"
#include "report/RtfCodec.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QTextDocument>

namespace esf::cli {

bool isReportFile(const QString& path)
{
    return path.endsWith(QLatin1String(".inf"), Qt::CaseInsensitive) ||
           path.endsWith(QLatin1String(".rtf"), Qt::CaseInsensitive);
}

int dumpReport(const QString& path, QTextStream& out)
{
    if (!QFileInfo::exists(path))
        throw FileError(path, QStringLiteral("apertura"), QStringLiteral("el archivo no existe"));
    QTextDocument doc;
    loadReportFile(path, doc);
    out << QJsonDocument(documentJson(doc)).toJson(QJsonDocument::Indented);
    return 0;
}

} // namespace esf::cli
