#pragma once

#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace esf {

// Controls carry their name as objectName and the caption users read as accessible name, so
// screen readers and scripted checks find them by what is on screen.
QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QWidget* buddy = nullptr);
QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption);

template <class W> W* makeField(QWidget* parent, const char* name, const QString& caption)
{
    auto* w = new W(parent);
    w->setObjectName(QLatin1String(name));
    w->setAccessibleName(caption);
    return w;
}

} // namespace esf
