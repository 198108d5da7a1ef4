#include "st/TQRSview.h"

#include "common/NumberFormat.h"
#include "common/SoftAssert.h"
#include "st/StDrawing.h"

#include <QBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <algorithm>

namespace esf {

namespace {

constexpr int kClientWidth = 696;
constexpr int kClientHeight = 645;
constexpr int kColumnLeft = 610; // the right-hand column of controls
constexpr int kColumnWidth = 84;
constexpr int kCaptionHeight = 16;
constexpr int kBoxHeight = 21;
constexpr int kArrowThickness = 17;
constexpr int kJArrowsLength = 34;
constexpr int kJArrowsTop = 610;
constexpr int kJtMaxLength = 3;

const QString kCaption = QStringLiteral(" QRS promedio");

// The drawing: a plain surface under every control, so presses on labels never reach it.
class StSurface : public QWidget {
public:
    StSurface(TQRSview* view, const QImage* image) : QWidget(view), m_view(view), m_image(image)
    {
        setObjectName(QStringLiteral("surface"));
        setMouseTracking(true); // the cursor follows the drawing area with no button down
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.drawImage(0, 0, *m_image);
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        m_view->FormMouseDown(e->button(), e->position().toPoint());
    }
    void mouseMoveEvent(QMouseEvent* e) override { m_view->FormMouseMove(e->position().toPoint()); }
    void mouseReleaseEvent(QMouseEvent*) override { m_view->FormMouseUp(); }

private:
    TQRSview* m_view;
    const QImage* m_image;
};

QToolButton* makeArrow(QWidget* parent, const QString& name, Qt::ArrowType arrow,
                       const QString& accessibleName)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setArrowType(arrow);
    b->setAccessibleName(accessibleName);
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    return b;
}

QLabel* makeCaption(QWidget* parent, const QString& name, const QString& text, QRect where)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(where);
    return l;
}

// Sunken static text showing a reading.
QLabel* makeBox(QWidget* parent, const QString& name, const QString& caption, QRect where)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setAccessibleName(caption);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setAutoFillBackground(true);
    l->setGeometry(where);
    return l;
}

} // namespace

