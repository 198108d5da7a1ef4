#include "common/NumberFormat.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace esf {

QString formatPicture(double value, const QString& picture)
{
    const qsizetype point = picture.indexOf(QLatin1Char('.'));
    const QString intPart = point < 0 ? picture : picture.left(point);
    const QString fracPart = point < 0 ? QString() : picture.mid(point + 1);
    const int minIntDigits = static_cast<int>(intPart.count(QLatin1Char('0')));
    const int decimals =
        static_cast<int>(fracPart.count(QLatin1Char('0')) + fracPart.count(QLatin1Char('#')));

    QString text = QLocale::c().toString(std::fabs(value), 'f', decimals);
    QString digits = point < 0 || decimals == 0 ? text : text.left(text.indexOf(QLatin1Char('.')));
    const QString frac = decimals == 0 ? QString() : text.mid(text.indexOf(QLatin1Char('.')));
    if (digits == QLatin1String("0") && minIntDigits == 0)
        digits.clear();
    while (digits.size() < minIntDigits)
        digits.prepend(QLatin1Char('0'));
    const QString body = digits + frac;
    const bool negative = value < 0 && body.contains(QRegularExpression(QStringLiteral("[1-9]")));
    return negative ? QLatin1Char('-') + body : body;
}

bool parseDecimal(const QString& text, double& out)
{
    bool ok = false;
    const double v = QLocale::c().toDouble(text.trimmed(), &ok);
    if (ok && std::isfinite(v))
        out = v;
    return ok && std::isfinite(v);
}

bool parseInteger(const QString& text, int& out)
{
    bool ok = false;
    const int v = QLocale::c().toInt(text.trimmed(), &ok);
    if (ok)
        out = v;
    return ok;
}

} // namespace esf
