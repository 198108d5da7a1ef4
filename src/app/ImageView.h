#pragma once

#include <QImage>
#include <QWidget>

namespace esf {

// Shows an image drawn elsewhere (the sweep, the QRS box) and reports size changes
// and double clicks; it never draws signal itself.
class ImageView : public QWidget {
    Q_OBJECT
public:
    explicit ImageView(QWidget* parent = nullptr);
    void setImage(const QImage* image) { m_image = image; }

Q_SIGNALS:
    void resized(QSize size);
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    const QImage* m_image = nullptr;
};

} // namespace esf
