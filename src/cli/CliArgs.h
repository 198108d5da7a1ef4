#pragma once

#include <QStringList>

namespace esf::cli {

// The word after option args[i], leaving i on it; throws the usage error's text when the words
// end at the option.
inline QString optionValue(const QStringList& args, qsizetype& i)
{
    if (i + 1 >= args.size())
        throw QStringLiteral("falta el valor de %1").arg(args[i]);
    return args[++i];
}

} // namespace esf::cli
