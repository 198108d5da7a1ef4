#pragma once

#include "st/StMeasure.h"

#include <QDialog>
#include <QImage>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace esf {

// Two arrow buttons that report one step per click: up or right is +1, down or left −1.
class StArrows : public QWidget {
    Q_OBJECT
public:
    StArrows(Qt::Orientation orientation, const QString& name, const QString& caption,
             QWidget* parent);

    QToolButton* nextButton() const { return m_next; }
    QToolButton* prevButton() const { return m_prev; }

Q_SIGNALS:
    void stepped(int delta);

private:
    QToolButton* m_next = nullptr;
    QToolButton* m_prev = nullptr;
};

// " QRS promedio": the averaged beats of D2, V2 and V5, where the J point, the J–T interval
// and a baseline per lead are set and the ST levels read, with two mouse calipers.
class TQRSview : public QDialog {
    Q_OBJECT
public:
    explicit TQRSview(QWidget* parent = nullptr);

    // Shows the view modally on a copy of the average; returns the three ST levels in mV
    // (D2, V2, V5), however the window closes. The J–T interval, the baselines, the ST levels
    // and the caliper readings are kept between openings; J starts 12 samples after the
    // detection point every time.
    std::array<float, 3> ShowQRS(const QrsBeats& average, int fidIdx, int speedMmPerS, double gain);

    void UpDownD2Changing(int delta) { baselineClicked(0, delta); }
    void UpDownV2Changing(int delta) { baselineClicked(1, delta); }
    void UpDownV5Changing(int delta) { baselineClicked(2, delta); }
    void JIzDeClick(int delta);
    void JTtxtChange(const QString& text);
    void OkbtnClick();
    // The mouse on the drawing surface, in client coordinates.
    void FormMouseDown(Qt::MouseButton button, QPoint p);
    void FormMouseMove(QPoint p);
    void FormMouseUp();

    const StMeasurement& measurement() const { return m_state; }
    // What the window shows under its controls: the drawing and the caliper figures.
    const QImage& surfaceImage() const { return m_image; }
    QWidget* surface() const { return m_surface; }

    QLabel* Label1 = nullptr;
    QLabel* deltatxt = nullptr;
    QLabel* mvlbl = nullptr;
    QLabel* mvtxt = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* JTtxt = nullptr;
    StArrows* UpDownJT = nullptr;
    QLabel* Label5 = nullptr;
    StArrows* UpDownD2 = nullptr;
    QLabel* STD2lbl = nullptr;
    QLabel* Label3 = nullptr;
    StArrows* UpDownV2 = nullptr;
    QLabel* STV2lbl = nullptr;
    QLabel* Label4 = nullptr;
    StArrows* UpDownV5 = nullptr;
    QLabel* STV5lbl = nullptr;
    StArrows* JIzDe = nullptr;
    QPushButton* Okbtn = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void baselineClicked(int lead, int delta);
    void stepJt(int delta);
    void restoreJtText();
    void showSt();
    void renderScene();
    void setBoxActive(QLabel* box, bool active);

    StMeasurement m_state;
    Calipers m_calipers;
    QImage m_image;
    QWidget* m_surface = nullptr;
};

} // namespace esf
