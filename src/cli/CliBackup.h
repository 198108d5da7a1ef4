#pragma once

#include <QStringList>
#include <QTextStream>

namespace esf::cli {

// "backup copy|move DIR [NNNNNNNN.DAT ...]" and "backup restore DIR NNNNNNNN.DAT [--replace]",
// run in the working folder. Exit status: 0 all went, 1 a patient failed or did not fit,
// 2 bad usage.
int backup(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace esf::cli
