#include "Fixtures.h"
#include "TestSupport.h"
#include "app/TZuvudezidedFrm.h"
#include "protocol/MaxHeartRate.h"
#include "records/TAbrirPacfrm.h"
#include "records/TPacfrm.h"
#include <QRadioButton>
#include <QStatusBar>

#include <QAction>
#include <QLabel>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

// Start-up, configuration, playback and display of the main window, and its patient and header
// commands with the real dialogs.
class TestMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_work.emplace();
        m_messages = std::make_shared<FakeMessages>();
        m_quits = 0;
    }
    void cleanup() { m_work.reset(); }

    void firstStartInAnEmptyFolderAndTheFirstNewPatient()
    {
        auto w = makeWindow();
        QCOMPARE(readFile(path(u"Zirod.ini"_s)), QByteArray(107, '\0'));
        // The absent port is reported once; nothing else complains.
        QCOMPARE(m_messages->shown.size(), 1);
        QVERIFY(m_messages->shown[0].text.startsWith(u"Unable to open com port (error code: "_s));
        QCOMPARE(w->workDir(), QDir::currentPath() + QLatin1Char('/'));

        // Without a recording nothing plays; the units are read at activation.
        writeFile(path(u"Datosgen.txt"_s), "\r\n\r\n\r\n\r\n[Kgm]\r\n[Pa]\r\n[m/s]\r\nlpm\r\n");
        QVERIFY(w->units().rate.isEmpty());
        w->FormActivate();
        QCOMPARE(w->FrecUnLbl->text(), u"lpm"_s);
        QVERIFY(!w->demoTimerActive());

        // Zirod.ini says no patient yet, but 00000001.dat is there from an older copy.
        const QByteArray other = QByteArray(177, '\x01');
        writeFile(path(u"00000001.dat"_s), other);
        whenShown([this] {
            TPacfrm* d = m_window->Pacfrm.get();
            d->NombreEd->setText(u"Ana"_s);
            d->ApellidoEd->setText(u"Peña"_s);
            d->FNacMsk->setText(u"01/01/1960"_s);
            d->AlturaMsk->setText(u"170"_s);
            d->Femeninoslc->setChecked(true);
            d->OkBtn->click();
        });
        w->PacNuevomnu->trigger();
        QCOMPARE(w->patientFileName(), u"00000002.DAT"_s);
        QCOMPARE(readFile(path(u"00000001.dat"_s)), other);
        const PatientHeader h = readPatientHeader(path(u"00000002.DAT"_s));
        QCOMPARE(h.data.surname, u"Peña"_s);
        QCOMPARE(h.version, u"2007.1.1"_s);
        QCOMPARE(readFile(path(u"Zirod.ini"_s)).left(4), QByteArray("\x02\0\0\0", 4));
        QCOMPARE(w->statusPanels[1]->text(), u"Edad: 66"_s);
        // Robinson, a woman of 66: 166, and 85 % of it.
        QCOMPARE(w->FrecMaxTxt->text(), u"166"_s);
        QCOMPARE(w->FrecSMaxTxt->text(), u"141"_s);

        // The user's own formula asks for the rate; the header shows it at its next refresh.
        m_messages->inputs = {u"190"_s, u"19O"_s};
        w->formulaItems[kUserFormula]->trigger();
        QCOMPARE(m_messages->shown.back().text, u"Frecuencia Máxima|166"_s);
        QCOMPARE(w->config().maxHRFormula, kUserFormula);
        whenShown([this] { m_window->Pacfrm->OkBtn->click(); });
        w->StatusBarPacDblClick();
        QCOMPARE(w->FrecMaxTxt->text(), u"190"_s);
        w->formulaItems[kUserFormula]->trigger();
        QCOMPARE(w->userMaxHR(), 190);
        QCOMPARE(m_messages->shown.back().text, u"'19O' no es un valor entero válido"_s);
    }
    void missingForeignAndDamagedConfigurationsAndExit()
    {
        // Missing beside patient files: one warning, and the number continues after theirs.
        for (const char* n : {"00000003.DAT", "00000012.DAT", "ABCDEFGH.DAT", "12.DAT"})
            writeFile(path(QLatin1String(n)), QByteArray());
        auto w = makeWindow();
        QCOMPARE(m_messages->count(u"warning"_s), 1);
        QCOMPARE(m_messages->shown[0].text,
                 u" Falta archivo Zirod.ini. El programa creará uno nuevo, pero pueden destruirse "
                 u"los estudios grabados"_s);
        QCOMPARE(readFile(path(u"Zirod.ini"_s)), "\x0c" + QByteArray(106, '\0'));

        // Port and formula indexes of another installation check nothing; port 5 is COM6, which
        // this folder maps to a missing device. What follows byte 107 is kept.
        QByteArray ini(107, '\0');
        ini[0] = char(12);
        ini[4] = char(5);
        ini[5] = char(9);
        ini.replace(6, 9, "BRUCE.pro"); // not in this folder: nothing to load, nothing to say
        ini[106] = char(9);
        writeFile(path(u"Zirod.ini"_s), ini + "TAIL");
        m_messages->shown.clear();
        w = makeWindow();
        QVERIFY(!w->COM1mnu->isChecked() && !w->COM2mnu->isChecked() && !w->COM3mnu->isChecked());
        w->formulaItems[3]->trigger();
        w->COM2mnu->trigger();
        // Zirod.ini is only written at exit.
        QCOMPARE(readFile(path(u"Zirod.ini"_s)), ini + "TAIL");
        w->SalirmnuClick();
        ini[4] = char(1);
        ini[106] = char(3);
        QCOMPARE(readFile(path(u"Zirod.ini"_s)), ini + "TAIL");
        QCOMPARE(m_quits, 1);
    }
    void playbackDrivesTheDisplayAndRestartsAfterABox()
    {
        QVERIFY(QFile::copy(QStringLiteral(ESF_TEST_DATA "/rest-12lead-II-V2-V5.ecg"),
                            path(u"ECG-1.ecg"_s)));
        const QByteArray raw = readFile(path(u"ECG-1.ecg"_s));
        const auto firstSample = static_cast<qint16>(quint8(raw[0]) | (quint8(raw[1]) << 8));
        auto w = makeWindow();
        w->show();
        w->FormActivate();
        const QImage grid = w->sweep().image().copy();
        const QImage emptyBox = w->qrsImage().copy();
        for (int tick = 0; tick < 200; ++tick)
            w->demoTimer().onTimeout();
        QCOMPARE(w->monitor().ring.writeIndex, 0); // exactly ten frames a tick
        const int rate = w->FrecTxt->text().toInt();
        QVERIFY2(rate > 40 && rate < 70, qPrintable(w->FrecTxt->text())); // about 61/min, settling
        QVERIFY(w->sweep().image() != grid && w->qrsImage() != emptyBox); // both are drawn

        // "Promediar QRS" off freezes the average and its box.
        w->PromQRSmnu->trigger();
        const QrsBeats frozen = w->monitor().qrs.values;
        const QImage box = w->qrsImage().copy();
        for (int tick = 0; tick < 207; ++tick)
            w->demoTimer().onTimeout();
        QCOMPARE(w->monitor().qrs.values, frozen);
        QCOMPARE(w->qrsImage(), box);
        w->PromQRSmnu->trigger();

        // A box closes and the window is active again: the ring carries on where it was, the
        // recording and the sweep start over.
        QCOMPARE(w->monitor().ring.writeIndex, 70);
        QVERIFY(w->sweep().state().sweepX > 0);
        const int before = w->activationCount();
        w->Acercamnu->trigger();
        QVERIFY(m_messages->shown.back().text.contains(u"Versión 2007.1.1"_s));
        QCOMPARE(w->activationCount(), before + 1);
        QCOMPARE(w->sweep().state().sweepX, 0);
        w->demoTimer().onTimeout();
        QCOMPARE(w->monitor().ring.at(0, 71), int(firstSample));

        // Coming back from another window restarts it too, once per return.
        for (QEvent::Type t :
             {QEvent::WindowDeactivate, QEvent::WindowActivate, QEvent::WindowActivate}) {
            QEvent e(t);
            QCoreApplication::sendEvent(w.get(), &e);
        }
        QCOMPARE(w->activationCount(), before + 2);

        w->FiltroBut->trigger();
        QVERIFY(w->FiltroEst->isEnabled() && w->monitor().settings.filterOn);
        QStringList seen{w->VelEst->text() + w->GanEst->text()};
        for (int i = 0; i < 3; ++i) {
            w->VelBut->trigger();
            w->GanBut->trigger();
            seen << w->VelEst->text() + w->GanEst->text();
        }
        QCOMPARE(seen.join(u'|'),
                 u"25 mm/s1.0cm/mV|50 mm/s2.0cm/mV|10 mm/s0.5cm/mV|25 mm/s1.0cm/mV"_s);
        // The port was reported once at start; gain changes on a closed port stay quiet.
        QCOMPARE(m_messages->count(u"error"_s), 1);

        // The detection lead moves only the heart symbol.
        QCOMPARE(w->heartlbl->y(), w->DerivLbl1->y());
        w->V5mnu->trigger();
        w->V5mnu->trigger(); // choosing the checked item keeps it checked
        QVERIFY(w->V5mnu->isChecked() && !w->D2mnu->isChecked() && !w->V2mnu->isChecked());
        QCOMPARE(w->heartlbl->y(), w->DerivLbl3->y());
    }
    void existingPatientIsCorrectedAndOnlyAnotherCanBeDeleted()
    {
        writePatient(path(u"00000001.DAT"_s), {u"Ana"_s, u"Alba"_s, 160, u"01/01/1970"_s, 0}, 0);
        writePatient(path(u"00000002.DAT"_s), {u"Beto"_s, u"Bravo"_s, 170, u"01/01/1971"_s, 1}, 1,
                     {u"0002_001.est|01/02/2026"_s});
        writeFile(path(u"0002_001.est"_s), "study");
        writeFile(path(u"0002_001.INF"_s), "report");
        writePatient(path(u"00000007.DAT"_s), {u"Luis"_s, u"Gómez"_s, 180, u"15/06/1980"_s, 1}, 2);
        appendFile(path(u"00000007.DAT"_s), QByteArray(48, 'x')); // two entries, kept as they are
        auto w = makeWindow();
        choosePatientRow(2); // Gómez, Luis
        w->PacExistentemnu->trigger();
        QCOMPARE(w->patientFileName(), u"00000007.DAT"_s);
        QCOMPARE(w->statusPanels[2]->text(), u"Masculino"_s);
        whenShown([this] {
            TPacfrm* dlg = m_window->Pacfrm.get();
            QCOMPARE(dlg->NombreEd->text(), u"Luis"_s);
            dlg->NombreEd->setText(u"José Luis"_s);
            dlg->OkBtn->click();
        });
        QTest::mouseDClick(w->StatusBarPac, Qt::LeftButton);
        QCOMPARE(w->statusPanels[0]->text(), u"Paciente: Gómez, José Luis"_s);
        QCOMPARE(readFile(path(u"00000007.DAT"_s)).size(), 177 + 48);

        m_messages->answers = {false};
        choosePatientRow(1); // Bravo, Beto
        w->BorrarPacmnu->trigger();
        QCOMPARE(m_messages->titles.back(), u"Atención"_s);
        QCOMPARE(m_messages->shown.back().text, u"¿Desea borrar los estudios de Bravo, Beto?"_s);
        QVERIFY(QFile::exists(path(u"00000002.DAT"_s)));

        choosePatientRow(1);
        w->BorrarPacmnu->trigger();
        for (const char* gone : {"00000002.DAT", "0002_001.est", "0002_001.INF"})
            QVERIFY2(!QFile::exists(path(QLatin1String(gone))), gone);
        QVERIFY(QFile::exists(path(u"00000001.DAT"_s)));
    }

private:
    std::unique_ptr<TZuvudezidedFrm> makeWindow()
    {
        auto w = std::make_unique<TZuvudezidedFrm>(fakeServices(m_messages, &m_quits));
        w->resize(1200, 800);
        m_window = w.get();
        return w;
    }
    void choosePatientRow(int row)
    {
        whenShown([=, this] {
            TAbrirPacfrm* d = m_window->AbrirPacfrm.get();
            d->ListPac->setCurrentRow(row);
            d->OKBtn->click();
        });
    }
    QString path(const QString& name) const { return m_work->path(name); }
    std::optional<WorkFolder> m_work;
    std::shared_ptr<FakeMessages> m_messages;
    int m_quits = 0;
    TZuvudezidedFrm* m_window = nullptr;
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
