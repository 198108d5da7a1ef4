#include "TestSupport.h"
#include "app/TZuvudezidedFrm.h"
#include "app/ZirodIni.h"
#include "common/BinaryIO.h"
#include "protocol/MaxHeartRate.h"
#include "protocol/TAbrirProtDlg.h"
#include "protocol/TNProtoFrm.h"
#include "records/TAbrirPacfrm.h"
#include "records/TPacfrm.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

// The main window's patient, protocol and header commands, with the real dialogs.
class TestMainRecords : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void newPatientGetsTheNextFreeNumberAndTheRatesOfItsFormula();
    void existingPatientIsCorrectedFromTheStatusBar();
    void deletingRefusesTheOpenPatientAndAsksFirst();
    void chosenProtocolIsShownAndComesBackAtStart();
    void newProtocolReplacesTheCurrentOneWithoutAFileName();

private:
    std::unique_ptr<TZuvudezidedFrm> makeWindow();
    void newPatientAna();
    void choosePatientRow(int row);
    QString path(const QString& name) const { return m_work->path(name); }

    std::optional<WorkFolder> m_work;
    std::shared_ptr<FakeMessages> m_messages;
    TZuvudezidedFrm* m_window = nullptr;
};

void TestMainRecords::init()
{
    m_work.emplace();
    m_messages = std::make_shared<FakeMessages>();
}

void TestMainRecords::cleanup()
{
    m_work.reset();
}

std::unique_ptr<TZuvudezidedFrm> TestMainRecords::makeWindow()
{
    auto w = std::make_unique<TZuvudezidedFrm>(fakeServices(m_messages));
    w->resize(1200, 800);
    m_window = w.get();
    return w;
}

// Peña, Ana, born 01/01/1960, through "Paciente nuevo".
void TestMainRecords::newPatientAna()
{
    whenShown([this] {
        TPacfrm* d = m_window->Pacfrm.get();
        d->NombreEd->setText(u"Ana"_s);
        d->ApellidoEd->setText(u"Peña"_s);
        d->FNacMsk->setText(u"01/01/1960"_s);
        d->AlturaMsk->setText(u"170"_s);
        d->Femeninoslc->setChecked(true);
        d->OkBtn->click();
    });
    m_window->PacNuevomnu->trigger();
}

void TestMainRecords::choosePatientRow(int row)
{
    whenShown([=, this] {
        TAbrirPacfrm* d = m_window->AbrirPacfrm.get();
        d->ListPac->setCurrentRow(row);
        d->OKBtn->click();
    });
}

void TestMainRecords::newPatientGetsTheNextFreeNumberAndTheRatesOfItsFormula()
{
    // Zirod.ini says no patient yet, but 00000001.dat is there from an older copy.
    writeFile(path(u"Zirod.ini"_s), QByteArray(107, '\0'));
    const QByteArray other = QByteArray(177, '\x01');
    writeFile(path(u"00000001.dat"_s), other);
    auto w = makeWindow();
    newPatientAna();
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
    QCOMPARE(w->FrecSMaxTxt->text(), u"162"_s);
    w->formulaItems[kUserFormula]->trigger();
    QCOMPARE(w->userMaxHR(), 190);
    QCOMPARE(m_messages->shown.back().text, u"'19O' no es un valor entero válido"_s);

    w->Cerrarpacmnu->trigger(); // clears the header
    QVERIFY(!w->patientOpen() && w->patientFileName().isEmpty());
    QCOMPARE(w->statusPanels[0]->text(), u"Paciente: "_s);
    QVERIFY(w->FrecMaxTxt->text().isEmpty());
}

void TestMainRecords::existingPatientIsCorrectedFromTheStatusBar()
{
    PatientData d{u"Luis"_s, u"Gómez"_s, 180, u"15/06/1980"_s, 1};
    writePatientHeader(path(u"00000007.DAT"_s), d, 2);
    appendFile(path(u"00000007.DAT"_s), QByteArray(48, 'x')); // two entries, kept as they are
    auto w = makeWindow();
    w->StatusBarPacDblClick(); // no patient: nothing happens
    QVERIFY(!w->Pacfrm->isVisible());

    choosePatientRow(0);
    w->PacExistentemnu->trigger();
    QCOMPARE(w->patientFileName(), u"00000007.DAT"_s);
    QCOMPARE(w->studyCount(), 2);
    QCOMPARE(w->statusPanels[2]->text(), u"Masculino"_s);

    whenShown([this] {
        TPacfrm* dlg = m_window->Pacfrm.get();
        QCOMPARE(dlg->NombreEd->text(), u"Luis"_s);
        dlg->NombreEd->setText(u"José Luis"_s);
        dlg->OkBtn->click();
    });
    w->StatusBarPacDblClick();
    QCOMPARE(w->statusPanels[0]->text(), u"Paciente: Gómez, José Luis"_s);
    QCOMPARE(readFile(path(u"00000007.DAT"_s)).size(), 177 + 48);
}

