#include "widgets/Services.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace esf;
using namespace Qt::StringLiterals;

// The real boxes, dialogs and timers behind the seams, answered from the event loop as a user.
class TestServices : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void boxesShowTheTextAndReturnTheAnswer()
    {
        const Services s = Services::standard();
        MessageBoxes& m = *s.messages;
        const QString text = u"¿Detener el estudio?"_s;
        const auto shown = [](const QString& title, int icon, int buttons,
                              const QString& shownText) {
            return u"%1|%2|%3|%4"_s.arg(title).arg(icon).arg(buttons).arg(shownText);
        };
        QStringList seen;
        // The next box notes what it shows and is answered with `button`.
        const auto answer = [&](QMessageBox::StandardButton button) {
            whenModal<QMessageBox>([&seen, &shown, button](QMessageBox* box) {
                seen << shown(box->windowTitle(), box->icon(), box->standardButtons(), box->text());
                box->button(button)->click();
            });
        };
        answer(QMessageBox::Ok);
        m.warning(nullptr, text);
        answer(QMessageBox::Ok);
        m.information(nullptr, text);
        answer(QMessageBox::Ok);
        m.error(nullptr, text);
        answer(QMessageBox::Ok);
        m.notice(nullptr, text);
        answer(QMessageBox::Yes);
        QVERIFY(m.confirm(nullptr, text));
        answer(QMessageBox::No);
        QVERIFY(!m.confirmTitled(nullptr, u"Atención"_s, text));
        const int ok = QMessageBox::Ok;
        const int yesNo = QMessageBox::Yes | QMessageBox::No;
        QCOMPARE(seen, (QStringList{shown(u"Esfuerzo"_s, QMessageBox::Warning, ok, text),
                                    shown(u"Esfuerzo"_s, QMessageBox::Information, ok, text),
                                    shown(u"Esfuerzo"_s, QMessageBox::Critical, ok, text),
                                    shown(u"Esfuerzo"_s, QMessageBox::Question, ok, text),
                                    shown(u"Esfuerzo"_s, QMessageBox::Question, yesNo, text),
                                    shown(u"Atención"_s, QMessageBox::Question, yesNo, text)}));
    }
    void inputKeepsWhatTheBoxHoldsConfirmedOrNot()
    {
        const Services s = Services::standard();
        MessageBoxes& m = *s.messages;
        for (const bool confirmed : {true, false}) {
            QString seen;
            whenModal<QInputDialog>([&](QInputDialog* box) {
                seen = box->windowTitle() + u'|' + box->labelText() + u'|' + box->textValue();
                box->setTextValue(u"190"_s);
                confirmed ? box->accept() : box->reject();
            });
            QCOMPARE(m.input(nullptr, u"Frecuencia Máxima"_s, u"Valor"_s, u"166"_s), u"190"_s);
            QCOMPARE(seen, u"Frecuencia Máxima|Valor|166"_s);
        }
    }
    void fileDialogsReturnTheChoiceOrNothing()
    {
        QTemporaryDir dir;
        QVERIFY(QFile(dir.filePath(u"a.txt"_s)).open(QIODevice::WriteOnly));
        const Services s = Services::standard();
        FileDialogs& f = *s.files;
        const QString filters = u"Texto (*.txt);;Todos (*)"_s;
        const auto choose = [this](const QString& file) {
            whenModal<QFileDialog>([file](QFileDialog* d) {
                if (file.isEmpty())
                    return d->reject();
                d->selectFile(file);
                d->selectNameFilter(u"Todos (*)"_s);
                static_cast<QDialog*>(d)->accept(); // as the Open button does
            });
        };
        QString filter;
        choose(u"a.txt"_s);
        QCOMPARE(f.openFile(nullptr, u"Abrir"_s, dir.path(), filters, &filter),
                 dir.filePath(u"a.txt"_s));
        QCOMPARE(filter, u"Todos (*)"_s);
        choose(u"b.txt"_s);
        QCOMPARE(f.saveFile(nullptr, u"Guardar"_s, dir.path(), filters, nullptr),
                 dir.filePath(u"b.txt"_s));
        choose(QString());
        QVERIFY(f.openFile(nullptr, u"Abrir"_s, dir.path(), filters, nullptr).isEmpty());
    }
    void timersTickAndQuitEndsTheEventLoop()
    {
        const Services s = Services::standard();
        const std::unique_ptr<TickTimer> t = s.makeTimer();
        int ticks = 0;
        t->onTimeout = [&ticks] { ++ticks; };
        t->setInterval(1);
        QCOMPARE(t->interval(), 1);
        t->start();
        QVERIFY(t->isActive());
        QTRY_VERIFY(ticks >= 2);
        t->stop();
        QVERIFY(!t->isActive());
        QCOMPARE(s.today(), QDate::currentDate());
        s.beep();

        QTimer::singleShot(0, qApp, s.quit);
        const QObject guard; // should quit do nothing, the loop still ends, with a failure
        QTimer::singleShot(5000, &guard, [] { QCoreApplication::exit(1); });
        QCOMPARE(QApplication::exec(), 0);
    }

private:
    // Hands the modal window of type T to `act` once it is up; a missing one fails the test.
    template <class T> void whenModal(std::function<void(T*)> act)
    {
        QTimer::singleShot(0, this, [act] {
            auto* w = qobject_cast<T*>(QApplication::activeModalWidget());
            QVERIFY2(w, "no modal window of the expected kind");
            act(w);
        });
    }
};

QTEST_MAIN(TestServices)
#include "tst_services.moc"
