#pragma once

// Fakes and helpers shared by the tests of windows and dialogs.
#include "TestFiles.h"
#include "widgets/Services.h"

#include <QDialog>
#include <QLineEdit>
#include <QList>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSerialPort>
#include <QStandardPaths>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <functional>
#include <memory>
#include <optional>
#include <sys/prctl.h>

namespace esf::test {

using namespace Qt::StringLiterals;

struct Box {
    QString kind;
    QString text;
};

// Records every box; confirmations take the queued answers, then `otherwise`.
class FakeMessages final : public MessageBoxes {
public:
    QList<Box> shown;
    QList<bool> answers;
    bool otherwise = true;
    QStringList inputs; // what the input boxes hold when they close
    QStringList titles;

    void warning(QWidget*, const QString& t) override { shown << Box{u"warning"_s, t}; }
    void information(QWidget*, const QString& t) override { shown << Box{u"info"_s, t}; }
    void error(QWidget*, const QString& t) override { shown << Box{u"error"_s, t}; }
    bool confirm(QWidget*, const QString& t) override
    {
        shown << Box{u"confirm"_s, t};
        return answers.isEmpty() ? otherwise : answers.takeFirst();
    }
    bool confirmTitled(QWidget* p, const QString& title, const QString& t) override
    {
        titles << title;
        return confirm(p, t);
    }
    QString input(QWidget*, const QString& title, const QString&, const QString& text) override
    {
        shown << Box{u"input"_s, title + u'|' + text};
        return inputs.isEmpty() ? text : inputs.takeFirst();
    }
    qsizetype count(const QString& kind) const
    {
        return std::count_if(shown.begin(), shown.end(),
                             [&](const Box& b) { return b.kind == kind; });
    }
    // Every box as "kind: text", in order.
    QStringList lines() const
    {
        QStringList out;
        for (const Box& b : shown)
            out << b.kind + u": "_s + b.text;
        return out;
    }
};

class FakeTimer final : public TickTimer {
public:
    int ms = 0;
    bool active = false;
    void setInterval(int v) override { ms = v; }
    int interval() const override { return ms; }
    void start() override { active = true; }
    void stop() override { active = false; }
    bool isActive() const override { return active; }
};

// Skips the calling test where socat, which makes the pairs below, is not installed.
#define ESF_REQUIRE_SOCAT()                                                                        \
    if (QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty())                         \
    QSKIP("socat is not installed: no pseudo-terminal pair to stand in for the unit")

// A pseudo-terminal pair: the workstation opens the near end, the unit's side is the far end.
class PtyPair {
public:
    explicit PtyPair(const QString& dir, const QString& name)
        : near(dir + QLatin1Char('/') + name + QStringLiteral("-near")),
          far(dir + QLatin1Char('/') + name + QStringLiteral("-far"))
    {
        m_socat.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // Should the test die first, socat goes with it.
        m_socat.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_socat.start(QStringLiteral("socat"), {QStringLiteral("pty,raw,echo=0,link=") + near,
                                                QStringLiteral("pty,raw,echo=0,link=") + far});
    }
    ~PtyPair()
    {
        m_listener.reset();
        kill();
    }
    // Hangs up the line, as a unit switched off.
    void kill()
    {
        m_socat.kill();
        m_socat.waitForFinished(10000);
    }
    // Both ends exist while socat runs; with listen, the test reads the far end.
    bool ready(bool listen = true)
    {
        const bool linked = m_socat.waitForStarted(10000) &&
                            QTest::qWaitFor(
                                [&] {
                                    return m_socat.state() != QProcess::Running ||
                                           (QFile::exists(near) && QFile::exists(far));
                                },
                                10000) &&
                            m_socat.state() == QProcess::Running;
        if (!linked || !listen)
            return linked;
        m_listener = std::make_unique<QSerialPort>(far);
        return m_listener->open(QIODevice::ReadOnly);
    }
    QByteArray received(qsizetype count)
    {
        QByteArray got;
        // A short read shows up in the caller's comparison, with what did arrive.
        (void)QTest::qWaitFor(
            [&] {
                got += m_listener->readAll();
                return got.size() >= count;
            },
            5000);
        QTest::qWait(50); // anything extra would show up here
        return got + m_listener->readAll();
    }

    const QString near;
    const QString far;

private:
    QProcess m_socat;
    std::unique_ptr<QSerialPort> m_listener;
};

// A fresh working folder, current while it lives, whose port map reaches no real device.
class WorkFolder {
public:
    WorkFolder() : m_oldCwd(QDir::currentPath())
    {
        QDir::setCurrent(m_dir.path());
        writeFile(path(QStringLiteral("Puertos.txt")),
                  "COM1=/nonexistent/tty-a\nCOM2=/nonexistent/tty-b\nCOM3=/nonexistent/tty-c\n"
                  "COM6=/nonexistent/tty-f\n");
    }
    ~WorkFolder() { QDir::setCurrent(m_oldCwd); }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString dir() const { return m_dir.path(); }

private:
    QString m_oldCwd;
    QTemporaryDir m_dir;
};

// Answers the file dialogs from a queue (an empty answer is a cancel) and records what
// each was asked.
class FakeFiles final : public FileDialogs {
public:
    QStringList answers;
    QStringList asked; // "open|caption|dir|filters", "save|...", "dir|caption|dir"

    QString openFile(QWidget*, const QString& caption, const QString& dir, const QString& filters,
                     QString*) override
    {
        return answer(u"open|"_s + caption + u'|' + dir + u'|' + filters);
    }
    QString saveFile(QWidget*, const QString& caption, const QString& dir, const QString& filters,
                     QString*) override
    {
        return answer(u"save|"_s + caption + u'|' + dir + u'|' + filters);
    }
    QString directory(QWidget*, const QString& caption, const QString& dir) override
    {
        return answer(u"dir|"_s + caption + u'|' + dir);
    }

private:
    QString answer(const QString& question)
    {
        asked << question;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
};

// Services whose boxes, date and exit the test controls, with timers it fires by hand; today
// is 06/12/2026.
inline Services fakeServices(std::shared_ptr<FakeMessages> messages, int* quits = nullptr)
{
    Services s;
    s.messages = std::move(messages);
    s.files = std::make_shared<FakeFiles>();
    s.makeTimer = [] { return std::make_unique<FakeTimer>(); };
    s.today = [] { return QDate(2026, 12, 6); };
    s.beep = [] {};
    s.quit = [quits] {
        if (quits)
            ++*quits;
    };
    return s;
}

// Acts on a modal dialog once its event loop runs.
template <class F> void whenShown(F&& act)
{
    QTimer::singleShot(0, std::forward<F>(act));
}

// Runs the steps once the dialog is up and active; a failed step must not leave it waiting.
inline void whileShown(QDialog& dialog, std::function<void()> steps)
{
    QTimer::singleShot(0, &dialog, [&dialog, steps] {
        if (QTest::qWaitForWindowActive(&dialog))
            steps();
        else
            QTest::qFail("dialog never became active", __FILE__, __LINE__);
        if (dialog.isVisible())
            dialog.reject();
    });
}

inline void click(QWidget* w)
{
    QTest::mouseClick(w, Qt::LeftButton);
}

// keyClicks takes ASCII only; this sends each character as the text of its key, as an input
// method delivers accented letters.
inline void typeText(QWidget* w, const QString& text)
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key(c.toUpper().unicode()), QString(c),
                            Qt::NoModifier);
}

// Types over the whole field, as after tabbing into it.
inline void typeInto(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    typeText(edit, text);
}

inline QStringList itemTexts(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

} // namespace esf::test
