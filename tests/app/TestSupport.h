#pragma once

// Fakes and helpers shared by the main window's tests.
#include "app/Services.h"

#include <QFile>
#include <QList>
#include <QProcess>
#include <QSerialPort>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <memory>

namespace esf::test {

struct Box {
    QString kind;
    QString text;
};

class FakeMessages final : public MessageBoxes {
public:
    QList<Box> shown;
    void warning(QWidget*, const QString& t) override
    {
        shown << Box{QStringLiteral("warning"), t};
    }
    void information(QWidget*, const QString& t) override
    {
        shown << Box{QStringLiteral("info"), t};
    }
    bool confirm(QWidget*, const QString& t) override
    {
        shown << Box{QStringLiteral("confirm"), t};
        return answers.isEmpty() ? true : answers.takeFirst();
    }
    bool confirmTitled(QWidget* p, const QString& title, const QString& t) override
    {
        titles << title;
        return confirm(p, t);
    }
    QString input(QWidget*, const QString& title, const QString&, const QString& text) override
    {
        shown << Box{QStringLiteral("input"), title + QLatin1Char('|') + text};
        return inputs.isEmpty() ? text : inputs.takeFirst();
    }
    QList<bool> answers; // Yes/No, in order; Yes when none left
    QStringList inputs;  // what the input boxes hold when they close
    QStringList titles;
    void error(QWidget*, const QString& t) override { shown << Box{QStringLiteral("error"), t}; }
    qsizetype count(const QString& kind) const
    {
        return std::count_if(shown.begin(), shown.end(),
                             [&](const Box& b) { return b.kind == kind; });
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

// A pseudo-terminal pair: the workstation opens one end, the test listens at the other.
class PtyPair {
public:
    explicit PtyPair(const QString& dir, const QString& name)
        : near(dir + QLatin1Char('/') + name + QStringLiteral("-near")),
          far(dir + QLatin1Char('/') + name + QStringLiteral("-far"))
    {
        m_socat.start(QStringLiteral("socat"), {QStringLiteral("pty,raw,echo=0,link=") + near,
                                                QStringLiteral("pty,raw,echo=0,link=") + far});
    }
    ~PtyPair()
    {
        m_listener.reset();
        m_socat.kill();
        m_socat.waitForFinished(3000);
    }
    bool ready()
    {
        if (!QTest::qWaitFor([&] { return QFile::exists(near) && QFile::exists(far); }, 10000))
            return false;
        m_listener = std::make_unique<QSerialPort>();
        m_listener->setPortName(far);
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

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Services whose boxes, timers, date and exit the test controls; today is 06/12/2026.
inline Services fakeServices(std::shared_ptr<FakeMessages> messages, QList<FakeTimer*>* timers,
                             int* quits)
{
    Services s;
    s.messages = std::move(messages);
    s.makeTimer = [timers] {
        auto t = std::make_unique<FakeTimer>();
        if (timers)
            timers->append(t.get());
        return t;
    };
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

} // namespace esf::test
