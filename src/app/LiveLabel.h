#pragma once

#include <QLabel>

namespace esf {

// A label that shows a live value (heart rate, stage, remaining time). Its accessible name is
// the caption a sighted user reads beside it; the value is its accessible text (and its
// numeric value where it has one), and every change is announced to assistive tools.
class LiveLabel : public QLabel {
    Q_OBJECT
public:
    LiveLabel(const QString& caption, QWidget* parent);

    // Hide QLabel's so that every update through this type is announced.
    void setText(const QString& text);
    void clear() { setText(QString()); }
    // The caption switches together with the one shown beside the value ("Carga"/"Velocidad").
    void setCaption(const QString& caption);
};

} // namespace esf