StArrows::StArrows(Qt::Orientation orientation, const QString& name, const QString& caption,
                   QWidget* parent)
    : QWidget(parent)
{
    setObjectName(name);
    setAccessibleName(caption);
    const bool vertical = orientation == Qt::Vertical;
    m_next =
        makeArrow(this, name + QStringLiteral("Next"), vertical ? Qt::UpArrow : Qt::RightArrow,
                  (vertical ? QStringLiteral("Subir ") : QStringLiteral("Derecha ")) + caption);
    m_prev =
        makeArrow(this, name + QStringLiteral("Prev"), vertical ? Qt::DownArrow : Qt::LeftArrow,
                  (vertical ? QStringLiteral("Bajar ") : QStringLiteral("Izquierda ")) + caption);
    auto* box = new QBoxLayout(vertical ? QBoxLayout::TopToBottom : QBoxLayout::RightToLeft, this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addWidget(m_next);
    box->addWidget(m_prev);
    connect(m_next, &QAbstractButton::clicked, this, [this] { Q_EMIT stepped(1); });
    connect(m_prev, &QAbstractButton::clicked, this, [this] { Q_EMIT stepped(-1); });
}

TQRSview::TQRSview(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TQRSview"));
    // A tool window that keeps its close box: closing it hands the values back like Ok.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(kCaption);
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);

    m_image = QImage(kClientWidth, kClientHeight, QImage::Format_RGB32);
    m_surface = new StSurface(this, &m_image);
    m_surface->setGeometry(0, 0, kClientWidth, kClientHeight);

    const int x = kColumnLeft;
    Label1 = makeCaption(this, QStringLiteral("Label1"), QStringLiteral("T[seg]:"),
                         QRect(x, 8, kColumnWidth, kCaptionHeight));
    deltatxt = makeBox(this, QStringLiteral("deltatxt"), Label1->text(),
                       QRect(x, 25, kColumnWidth - 4, kBoxHeight));
    mvlbl = makeCaption(this, QStringLiteral("mvlbl"), QStringLiteral("Amp[mV]:"),
                        QRect(x, 56, kColumnWidth, kCaptionHeight));
    mvtxt = makeBox(this, QStringLiteral("mvtxt"), mvlbl->text(),
                    QRect(x, 73, kColumnWidth - 4, kBoxHeight));

    // Each lead's row sits beside the lead's zero line.
    const auto leadRow = [&](int lead, const QString& labelName, const QString& caption,
                             const QString& arrowsName, const QString& boxName, QLabel*& label,
                             StArrows*& arrows, QLabel*& box) {
        const int zero = kStY0 + kStZeroLine[static_cast<std::size_t>(lead)];
        label = makeCaption(this, labelName, caption,
                            QRect(x, zero - 28, kColumnWidth, kCaptionHeight));
        arrows = new StArrows(Qt::Vertical, arrowsName, caption, this);
        arrows->setGeometry(x, zero - 10, kArrowThickness, 2 * kBoxHeight - 8);
        box = makeBox(this, boxName, caption,
                      QRect(x + kArrowThickness + 3, zero - 8, kColumnWidth - kArrowThickness - 7,
                            kBoxHeight));
    };
    leadRow(0, QStringLiteral("Label5"), QStringLiteral("D2 S-T[mV]"), QStringLiteral("UpDownD2"),
            QStringLiteral("STD2lbl"), Label5, UpDownD2, STD2lbl);
    leadRow(1, QStringLiteral("Label3"), QStringLiteral("V2 S-T[mV]"), QStringLiteral("UpDownV2"),
            QStringLiteral("STV2lbl"), Label3, UpDownV2, STV2lbl);
    leadRow(2, QStringLiteral("Label4"), QStringLiteral("V5 S-T[mV]"), QStringLiteral("UpDownV5"),
            QStringLiteral("STV5lbl"), Label4, UpDownV5, STV5lbl);

    Label2 = makeCaption(this, QStringLiteral("Label2"), QStringLiteral("Delta J-T[mS]"),
                         QRect(x, 520, kColumnWidth, kCaptionHeight));
    JTtxt = new QLineEdit(QString::number(kStJtDefault), this);
    JTtxt->setObjectName(QStringLiteral("JTtxt"));
    JTtxt->setAccessibleName(Label2->text());
    JTtxt->setMaxLength(kJtMaxLength);
    JTtxt->setGeometry(x, 538, 44, kBoxHeight);
    Label2->setBuddy(JTtxt);
    UpDownJT = new StArrows(Qt::Vertical, QStringLiteral("UpDownJT"), Label2->text(), this);
    UpDownJT->setGeometry(x + 44, 538, kArrowThickness - 2, kBoxHeight);

    JIzDe = new StArrows(Qt::Horizontal, QStringLiteral("JIzDe"), QStringLiteral("Punto J"), this);
    JIzDe->setGeometry(kStX1 - kJArrowsLength, kJArrowsTop, kJArrowsLength, kArrowThickness);

    Okbtn = new QPushButton(QStringLiteral("Ok"), this);
    Okbtn->setObjectName(QStringLiteral("Okbtn"));
    Okbtn->setAccessibleName(QStringLiteral("Ok"));
    Okbtn->setDefault(true);
    Okbtn->setGeometry(x, 606, kColumnWidth - 4, 27);

    for (QLabel* box : {deltatxt, mvtxt})
        setBoxActive(box, false);
    showSt();
    setTabOrder(JTtxt, Okbtn);
    JTtxt->installEventFilter(this);

    connect(UpDownD2, &StArrows::stepped, this, &TQRSview::UpDownD2Changing);
    connect(UpDownV2, &StArrows::stepped, this, &TQRSview::UpDownV2Changing);
    connect(UpDownV5, &StArrows::stepped, this, &TQRSview::UpDownV5Changing);
    connect(JIzDe, &StArrows::stepped, this, &TQRSview::JIzDeClick);
    connect(UpDownJT, &StArrows::stepped, this, &TQRSview::stepJt);
    connect(JTtxt, &QLineEdit::textChanged, this, &TQRSview::JTtxtChange);
    connect(Okbtn, &QPushButton::clicked, this, &TQRSview::OkbtnClick);

    renderScene();
}

