#pragma once

#include <QString>
#include <QStringList>

namespace esf {

// The folder the workstation keeps its files in when nothing names another one.
QString defaultDataFolder(const QString& home);

// The working folder of this start: the folder named on the command line, else the one in
// ESFUERZO_DATA, else ~/Esfuerzo. A relative name is taken from the current directory.
QString chooseDataFolder(const QStringList& positionalArgs, const QString& environmentValue,
                         const QString& home);

// Creates `folder` when missing, proves it can be written, copies into it every file of
// `shippedDir` it lacks (nothing there is ever overwritten) and makes it the current
// directory. Returns an empty text on success, else a Spanish message naming the folder and
// the reason. A missing `shippedDir` (a program run from its build folder) seeds nothing.
QString enterDataFolder(const QString& folder, const QString& shippedDir);

} // namespace esf
