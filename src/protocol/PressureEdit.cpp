#include "protocol/PressureEdit.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace esf {
namespace {

QToolButton* makeArrow(QWidget* parent, const QString& name, Qt::ArrowType arrow,
                       const QString& accessibleName)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setArrowType(arrow);
    b->setAccessibleName(accessibleName);
    b->setAutoRepeat(true);
    // The arrows are no tab stop: the keyboard steps from inside the field.
    b->setFocusPolicy(Qt::NoFocus);
    b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
    b->setFixedWidth(16);
    return b;
}

} // namespace

PressureEdit::PressureEdit(const QString& editName, const QString& upDownName,
                           const QString& caption, QWidget* parent)
    : QWidget(parent)
{
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(editName);
    m_edit->setAccessibleName(caption);
    m_edit->setFixedWidth(m_edit->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);

    m_upDown = new QWidget(this);
    m_upDown->setObjectName(upDownName);
    m_upDown->setAccessibleName(caption);
    m_up = makeArrow(m_upDown, upDownName + QStringLiteral("Up"), Qt::UpArrow,
                     QStringLiteral("Aumentar ") + caption);
    m_down = makeArrow(m_upDown, upDownName + QStringLiteral("Down"), Qt::DownArrow,
                       QStringLiteral("Disminuir ") + caption);
    auto* arrows = new QVBoxLayout(m_upDown);
    arrows->setContentsMargins(0, 0, 0, 0);
    arrows->setSpacing(0);
    arrows->addWidget(m_up);
    arrows->addWidget(m_down);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(m_edit);
    row->addWidget(m_upDown);
    setFocusProxy(m_edit);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    m_edit->installEventFilter(this);
    connect(m_edit, &QLineEdit::textChanged, this, &PressureEdit::applyText);
    connect(m_up, &QAbstractButton::clicked, this, [this] { stepBy(1); });
    connect(m_down, &QAbstractButton::clicked, this, [this] { stepBy(-1); });
}

void PressureEdit::setValue(int value)
{
    m_edit->setText(QString::number(value));
}

void PressureEdit::stepBy(int steps)
{
    // An emptied or refused field counts as 0, so stepping always starts from a number.
    setValue(std::clamp(m_value + steps, kMinimum, kMaximum));
}

bool PressureEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            stepBy(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PressureEdit::applyText(const QString& text)
{
    bool ok = false;
    const int typed = QLocale::c().toInt(text, &ok);
    // A pasted negative number is no pressure either.
    if (ok && typed >= kMinimum && typed < kRefusedFrom) {
        setAccepted(typed);
        return;
    }
    setAccepted(0);
    // Clearing re-enters here with the empty text, which is refused again and stops.
    if (!text.isEmpty())
        m_edit->clear();
    m_edit->setFocus(Qt::OtherFocusReason);
}

void PressureEdit::setAccepted(int value)
{
    if (value == m_value)
        return;
    m_value = value;
    Q_EMIT valueChanged(value);
}

} // namespace esf
