#include "app/LiveLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLocale>
#include <optional>

namespace esf {
namespace {

std::optional<double> numericValue(const QString& text)
{
    bool ok = false;
    const double v = QLocale::c().toDouble(text.trimmed(), &ok);
    return ok ? std::optional<double>(v) : std::nullopt;
}

class LiveLabelAccessible final : public QAccessibleWidget,
                                  public QAccessibleTextInterface,
                                  public QAccessibleValueInterface {
public:
    explicit LiveLabelAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::StaticText) {}

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        if (t == QAccessible::ValueInterface && numericValue(shown()))
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return shown();
        return QAccessibleWidget::text(t);
    }

    // Read-only text interface over the value shown.
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override { return shown().mid(start, end - start); }
    int characterCount() const override { return int(shown().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override
    {
        *start = 0;
        *end = characterCount();
        return {};
    }

    QVariant currentValue() const override
    {
        const auto v = numericValue(shown());
        return v ? QVariant(*v) : QVariant();
    }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return currentValue(); }
    QVariant minimumValue() const override { return currentValue(); }
    QVariant minimumStepSize() const override { return 0; }

private:
    QString shown() const { return static_cast<const QLabel*>(widget())->text(); }
};

QAccessibleInterface* liveLabelFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("esf::LiveLabel") && object && object->isWidgetType())
        return new LiveLabelAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

LiveLabel::LiveLabel(const QString& caption, QWidget* parent) : QLabel(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(liveLabelFactory);
        return true;
    }();
    Q_UNUSED(installed);
    setAccessibleName(caption);
}

void LiveLabel::setText(const QString& text)
{
    const QString old = QLabel::text();
    if (old == text)
        return;
    QLabel::setText(text);
    if (!QAccessible::isActive())
        return;
    QAccessibleTextUpdateEvent textEvent(this, 0, old, text);
    QAccessible::updateAccessibility(&textEvent);
    if (const auto v = numericValue(text)) {
        QAccessibleValueChangeEvent valueEvent(this, *v);
        QAccessible::updateAccessibility(&valueEvent);
    }
}

void LiveLabel::setCaption(const QString& caption)
{
    if (accessibleName() != caption)
        setAccessibleName(caption); // Qt announces the name change itself
}

} // namespace esf
