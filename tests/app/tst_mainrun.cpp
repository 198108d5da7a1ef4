#include "Fixtures.h"
#include "TestSupport.h"
#include "app/PieGaugeView.h"
#include "app/TZuvudezidedFrm.h"
#include "protocol/PressureEdit.h"
#include "protocol/TVirezAde.h"
#include "records/StudyFile.h"
#include "records/TAbrirEstfrm.h"
#include "records/TAbrirPacfrm.h"
#include "records/TEstudioExistFrm.h"
#include "records/TPacfrm.h"
#include "st/TQRSview.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QStatusBar>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

// Whole study runs driven through the stage clock and the sample timer.
class TestMainRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_work.emplace();
        QVERIFY(QFile::copy(QStringLiteral(ESF_TEST_DATA "/rest-12lead-II-V2-V5.ecg"),
                            path(u"ECG-1.ecg"_s)));
        saveProtocol(20, 20, 20);
        createZirod(path(u"Zirod.ini"_s), {12, 0, u"CORTO.pro"_s, 0});
        m_messages = std::make_shared<FakeMessages>();
        m_beeps = 0;
    }
    void cleanup()
    {
        m_w.reset();
        m_work.reset();
    }

    void threeStageStudyWritesOneRecordPerStageEnd()
    {
        makeWindow();
        QCOMPARE(m_w->statusPanels[3]->text(), u"Protocolo:CORTO"_s); // named in Zirod.ini
        QVERIFY(!m_w->InicioBut->isEnabled());
        m_w->Estudionuevomnu->trigger();
        QCOMPARE(m_w->session().studyCount, 1);
        QCOMPARE(m_w->statusPanels[4]->text(), u"Fecha: 06/12/2026"_s);
        QVERIFY(m_w->InicioBut->isEnabled() && m_w->Guardarmnu->isEnabled());

        m_w->InicioBut->trigger();
        QVERIFY(m_w->stageClock().isActive() && !m_w->InicioBut->isEnabled());
        QVERIFY(!m_w->Protocolosmnu->menuAction()->isEnabled());
        tick(1);
        QCOMPARE(m_w->Gauge1->foreColor(), QColor(255, 0, 0)); // 19 s left: the last 30 seconds
        QCOMPARE(m_w->Gauge1->progress(), 95);
        QCOMPARE(m_beeps, 1);

        m_w->setCurrentST({0.1f, -0.2f, 0.05f});
        answerPressures(130, 80, false);
        tick(19);             // stage 1 ends
        QCOMPARE(m_beeps, 2); // the stage-end alert; stage 2 starts red, so no second warning
        QCOMPARE(m_w->run().currentStage, 2);
        QCOMPARE(m_w->SisPresEd->value(), 130);
        QCOMPARE(m_w->currentST()[0], -1000.0f);
        const QString study = path(u"0012_001.est"_s);
        QCOMPARE(QFileInfo(study).size(), 388 + 24051);
        QCOMPARE(readStudyEntries(path(u"00000012.DAT"_s)).size(), 1);

        answerPressures(160, 85, true);
        tick(20);
        answerPressures(120, 75, false);
        tick(20); // the last stage ends the run
        QVERIFY(!m_w->stageClock().isActive());
        QCOMPARE(m_w->EtapaNLbl->text(), u"Prot. detenido"_s);
        QCOMPARE(m_w->TiempoResTxt->text(), u"00:20"_s);
        QVERIFY(m_w->Protocolosmnu->menuAction()->isEnabled() && !m_w->InicioBut->isEnabled());
        QCOMPARE(QFileInfo(study).size(), 388 + 3 * 24051);
        QCOMPARE(readStudyEntries(path(u"00000012.DAT"_s)).size(), 1);
        QCOMPARE(readPatientHeader(path(u"00000012.DAT"_s)).studyCount, 1);

        const StudyRead first = readStudyRecord(study, 1, kSoftwareVersion);
        QCOMPARE(first.record.kind, RecordKind::Automatic);
        QCOMPARE(first.record.stage, 1);
        QCOMPARE(first.record.elapsed, 20);
        QCOMPARE(first.record.systolic, 130);
        QCOMPARE(first.record.st[1], -0.2f); // measured during the stage, stored at its end
        QCOMPARE(first.record.strip[0][2000], first.record.strip[0][0]);
        QVERIFY(first.record.heartRate > 40);
        const StudyRead second = readStudyRecord(study, 2, kSoftwareVersion);
        QCOMPARE(second.record.angina, 1);
        QCOMPARE(second.record.st[0], -1000.0f);
        const StudyRead third = readStudyRecord(study, 3, kSoftwareVersion);
        QCOMPARE(third.record.stage, 3);
        QCOMPARE(third.record.elapsed, 60);
        QVERIFY(third.atEnd);
        QCOMPARE(m_w->anginaFlag(), 0);
    }
    void manualRecordsJumpsMeasuredStAndRefusedStarts()
    {
        makeWindow();
        m_w->Estudionuevomnu->trigger();
        // One baseline step down on V2 makes its ST level something other than zero.
        whenShown([this] {
            m_w->QRSview->UpDownV2Changing(-1);
            m_w->QRSview->Okbtn->click();
        });
        m_w->QRSdispDblClick();
        const std::array<float, 3> st = m_w->currentST();
        QVERIFY(st[1] != kStNotMeasured);
        // Jumps and saves work before the clock starts; the ST measured goes into the record.
        m_w->GuardarBut->trigger();
        const QString study = path(u"0012_001.est"_s);
        QCOMPARE(QFileInfo(study).size(), 388 + 24051);
        QCOMPARE(readStudyRecord(study, 1, kSoftwareVersion).record.st, st);
        Q_EMIT m_w->Informemnu->aboutToShow(); // the summary needs a record on disk
        QVERIFY(m_w->ResumenClinicomnu->isEnabled());
        m_w->AvanzaBut->trigger();
        QCOMPARE(m_w->run().currentStage, 2);
        m_w->SiguienteBut->trigger(); // manual record, then the recovery stage
        QCOMPARE(m_w->run().currentStage, 3);
        QVERIFY(!m_w->SiguienteBut->isEnabled());
        m_w->AvanzaBut->trigger(); // already on the last stage
        QCOMPARE(m_w->run().currentStage, 3);
        QCOMPARE(QFileInfo(study).size(), 388 + 2 * 24051);
        const StudyRead r = readStudyRecord(study, 2, kSoftwareVersion);
        QCOMPARE(r.record.kind, RecordKind::Manual);
        QCOMPARE(r.record.stage, 2);

        m_w->DetenerBut->trigger();
        QVERIFY(!m_w->GuardarBut->isEnabled());
        // A second study of the same patient goes to a file of its own.
        m_w->Estudionuevomnu->trigger();
        m_w->Guardarmnu->trigger();
        QCOMPARE(QFileInfo(path(u"0012_002.est"_s)).size(), 388 + 24051);
        QCOMPARE(readStudyEntries(path(u"00000012.DAT"_s)).size(), 2);

        // A strip that cannot be written is reported, never dropped in silence.
        QVERIFY(QFile::remove(path(u"0012_002.est"_s)));
        QVERIFY(QDir().mkdir(path(u"0012_002.est"_s)));
        m_w->Guardarmnu->trigger();
        QCOMPARE(
            m_messages->lines().constLast(),
            u"error: Error de apertura en el archivo \"0012_002.est\": no es un archivo normal"_s);

        makeWindow(u"2007.1.0"_s);
        m_w->Estudionuevomnu->trigger();
        QCOMPARE(m_messages->shown.back().text,
                 QStringLiteral("El paciente seleccionado fué cargado con una versión anterior de "
                                "software. Debe volver a ingresarlo"));
        QVERIFY(!m_w->session().newStudyPending && !m_w->InicioBut->isEnabled());

        makeWindow(kSoftwareVersion, 255);
        m_w->Estudionuevomnu->trigger();
        QVERIFY(m_messages->shown.back().text.contains(u"255"_s));
        QCOMPARE(m_w->session().studyCount, 255);
    }
    void secondStageEndClosesTheWaitingDialogAndClosingAsksFirst()
    {
        saveProtocol(2, 0, 30);
        makeWindow();
        m_w->Estudionuevomnu->trigger();
        m_w->InicioBut->trigger();
        tick(1);
        // Stage 1 ends; while its "Presiones" waits, the clock ticks on and the empty stage 2
        // ends too: the first dialog is closed with what it held and both records are kept.
        answerPressures(140, 80, false, [this] {
            QCOMPARE(m_w->run().currentStage, 2); // the next stage already counts
            answerPressures(150, 90, false);
            m_w->stageClock().onTimeout();
        });
        tick(1);
        QTRY_VERIFY(!m_w->VirezAde->isVisible());
        const QString study = path(u"0012_001.est"_s);
        QCOMPARE(QFileInfo(study).size(), 388 + 2 * 24051);
        QCOMPARE(readStudyRecord(study, 1, kSoftwareVersion).record.systolic, 140);
        QCOMPARE(readStudyRecord(study, 2, kSoftwareVersion).record.systolic, 150);
        QCOMPARE(m_w->run().currentStage, 3);

        // Closing the window in the middle of the run asks first and keeps what was written.
        tick(3);
        m_messages->answers = {true};
        QVERIFY(m_w->close());
        QCOMPARE(m_messages->shown.back().text,
                 u"Hay un estudio en curso. ¿Detener el estudio y salir?"_s);
        QVERIFY(m_w->exited() && !m_w->stageClock().isActive());
        QCOMPARE(QFileInfo(study).size(), 388 + 2 * 24051);
        QCOMPARE(readStudyRecord(study, 2, u"2007.1.1"_s).record.systolic, 150);
    }
    void openingAStoredStudyDisarmsTheNewOneAndABrokenOneIsRefused()
    {
        makeWindow();
        m_w->Estudionuevomnu->trigger();
        m_w->Guardarmnu->trigger(); // study 1 is on disk
        m_w->DetenerBut->trigger();
        m_w->Estudionuevomnu->trigger(); // study 2 armed, nothing written yet
        QCOMPARE(m_w->session().studyCount, 2);

        // Opening the stored study gives the armed one up: its number goes back and nothing
        // can run into the old file.
        whenShown([this] { chooseStudy(false); });
        m_w->EstudioExistmnu->trigger();
        QCOMPARE(m_w->session().studyCount, 1);
        QVERIFY(!m_w->session().newStudyPending);
        QVERIFY(!m_w->InicioBut->isEnabled() && !m_w->SiguienteBut->isEnabled());
        const qint64 before = QFileInfo(path(u"0012_001.est"_s)).size();
        m_w->GuardarmnuClick(); // reached only by a script: refused aloud, nothing appended
        QVERIFY(m_messages->shown.back().text.startsWith(u"No hay un estudio en curso"_s));
        QCOMPARE(QFileInfo(path(u"0012_001.est"_s)).size(), before);

        m_w->Estudionuevomnu->trigger();
        m_w->Guardarmnu->trigger(); // study 2 is current
        QVERIFY(QFile::remove(path(u"0012_001.est"_s)));
        whenShown([this] { chooseStudy(false); });
        m_w->EstudioExistmnu->trigger();
        QCOMPARE(m_messages->shown.back().text,
                 u"Problemas para abrir el archivo de estudio.Posiblemente dañado"_s);
        QCOMPARE(m_w->session().studyFileName, u"0012_002.est"_s);

        // "Ver estudio" reviews the current study and hands the print marks back.
        closeReview(true);
        m_w->VerEstBut->trigger();
        QVERIFY(m_w->EstudioExistFrm->windowTitle().startsWith(
            u"Estudio de archivo: 0012_002.est, "_s));
        QCOMPARE(m_w->run().printSelection.count(), 1u);

        // Choosing a patient again in the ready state disarms the run as well.
        m_w->Estudionuevomnu->trigger();
        whenShown([this] { choosePatient(); });
        m_w->PacExistentemnu->trigger();
        QVERIFY(!m_w->InicioBut->isEnabled() && !m_w->AvanzaBut->isEnabled());

        // A study opened without opening its patient becomes current, with its marks and date.
        m_w->Cerrarpacmnu->trigger();
        whenShown([this] {
            choosePatient();
            QTimer::singleShot(0, m_w.get(), [this] { chooseStudy(true, 1); });
        });
        m_w->AbrirBut->trigger();
        QVERIFY(!m_w->patientOpen());
        QVERIFY(m_w->EstudioExistFrm->windowTitle().startsWith(
            u"Estudio de archivo: 0012_002.est, "_s));
        QVERIFY(m_w->run().printSelection.test(1));
        QCOMPARE(m_w->statusPanels[4]->text(), u"Fecha: 06/12/2026"_s);
        QVERIFY(!m_w->Guardarmnu->isEnabled());

        // That patient's study is current though the patient was never opened: not deletable.
        whenShown([this] { choosePatient(); });
        m_w->BorrarPacmnu->trigger();
        QCOMPARE(
            m_messages->shown.back().text,
            u"Los archivos del paciente selecionado están en uso, debe cerrarlo para borrar"_s);
        QVERIFY(QFile::exists(path(u"00000012.DAT"_s)) && QFile::exists(path(u"0012_002.est"_s)));
    }
    void noRouteChangesTheStudyWhileRunning()
    {
        makeWindow();
        m_w->Estudionuevomnu->trigger();
        m_w->InicioBut->trigger();
        tick(2);
        // Everything a route could change, in one line.
        const auto state = [this] {
            const ZirodConfig c = m_w->config();
            return QStringList{m_w->patientFileName(),
                               QString::number(m_w->studyCount()),
                               QString::number(m_w->run().currentStage),
                               QString::number(m_w->run().stageRemaining),
                               m_w->currentProtocol().name,
                               QString::fromLatin1(readFile(path(u"Zirod.ini"_s)).toHex()),
                               QString::number(c.maxHRFormula),
                               QString::number(c.portIndex),
                               QString::number(m_w->monitor().averagingOn),
                               QString::number(m_messages->shown.size())}
                .join(u'|');
        };
        const QString before = state();
        int dialogs = 0; // a window that opened anyway is closed again, so a failure cannot hang
        QTimer sweeper;
        connect(&sweeper, &QTimer::timeout, &sweeper, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                ++dialogs;
                modal->close();
            }
        });
        sweeper.start(5);

        // Every command of the four main menus, the patient pop-up and the study buttons.
        Q_EMIT m_w->StatusBarPac->customContextMenuRequested(QPoint(5, 5));
        QVERIFY(!m_w->PacPopupmnu->isEnabled());
        m_w->PacPopupmnu->close();
        QList<QAction*> routes = m_w->PacPopupmnu->actions();
        routes << m_w->NuevoEstBut << m_w->AbrirBut << m_w->VerEstBut;
        const std::function<void(QMenu*)> walk = [&](QMenu* menu) {
            for (QAction* a : menu->actions()) {
                if (a->menu())
                    walk(a->menu());
                else if (!a->isSeparator() && a != m_w->Guardarmnu)
                    routes << a;
            }
        };
        const QList<QMenu*> menus{m_w->Archivomnu, m_w->Configmnu, m_w->Protocolosmnu,
                                  m_w->Informemnu};
        for (QMenu* m : menus)
            walk(m);
        for (QAction* a : std::as_const(routes)) {
            a->setEnabled(true); // as a screen reader or a script would reach it
            a->trigger();
        }
        QTest::qWait(20);

        for (QMenu* m : menus)
            QVERIFY2(!m->menuAction()->isEnabled(), qPrintable(m->title()));
        QCOMPARE(dialogs, 0);
        QCOMPARE(state(), before);
        QVERIFY(!m_w->exited() && m_w->stageClock().isActive() && m_w->patientOpen());
        QVERIFY(m_w->session().newStudyPending);

        // Correcting the open patient's data changes no study and stays at hand.
        whenShown([this] { m_w->Pacfrm->reject(); });
        m_w->StatusBarPacDblClick();
        QVERIFY(m_w->Pacfrm->isHidden());
    }
    void liveValuesReachAssistiveTools()
    {
        makeWindow();
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
        auto value = [](QWidget* w) {
            QAccessibleInterface* i = QAccessible::queryAccessibleInterface(w);
            return i->text(QAccessible::Name) + u'=' + i->text(QAccessible::Value);
        };
        QCOMPARE(value(m_w->CargaEtapaTxt), u"Carga=0.0"_s);
        m_w->Estudionuevomnu->trigger();
        m_w->InicioBut->trigger();
        tick(3);
        QCOMPARE(value(m_w->EtapaNLbl), u"Etapa=Etapa nº 1"_s);

        // The heart rate reads as text and as a number; nothing in it can be selected.
        const QString rate = m_w->FrecTxt->text();
        QCOMPARE(value(m_w->FrecTxt), u"Frecuencia cardíaca="_s + rate);
        QAccessibleInterface* i = QAccessible::queryAccessibleInterface(m_w->FrecTxt);
        const QAccessibleValueInterface* v = i->valueInterface();
        QCOMPARE(v->currentValue().toString(), rate);
        QCOMPARE(v->minimumValue().toString() + v->maximumValue().toString(), rate + rate);
        QAccessibleTextInterface* t = i->textInterface();
        QCOMPARE(t->text(1, rate.size()), rate.mid(1));
        int start = -1;
        int end = -1;
        QVERIFY(t->attributes(0, &start, &end).isEmpty());
        QCOMPARE((QList<int>{start, end, t->selectionCount(), t->cursorPosition()}),
                 (QList<int>{0, int(rate.size()), 0, 0}));
        // A stage name is text without a value.
        QVERIFY(!QAccessible::queryAccessibleInterface(m_w->EtapaNLbl)->valueInterface());
        m_w->DetenerBut->trigger(); // the run's own command stays live while it runs
        QVERIFY(!m_w->stageClock().isActive());
    }

