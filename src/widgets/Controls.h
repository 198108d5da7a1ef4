#pragma once

#include <QString>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QWidget;

namespace esf {

// Controls carry their name as objectName and the caption users read as accessible name, so
// screen readers and scripted checks find them by what is on screen.
QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QWidget* buddy = nullptr);
QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption);
// "OK" (the default button) and "Cancel" on a row of their own, to the right.
QHBoxLayout* makeOkCancelRow(QWidget* parent, QPushButton*& ok, QPushButton*& cancel);

template <class W> W* makeField(QWidget* parent, const char* name, const QString& caption)
{
    auto* w = new W(parent);
    w->setObjectName(QLatin1String(name));
    w->setAccessibleName(caption);
    return w;
}

} // namespace esf