std::array<float, 3> TQRSview::ShowQRS(const QrsBeats& average, int fidIdx, int speedMmPerS,
                                       double gain)
{
    ESF_ASSERT(!isVisible(), return m_state.st());
    m_state.open(average, fidIdx, speedMmPerS, gain);
    m_calipers.reset();
    for (QLabel* box : {deltatxt, mvtxt})
        setBoxActive(box, false);
    restoreJtText();
    showSt();
    renderScene();
    m_surface->setCursor(Qt::ArrowCursor);

    const QWidget* anchor = parentWidget() ? parentWidget() : this;
    if (const QScreen* screen = anchor->screen())
        move(screen->availableGeometry().center() - rect().center());
    JTtxt->setFocus(Qt::OtherFocusReason);
    exec();
    // Closed with the field emptied: the next opening starts from the interval in force.
    restoreJtText();
    return m_state.st();
}

void TQRSview::JIzDeClick(int delta)
{
    m_state.moveJ(delta);
    renderScene();
    showSt();
}

void TQRSview::JTtxtChange(const QString& text)
{
    // Anything but an integer is not an interval: the markers stay where they are until
    // the field holds one again, and it gets the last one back when left.
    if (!m_state.setJtText(text))
        return;
    renderScene();
}

void TQRSview::OkbtnClick()
{
    accept();
}

void TQRSview::FormMouseDown(Qt::MouseButton button, QPoint p)
{
    // The markers stand for controls of their own: a press on them measures nothing.
    if (m_state.markers().covers(p))
        return;
    if (button == Qt::LeftButton) {
        m_calipers.press(Caliper::Amplitude, p);
        setBoxActive(mvtxt, true);
        mvtxt->setText(formatStValue(0.0));
    } else if (button == Qt::RightButton) {
        m_calipers.press(Caliper::Time, p);
        setBoxActive(deltatxt, true);
        deltatxt->setText(formatStValue(0.0));
    }
}

void TQRSview::FormMouseMove(QPoint p)
{
    const bool cross = stCrossCursorAt(p) || m_state.markers().jLine.contains(p);
    m_surface->setCursor(cross ? Qt::CrossCursor : Qt::ArrowCursor);
    const auto steps = m_calipers.move(p, m_state.gain(), m_state.speed());
    if (steps.empty())
        return;
    {
        QPainter painter(&m_image);
        for (const Calipers::Step& s : steps) {
            if (s.erase)
                xorCaliperFigure(painter, *s.erase);
            xorCaliperFigure(painter, s.draw);
            (s.caliper == Caliper::Amplitude ? mvtxt : deltatxt)->setText(formatStValue(s.reading));
        }
    }
    m_surface->update();
}

void TQRSview::FormMouseUp()
{
    m_calipers.release();
    m_surface->setCursor(Qt::CrossCursor);
    for (QLabel* box : {deltatxt, mvtxt})
        setBoxActive(box, false);
}

bool TQRSview::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == JTtxt) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Up || key == Qt::Key_Down) {
                stepJt(key == Qt::Key_Up ? 1 : -1);
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            restoreJtText();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TQRSview::baselineClicked(int lead, int delta)
{
    m_state.stepBaseline(lead, delta);
    renderScene();
    showSt();
}

void TQRSview::stepJt(int delta)
{
    // The arrows start from the number in the field, brought into their range.
    int ms = m_state.jtMs();
    parseInteger(JTtxt->text(), ms);
    ms = std::clamp(std::clamp(ms, kStJtMinimum, kStJtMaximum) + delta, kStJtMinimum, kStJtMaximum);
    JTtxt->setText(QString::number(ms));
}

void TQRSview::restoreJtText()
{
    int ms = 0;
    if (!parseInteger(JTtxt->text(), ms))
        JTtxt->setText(m_state.jtText());
}

void TQRSview::showSt()
{
    const auto& st = m_state.st();
    STD2lbl->setText(formatStValue(st[0]));
    STV2lbl->setText(formatStValue(st[1]));
    STV5lbl->setText(formatStValue(st[2]));
}

void TQRSview::renderScene()
{
    // Redrawing the scene also clears whatever caliper figures were left on it.
    m_calipers.forgetFigures();
    m_image.fill(palette().color(QPalette::Window));
    QPainter painter(&m_image);
    drawStView(painter, m_state);
    painter.end();
    m_surface->update();
}

void TQRSview::setBoxActive(QLabel* box, bool active)
{
    QPalette pal = box->palette();
    pal.setColor(QPalette::Window, active ? QColor(Qt::red) : palette().color(QPalette::Button));
    box->setPalette(pal);
}

} // namespace esf
