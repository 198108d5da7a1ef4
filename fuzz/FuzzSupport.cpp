#include "FuzzTarget.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace esf::fuzz {

QString inputFolder()
{
    static QTemporaryDir dir;
    return dir.path();
}

QString writeInput(const QString& name, const std::uint8_t* data, std::size_t size)
{
    const QString path = inputFolder() + u'/' + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) !=
            static_cast<qint64>(size))
        require(false, "cannot write the input file");
    return path;
}

void require(bool ok, const char* what)
{
    if (ok)
        return;
    std::fprintf(stderr, "fuzz: broken promise: %s\n", what);
    std::abort();
}

} // namespace esf::fuzz
