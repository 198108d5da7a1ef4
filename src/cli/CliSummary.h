#pragma once

#include <QStringList>
#include <QTextStream>

namespace esf::cli {

// The clinical summary of a study as JSON, and its strips as EDF+. Return the exit status;
// bad files throw FileError.
int summary(const QStringList& args, QTextStream& out, QTextStream& err);
int exportEdf(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace esf::cli
