#pragma once

#include <QWidget>

class QAbstractButton;
class QLineEdit;

namespace esf {

// A blood-pressure field: free text with an up-down control beside it (0..400, step 1).
// Every change of the text is judged at once: a decimal integer below 251 becomes the
// value; anything else empties the field, sets the value to 0 and takes the focus.
class PressureEdit : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinimum = 0;
    static constexpr int kMaximum = 400;
    static constexpr int kRefusedFrom = 251;

    // editName and upDownName become the objectNames of the two controls; caption is the
    // field's accessible name, the text of the label beside it.
    PressureEdit(const QString& editName, const QString& upDownName, const QString& caption,
                 QWidget* parent = nullptr);

    // The last accepted value; 0 after a refusal.
    int value() const { return m_value; }
    // Shows the number, which then passes the same rule as typed text.
    void setValue(int value);
    // One step of the up-down control from the current value.
    void stepBy(int steps);

    QLineEdit* edit() const { return m_edit; }
    QWidget* upDown() const { return m_upDown; }
    QAbstractButton* upButton() const { return m_up; }
    QAbstractButton* downButton() const { return m_down; }

Q_SIGNALS:
    void valueChanged(int value);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyText(const QString& text);
    void setAccepted(int value);

    QLineEdit* m_edit = nullptr;
    QWidget* m_upDown = nullptr;
    QAbstractButton* m_up = nullptr;
    QAbstractButton* m_down = nullptr;
    int m_value = 0;
};

} // namespace esf