private:
    // CORTO.pro: three stages on the bicycle lasting these many seconds.
    void saveProtocol(int basal, int exercise, int recovery)
    {
        const ProtocolRecord p =
            makeProtocol(u"CORTO"_s, Device::Bicicleta,
                         {{1, StageType::Basal, basal, 0.0f, 0.0f, 0.0f},
                          {2, StageType::Ejercicio, exercise, 50.0f, 0.0f, 0.0f},
                          {3, StageType::Recuperacion, recovery, 0.0f, 0.0f, 0.0f}});
        saveProtocolFile(QDir(m_work->dir()), p);
    }
    void makeWindow(const QString& version = kSoftwareVersion, int studies = 0)
    {
        const QString patient = path(u"00000012.DAT"_s);
        writePatient(patient, kAna, studies);
        writeFile(patient, readFile(patient).replace(75, 101, encodeString(version, 100)));
        Services s = fakeServices(m_messages);
        s.beep = [this] { ++m_beeps; };
        m_w = std::make_unique<TZuvudezidedFrm>(s);
        m_w->FormActivate();
        for (int t = 0; t < 200; ++t) // ten seconds of ECG in the rings
            m_w->demoTimer().onTimeout();
        whenShown([this] { choosePatient(); });
        m_w->PacExistentemnu->trigger();
        QVERIFY(m_w->patientOpen());
    }
    void choosePatient()
    {
        m_w->AbrirPacfrm->ListPac->setCurrentRow(0);
        m_w->AbrirPacfrm->OKBtn->click();
    }
    // Opens a study listed (the first by default) and closes its review once it is up.
    void chooseStudy(bool markFirstRecord, int row = 0)
    {
        m_w->AbrirEstfrm->ListEst->setCurrentRow(row);
        m_w->AbrirEstfrm->OKBtn->click();
        closeReview(markFirstRecord);
    }
    void tick(int seconds)
    {
        for (int i = 0; i < seconds; ++i) {
            m_w->demoTimer().onTimeout(); // the ECG runs on meanwhile
            m_w->stageClock().onTimeout();
            QCoreApplication::processEvents(); // a stage end asks for the pressures from here
        }
    }
    // Waits for "Presiones" to be on screen, fills in these values, then confirms them or, when
    // given, does `instead` with the dialog still open.
    void answerPressures(int systolic, int diastolic, bool angina,
                         const std::function<void()>& instead = {})
    {
        auto* poll = new QTimer(m_w.get());
        poll->setInterval(1);
        connect(poll, &QTimer::timeout, poll, [=, this] {
            TVirezAde* d = m_w->VirezAde.get();
            if (!d->isVisible())
                return;
            poll->deleteLater();
            poll->stop();
            d->SisPresEd->setValue(systolic);
            d->DiastPresEd->setValue(diastolic);
            d->AngorChk->setChecked(angina);
            if (instead)
                instead();
            else
                d->OKBtn->click();
        });
        poll->start();
    }
    // Closes the review once it is up, after marking record 1 for printing when asked.
    void closeReview(bool markFirstRecord)
    {
        QTimer::singleShot(0, m_w.get(), [this, markFirstRecord] {
            QTRY_VERIFY(m_w->EstudioExistFrm->isVisible());
            if (markFirstRecord)
                m_w->EstudioExistFrm->ImprimirChk->click();
            m_w->EstudioExistFrm->OkBut->click();
        });
    }
    QString path(const QString& name) const { return m_work->path(name); }

    std::optional<WorkFolder> m_work;
    std::shared_ptr<FakeMessages> m_messages;
    int m_beeps = 0;
    std::unique_ptr<TZuvudezidedFrm> m_w;
};

QTEST_MAIN(TestMainRun)
#include "tst_mainrun.moc"
