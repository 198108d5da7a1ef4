#pragma once

#include <QStringList>
#include <QTextStream>

namespace esf::cli {

// The headless face of the workstation: the same logic, driven from a script.
// Exit status: 0 success, 1 bad or missing file, 2 bad usage.
int run(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace esf::cli
