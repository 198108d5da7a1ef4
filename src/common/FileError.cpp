#include "common/FileError.h"

#include <QFileInfo>

namespace esf {

FileError::FileError(QString file, QString operation, QString reason)
    : std::runtime_error((operation + QLatin1String(": ") + file).toStdString()),
      m_file(std::move(file)), m_operation(std::move(operation)), m_reason(std::move(reason))
{
}

QString FileError::message() const
{
    const QString name =
        QFileInfo(m_file).fileName().isEmpty() ? m_file : QFileInfo(m_file).fileName();
    return QStringLiteral("Error de %1 en el archivo \"%2\": %3").arg(m_operation, name, m_reason);
}

} // namespace esf
