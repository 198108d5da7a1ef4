#pragma once

#include <QString>
#include <QTextStream>

namespace esf::cli {

bool isReportFile(const QString& path);
// The report as JSON: paragraphs, their alignment and their formatted runs. Throws FileError.
int dumpReport(const QString& path, QTextStream& out);

} // namespace esf::cli
