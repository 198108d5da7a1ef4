#pragma once

#include <QString>
#include <stdexcept>

namespace esf {

// The one failure of the file layer: which file, what was being done, why.
// Handlers catch it at their edge and show it in the standard error box.
class FileError : public std::runtime_error {
public:
    FileError(QString file, QString operation, QString reason);

    const QString& file() const { return m_file; }
    const QString& operation() const { return m_operation; }
    const QString& reason() const { return m_reason; }
    // One Spanish line for the error box and the command line.
    QString message() const;

private:
    QString m_file;
    QString m_operation;
    QString m_reason;
};

} // namespace esf
