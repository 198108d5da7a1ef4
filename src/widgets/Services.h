#pragma once

#include <QDate>
#include <QString>
#include <functional>
#include <memory>

class QWidget;

namespace esf {

// Modal message boxes, so tests can answer them without a screen.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void warning(QWidget* parent, const QString& text) = 0;
    virtual void information(QWidget* parent, const QString& text) = 0;
    // Yes/No; true for Yes.
    virtual bool confirm(QWidget* parent, const QString& text) = 0;
    // The standard error box of the file layer and the serial link.
    virtual void error(QWidget* parent, const QString& text) = 0;
    // A question-style icon with one OK button: a notice that asks nothing.
    virtual void notice(QWidget* parent, const QString& text) { information(parent, text); }
    // Yes/No under a caption of its own, such as "Atención".
    virtual bool confirmTitled(QWidget* parent, const QString& title, const QString& text)
    {
        Q_UNUSED(title);
        return confirm(parent, text);
    }
    // A one-line input box; returns the text it holds when it closes, confirmed or not.
    virtual QString input(QWidget* parent, const QString& title, const QString& prompt,
                          const QString& text)
    {
        Q_UNUSED(parent);
        Q_UNUSED(title);
        Q_UNUSED(prompt);
        return text;
    }
};

// A periodic timer a test can fire by hand.
class TickTimer {
public:
    virtual ~TickTimer() = default;
    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
    std::function<void()> onTimeout;
};

// Standard file and folder dialogs, so tests can answer them. Each returns an empty text
// when the user cancels.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // `filters` as Qt writes them ("Texto (*.rtf);;Todos (*)"); `selectedFilter`, when given,
    // receives the filter chosen.
    virtual QString openFile(QWidget* parent, const QString& caption, const QString& dir,
                             const QString& filters, QString* selectedFilter = nullptr) = 0;
    virtual QString saveFile(QWidget* parent, const QString& caption, const QString& dir,
                             const QString& filters, QString* selectedFilter = nullptr) = 0;
    virtual QString directory(QWidget* parent, const QString& caption, const QString& dir) = 0;
};

// Everything the windows take from the platform that a test wants to replace.
struct Services {
    std::shared_ptr<MessageBoxes> messages;
    std::shared_ptr<FileDialogs> files;
    std::function<std::unique_ptr<TickTimer>()> makeTimer;
    std::function<QDate()> today;
    std::function<void()> beep;
    // Ends the event loop once the main window has closed in order.
    std::function<void()> quit;

    // Real boxes, real timers, the system date and the system bell.
    static Services standard();
};

} // namespace esf
