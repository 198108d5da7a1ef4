#pragma once

#include <QColor>
#include <QWidget>

namespace esf {

// The stage panel's pie gauge, 0..100, navy or red.
class PieGaugeView : public QWidget {
    Q_OBJECT
public:
    explicit PieGaugeView(QWidget* parent = nullptr);
    void setProgress(int percent);
    int progress() const { return m_progress; }
    void setForeColor(const QColor& c);
    QColor foreColor() const { return m_fore; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_progress = 0;
    QColor m_fore;
};

} // namespace esf
