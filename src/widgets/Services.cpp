#include "widgets/Services.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QTimer>

namespace esf {
namespace {

const QString kBoxTitle = QStringLiteral("Esfuerzo");

class StandardMessageBoxes final : public MessageBoxes {
public:
    void warning(QWidget* parent, const QString& text) override
    {
        QMessageBox::warning(parent, kBoxTitle, text, QMessageBox::Ok);
    }
    void information(QWidget* parent, const QString& text) override
    {
        QMessageBox::information(parent, kBoxTitle, text, QMessageBox::Ok);
    }
    bool confirm(QWidget* parent, const QString& text) override
    {
        return QMessageBox::question(parent, kBoxTitle, text, QMessageBox::Yes | QMessageBox::No) ==
               QMessageBox::Yes;
    }
    void error(QWidget* parent, const QString& text) override
    {
        QMessageBox::critical(parent, kBoxTitle, text, QMessageBox::Ok);
    }
    void notice(QWidget* parent, const QString& text) override
    {
        QMessageBox box(QMessageBox::Question, kBoxTitle, text, QMessageBox::Ok, parent);
        box.exec();
    }
    bool confirmTitled(QWidget* parent, const QString& title, const QString& text) override
    {
        return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No) ==
               QMessageBox::Yes;
    }
    QString input(QWidget* parent, const QString& title, const QString& prompt,
                  const QString& text) override
    {
        QInputDialog box(parent);
        box.setWindowTitle(title);
        box.setLabelText(prompt);
        box.setTextValue(text);
        box.exec();
        return box.textValue();
    }
};

class StandardFileDialogs final : public FileDialogs {
public:
    QString openFile(QWidget* parent, const QString& caption, const QString& dir,
                     const QString& filters, QString* selectedFilter) override
    {
        return QFileDialog::getOpenFileName(parent, caption, dir, filters, selectedFilter);
    }
    QString saveFile(QWidget* parent, const QString& caption, const QString& dir,
                     const QString& filters, QString* selectedFilter) override
    {
        return QFileDialog::getSaveFileName(parent, caption, dir, filters, selectedFilter);
    }
    QString directory(QWidget* parent, const QString& caption, const QString& dir) override
    {
        return QFileDialog::getExistingDirectory(parent, caption, dir);
    }
};

class QtTickTimer final : public TickTimer {
public:
    QtTickTimer()
    {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            if (onTimeout)
                onTimeout();
        });
    }
    void setInterval(int ms) override { m_timer.setInterval(ms); }
    int interval() const override { return m_timer.interval(); }
    void start() override { m_timer.start(); }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

} // namespace

Services Services::standard()
{
    Services s;
    s.messages = std::make_shared<StandardMessageBoxes>();
    s.files = std::make_shared<StandardFileDialogs>();
    s.makeTimer = [] { return std::make_unique<QtTickTimer>(); };
    s.today = [] { return QDate::currentDate(); };
    s.beep = [] { QApplication::beep(); };
    s.quit = [] { QCoreApplication::quit(); };
    return s;
}

} // namespace esf
