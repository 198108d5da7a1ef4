#pragma once

#include <QString>

namespace esf {

// Picture formats such as "##0.0", "00.0", "0000.0": '0' is a digit always shown,
// '#' a digit shown only when significant, '.' the decimal point (always ".").
QString formatPicture(double value, const QString& picture);

// Parses with "." as decimal separator whatever the system locale; false when not a number.
bool parseDecimal(const QString& text, double& out);
bool parseInteger(const QString& text, int& out);

} // namespace esf
