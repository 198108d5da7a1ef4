#pragma once

#include <QStringList>
#include <QTextStream>

namespace esf::cli {

// Renders the review canvas of a study to an image. Needs a QGuiApplication. Returns the exit
// status; bad files throw FileError.
int review(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace esf::cli