void TestMainRecords::deletingRefusesTheOpenPatientAndAsksFirst()
{
    const PatientData a{u"Ana"_s, u"Alba"_s, 160, u"01/01/1970"_s, 0};
    const PatientData b{u"Beto"_s, u"Bravo"_s, 170, u"01/01/1971"_s, 1};
    writePatientHeader(path(u"00000001.DAT"_s), a, 0);
    writePatientHeader(path(u"00000002.DAT"_s), b, 1);
    appendFile(path(u"00000002.DAT"_s),
               encodeString(u"0002_001.est"_s, 12) + encodeString(u"01/02/2026"_s, 10));
    writeFile(path(u"0002_001.est"_s), "study");
    writeFile(path(u"0002_001.INF"_s), "report");
    auto w = makeWindow();
    choosePatientRow(0); // Alba, Ana
    w->PacExistentemnu->trigger();

    choosePatientRow(0);
    w->BorrarPacmnu->trigger();
    QCOMPARE(m_messages->shown.back().text,
             QStringLiteral("Los archivos del paciente selecionado están en uso, debe cerrarlo "
                            "para borrar"));
    QVERIFY(QFile::exists(path(u"00000001.DAT"_s)));

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

void TestMainRecords::chosenProtocolIsShownAndComesBackAtStart()
{
    ProtocolRecord p = ProtocolRecord::cleared();
    p.name = u"PRUEBA"_s;
    p.device = Device::Bicicleta;
    p.stageCount = 2;
    p.stages[0] = {1, StageType::Basal, 120, 0.0f, 0.0f, 0.0f};
    p.stages[1] = {2, StageType::Ejercicio, 120, 25.0f, 0.0f, 0.0f};
    saveProtocolFile(QDir(m_work->dir()), p);
    {
        auto w = makeWindow();
        QCOMPARE(w->statusPanels[3]->text(), u"Protocolo:"_s);
        whenShown([this] {
            m_window->AbrirProtDlg->ListBox1->setCurrentRow(0);
            m_window->AbrirProtDlg->OKBut->click();
        });
        w->AbrirProtocolomnu->trigger();
        QCOMPARE(w->currentProtocol(), p);
        QCOMPARE(w->statusPanels[3]->text(), u"Protocolo:PRUEBA"_s);
        w->SalirmnuClick();
    }
    QCOMPARE(readZirod(path(u"Zirod.ini"_s)).protocolFileName, u"PRUEBA.pro"_s);

    auto again = makeWindow();
    QCOMPARE(again->currentProtocol().name, u"PRUEBA"_s);
    QCOMPARE(again->statusPanels[3]->text(), u"Protocolo:PRUEBA"_s);
    QCOMPARE(again->CargaLbl->text(), u"Carga"_s); // the bicycle's panel
    QCOMPARE(again->TiempoResTxt->text(), u"02:00"_s);
}

void TestMainRecords::newProtocolReplacesTheCurrentOneWithoutAFileName()
{
    auto w = makeWindow();
    m_messages->answers = {false}; // "Desea guardar el protocolo?" No
    whenShown([this] {
        TNProtoFrm* e = m_window->NProtoFrm.get();
        e->NombreEd->setText(u"corto"_s);
        e->CantEtapaEd->setEditText(u"1"_s);
        e->DispEdCinta->click();
        e->TiempoEd->setText(u"01:30"_s);
        e->TipoEtapaEd->setCurrentIndex(1);
        e->OKBut->click();
    });
    w->EditarProtomnu->trigger();
    QCOMPARE(w->currentProtocol().name, u"CORTO"_s);
    QCOMPARE(w->currentProtocol().stage(1).duration, 90);
    QCOMPARE(w->TiempoResTxt->text(), u"01:30"_s);
    QCOMPARE(w->statusPanels[3]->text(), u"Protocolo:CORTO"_s);
    QVERIFY(!QFile::exists(path(u"CORTO.pro"_s)));
    QVERIFY(w->config().protocolFileName.isEmpty());
}

QTEST_MAIN(TestMainRecords)
#include "tst_mainrecords.moc"
