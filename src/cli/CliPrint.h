#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace esf::cli {

// The graphic report of a study (or a physician's report) as a PDF, headless. Needs a
// QGuiApplication for the fonts. Returns the exit status; throws FileError.
int print(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace esf::cli
