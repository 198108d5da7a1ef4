#pragma once
#include <QStringList>
#include <QTextStream>
namespace esf::cli {
int run(const QStringList& args, QTextStream& out, QTextStream& err);
}
