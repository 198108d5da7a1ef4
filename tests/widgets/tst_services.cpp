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
    void boxesShowTheTextAndReturnTheAnswer_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<int>("press");
        QTest::addColumn<QString>("shown"); // title|icon|buttons
        QTest::addColumn<bool>("answer");
        const int ok = QMessageBox::Ok;
        const int yesNo = QMessageBox::Yes | QMessageBox::No;
        const auto shown = [](const QString& title, int icon, int buttons) {
            return title + u'|' + QString::number(icon) + u'|' + QString::number(buttons);
        };
        QTest::newRow("warning") << u"warning"_s << ok << shown(u"Esfuerzo"_s, 2, ok) << false;
        QTest::newRow("information") << u"info"_s << ok << shown(u"Esfuerzo"_s, 1, ok) << false;
        QTest::newRow("error") << u"error"_s << ok << shown(u"Esfuerzo"_s, 3, ok) << false;
        QTest::newRow("notice") << u"notice"_s << ok << shown(u"Esfuerzo"_s, 4, ok) << false;
        QTest::newRow("confirm yes")
            << u"confirm"_s << int(QMessageBox::Yes) << shown(u"Esfuerzo"_s, 4, yesNo) << true;
        QTest::newRow("titled no")
            << u"titled"_s << int(QMessageBox::No) << shown(u"Atención"_s, 4, yesNo) << false;
    }
    void boxesShowTheTextAndReturnTheAnswer()
    {
        QFETCH(QString, call);
        QFETCH(int, press);
        QFETCH(QString, shown);
        QFETCH(bool, answer);
        const Services s = Services::standard();
        MessageBoxes& m = *s.messages;
        const QString text = u"¿Detener el estudio?"_s;
        QString seen;
        whenModal<QMessageBox>([&](QMessageBox* box) {
            seen = box->windowTitle() + u'|' + QString::number(box->icon()) + u'|' +
                   QString::number(box->standardButtons()) + u'|' + box->text();
            box->button(QMessageBox::StandardButton(press))->click();
        });
        bool result = false;
        if (call == u"warning"_s)
            m.warning(nullptr, text);
        else if (call == u"info"_s)
            m.information(nullptr, text);
        else if (call == u"error"_s)
            m.error(nullptr, text);
        else if (call == u"notice"_s)
            m.notice(nullptr, text);
        else if (call == u"confirm"_s)
            result = m.confirm(nullptr, text);
        else
            result = m.confirmTitled(nullptr, u"Atención"_s, text);
        QCOMPARE(seen, shown + u'|' + text);
        QCOMPARE(result, answer);
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
        choose(dir.path());
        QCOMPARE(f.directory(nullptr, u"Carpeta"_s, dir.path()), dir.path());
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
            if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget()))
                act(w);
            else
                QFAIL("no modal window of the expected kind");
        });
    }
};

QTEST_MAIN(TestServices)
#include "tst_services.moc"
