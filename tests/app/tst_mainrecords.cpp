#include "TestSupport.h"
#include "app/PieGaugeView.h"
#include "app/TZuvudezidedFrm.h"
#include "app/ZirodIni.h"
#include "protocol/MaxHeartRate.h"
#include "protocol/TAbrirProtDlg.h"
#include "protocol/TNProtoFrm.h"
#include "records/TAbrirPacfrm.h"
#include "records/TPacfrm.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

using namespace esf;
using namespace esf::test;

// The main window's patient, protocol and header commands, with the real dialogs.
class TestMainRecords : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void newPatientGetsTheNextFreeNumber();
    void existingPatientIsCorrectedFromTheStatusBar();
    void closingThePatientClearsTheHeader();
    void deletingRefusesTheOpenPatientAndAsksFirst();
    void chosenProtocolIsShownAndComesBackAtStart();
    void newProtocolReplacesTheCurrentOneWithoutAFileName();
    void userFormulaAsksForTheRate();

private:
    std::unique_ptr<TZuvudezidedFrm> makeWindow();
    void fillPatient(const QString& first, const QString& surname, const QString& birth, bool male);
    void choosePatientRow(int row);
    QString path(const QString& name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldCwd;
    std::shared_ptr<FakeMessages> m_messages;
    TZuvudezidedFrm* m_window = nullptr;
};

void TestMainRecords::init()
{
    m_oldCwd = QDir::currentPath();
    m_dir = std::make_unique<QTemporaryDir>();
    QDir::setCurrent(m_dir->path());
    writeFile(path(QStringLiteral("Puertos.txt")), "COM1=/nonexistent/tty-a\n");
    m_messages = std::make_shared<FakeMessages>();
}

void TestMainRecords::cleanup()
{
    QDir::setCurrent(m_oldCwd);
    m_dir.reset();
}

std::unique_ptr<TZuvudezidedFrm> TestMainRecords::makeWindow()
{
    auto w = std::make_unique<TZuvudezidedFrm>(fakeServices(m_messages, nullptr, nullptr));
    w->resize(1200, 800);
    m_window = w.get();
    return w;
}

void TestMainRecords::fillPatient(const QString& first, const QString& surname,
                                  const QString& birth, bool male)
{
    whenShown([=, this] {
        TPacfrm* d = m_window->Pacfrm.get();
        d->NombreEd->setText(first);
        d->ApellidoEd->setText(surname);
        d->FNacMsk->setText(birth);
        d->AlturaMsk->setText(QStringLiteral("170"));
        (male ? d->Masculinoslc : d->Femeninoslc)->setChecked(true);
        d->OkBtn->click();
    });
}

void TestMainRecords::choosePatientRow(int row)
{
    whenShown([=, this] {
        TAbrirPacfrm* d = m_window->AbrirPacfrm.get();
        d->ListPac->setCurrentRow(row);
        d->OKBtn->click();
    });
}

void TestMainRecords::newPatientGetsTheNextFreeNumber()
{
    // Zirod.ini says no patient yet, but 00000001.dat is there from an older copy.
    writeFile(path(QStringLiteral("Zirod.ini")), QByteArray(107, '\0'));
    const QByteArray other = QByteArray(177, '\x01');
    writeFile(path(QStringLiteral("00000001.dat")), other);
    auto w = makeWindow();
    fillPatient(QStringLiteral("Ana"), QStringLiteral("Peña"), QStringLiteral("01/01/1960"), false);
    w->PacNuevomnu->trigger();

    QVERIFY(w->patientOpen());
    QCOMPARE(w->patientFileName(), QStringLiteral("00000002.DAT"));
    QCOMPARE(readFile(path(QStringLiteral("00000001.dat"))), other);
    const PatientHeader h = readPatientHeader(path(QStringLiteral("00000002.DAT")));
    QCOMPARE(h.data.surname, QStringLiteral("Peña"));
    QCOMPARE(h.version, kSoftwareVersion);
    QCOMPARE(h.studyCount, 0);
    QCOMPARE(readFile(path(QStringLiteral("Zirod.ini"))).left(4), QByteArray("\x02\0\0\0", 4));

    QCOMPARE(w->statusPanels[0]->text(), QStringLiteral("Paciente: Peña, Ana"));
    QCOMPARE(w->statusPanels[1]->text(), QStringLiteral("Edad: 66"));
    QCOMPARE(w->statusPanels[2]->text(), QStringLiteral("Femenino"));
    // Robinson, a woman of 66: 166, and 85 % of it.
    QCOMPARE(w->FrecMaxTxt->text(), QStringLiteral("166"));
    QCOMPARE(w->FrecSMaxTxt->text(), QStringLiteral("141"));
    QVERIFY(w->Cerrarpacmnu->isEnabled());
}

void TestMainRecords::existingPatientIsCorrectedFromTheStatusBar()
{
    PatientData d{QStringLiteral("Luis"), QStringLiteral("Gómez"), 180,
                  QStringLiteral("15/06/1980"), 1};
    writePatientHeader(path(QStringLiteral("00000007.DAT")), d, 2);
    QFile f(path(QStringLiteral("00000007.DAT")));
    QVERIFY(f.open(QIODevice::Append));
    f.write(QByteArray(48, 'x')); // two study entries, kept as they are
    f.close();
    auto w = makeWindow();
    w->StatusBarPacDblClick(); // no patient: nothing happens
    QVERIFY(!w->Pacfrm->isVisible());

    choosePatientRow(0);
    w->PacExistentemnu->trigger();
    QCOMPARE(w->patientFileName(), QStringLiteral("00000007.DAT"));
    QCOMPARE(w->studyCount(), 2);
    QCOMPARE(w->statusPanels[0]->text(), QStringLiteral("Paciente: Gómez, Luis"));
    QCOMPARE(w->statusPanels[2]->text(), QStringLiteral("Masculino"));

    whenShown([this] {
        TPacfrm* dlg = m_window->Pacfrm.get();
        QCOMPARE(dlg->NombreEd->text(), QStringLiteral("Luis"));
        dlg->NombreEd->setText(QStringLiteral("José Luis"));
        dlg->OkBtn->click();
    });
    w->StatusBarPacDblClick();
    QCOMPARE(w->statusPanels[0]->text(), QStringLiteral("Paciente: Gómez, José Luis"));
    const QByteArray after = readFile(path(QStringLiteral("00000007.DAT")));
    QCOMPARE(after.size(), 177 + 48);
    QCOMPARE(readPatientHeader(path(QStringLiteral("00000007.DAT"))).data.firstName,
             QStringLiteral("José Luis"));
}

void TestMainRecords::closingThePatientClearsTheHeader()
{
    auto w = makeWindow();
    fillPatient(QStringLiteral("Ana"), QStringLiteral("Peña"), QStringLiteral("01/01/1960"), false);
    w->PacNuevomnu->trigger();
    QVERIFY(w->patientOpen());
    w->Cerrarpacmnu->trigger();
    QVERIFY(!w->patientOpen());
    QCOMPARE(w->statusPanels[0]->text(), QStringLiteral("Paciente: "));
    QCOMPARE(w->statusPanels[1]->text(), QStringLiteral("Edad: "));
    QCOMPARE(w->statusPanels[2]->text(), QString());
    QCOMPARE(w->statusPanels[4]->text(), QStringLiteral("Fecha: "));
    QVERIFY(w->FrecMaxTxt->text().isEmpty() && w->FrecSMaxTxt->text().isEmpty());
    QVERIFY(w->patientFileName().isEmpty());
}

void TestMainRecords::deletingRefusesTheOpenPatientAndAsksFirst()
{
    const PatientData a{QStringLiteral("Ana"), QStringLiteral("Alba"), 160,
                        QStringLiteral("01/01/1970"), 0};
    const PatientData b{QStringLiteral("Beto"), QStringLiteral("Bravo"), 170,
                        QStringLiteral("01/01/1971"), 1};
    writePatientHeader(path(QStringLiteral("00000001.DAT")), a, 0);
    writePatientHeader(path(QStringLiteral("00000002.DAT")), b, 1);
    QFile f(path(QStringLiteral("00000002.DAT")));
    QVERIFY(f.open(QIODevice::Append));
    f.write(QByteArray("\x0c"
                       "0002_001.est"
                       "\x0a"
                       "01/02/2026",
                       24));
    f.close();
    writeFile(path(QStringLiteral("0002_001.est")), "study");
    writeFile(path(QStringLiteral("0002_001.INF")), "report");
    auto w = makeWindow();
    choosePatientRow(0); // Alba, Ana
    w->PacExistentemnu->trigger();

    choosePatientRow(0);
    w->BorrarPacmnu->trigger();
    QCOMPARE(m_messages->shown.back().text,
             QStringLiteral("Los archivos del paciente selecionado están en uso, debe cerrarlo "
                            "para borrar"));
    QVERIFY(QFile::exists(path(QStringLiteral("00000001.DAT"))));

    m_messages->answers = {false};
    choosePatientRow(1); // Bravo, Beto
    w->BorrarPacmnu->trigger();
    QCOMPARE(m_messages->titles.back(), QStringLiteral("Atención"));
    QCOMPARE(m_messages->shown.back().text,
             QStringLiteral("¿Desea borrar los estudios de Bravo, Beto?"));
    QVERIFY(QFile::exists(path(QStringLiteral("00000002.DAT"))));

    choosePatientRow(1);
    w->BorrarPacmnu->trigger();
    for (const char* gone : {"00000002.DAT", "0002_001.est", "0002_001.INF"})
        QVERIFY2(!QFile::exists(path(QLatin1String(gone))), gone);
    QVERIFY(QFile::exists(path(QStringLiteral("00000001.DAT"))));
}

void TestMainRecords::chosenProtocolIsShownAndComesBackAtStart()
{
    ProtocolRecord p = ProtocolRecord::cleared();
    p.name = QStringLiteral("PRUEBA");
    p.device = Device::Bicicleta;
    p.stageCount = 2;
    p.stages[0] = {1, StageType::Basal, 120, 0.0f, 0.0f, 0.0f};
    p.stages[1] = {2, StageType::Ejercicio, 120, 25.0f, 0.0f, 0.0f};
    saveProtocolFile(QDir(m_dir->path()), p);
    {
        auto w = makeWindow();
        QCOMPARE(w->statusPanels[3]->text(), QStringLiteral("Protocolo:"));
        whenShown([this] {
            m_window->AbrirProtDlg->ListBox1->setCurrentRow(0);
            m_window->AbrirProtDlg->OKBut->click();
        });
        w->AbrirProtocolomnu->trigger();
        QCOMPARE(w->currentProtocol(), p);
        QCOMPARE(w->statusPanels[3]->text(), QStringLiteral("Protocolo:PRUEBA"));
        QCOMPARE(w->statusPanels[0]->text(), QStringLiteral("Nombre:")); // no patient
        w->SalirmnuClick();
    }
    QCOMPARE(readZirod(path(QStringLiteral("Zirod.ini"))).protocolFileName,
             QStringLiteral("PRUEBA.pro"));

    auto again = makeWindow();
    QCOMPARE(again->currentProtocol().name, QStringLiteral("PRUEBA"));
    QCOMPARE(again->statusPanels[3]->text(), QStringLiteral("Protocolo:PRUEBA"));
    QCOMPARE(again->EtapaNLbl->text(), QStringLiteral("Prot. detenido"));
    QCOMPARE(again->TipoTxt->text(), QStringLiteral("Basal"));
    QCOMPARE(again->CargaLbl->text(), QStringLiteral("Carga"));
    QCOMPARE(again->CargaEtapaTxt->text(), QStringLiteral("0.0"));
    QCOMPARE(again->PendTxt->text(), QStringLiteral("----"));
    QVERIFY(!again->PendTxt->isEnabled());
    QCOMPARE(again->TiempoResTxt->text(), QStringLiteral("02:00"));
    QCOMPARE(again->Gauge1->progress(), 100);
    QVERIFY(!again->InicioBut->isEnabled());
}

void TestMainRecords::newProtocolReplacesTheCurrentOneWithoutAFileName()
{
    auto w = makeWindow();
    m_messages->answers = {false}; // "Desea guardar el protocolo?" No
    whenShown([this] {
        TNProtoFrm* e = m_window->NProtoFrm.get();
        e->NombreEd->setText(QStringLiteral("corto"));
        e->CantEtapaEd->setEditText(QStringLiteral("1"));
        e->DispEdCinta->click();
        e->TiempoEd->setText(QStringLiteral("01:30"));
        e->TipoEtapaEd->setCurrentIndex(1);
        e->OKBut->click();
    });
    w->EditarProtomnu->trigger();
    QCOMPARE(w->currentProtocol().name, QStringLiteral("CORTO"));
    QCOMPARE(w->currentProtocol().stage(1).duration, 90);
    QCOMPARE(w->TiempoResTxt->text(), QStringLiteral("01:30"));
    QCOMPARE(w->TipoTxt->text(), QStringLiteral("Ejercicio"));
    QCOMPARE(w->run().stageRemaining, 90);
    QCOMPARE(w->statusPanels[3]->text(), QStringLiteral("Protocolo:CORTO"));
    QVERIFY(!QFile::exists(path(QStringLiteral("CORTO.pro"))));
    QVERIFY(w->config().protocolFileName.isEmpty());
}

void TestMainRecords::userFormulaAsksForTheRate()
{
    auto w = makeWindow();
    fillPatient(QStringLiteral("Ana"), QStringLiteral("Peña"), QStringLiteral("01/01/1960"), false);
    w->PacNuevomnu->trigger();
    m_messages->inputs = {QStringLiteral("190")};
    w->formulaItems[kUserFormula]->trigger();
    QCOMPARE(m_messages->shown.back().text, QStringLiteral("Frecuencia Máxima|166"));
    QCOMPARE(w->userMaxHR(), 190);
    QCOMPARE(w->config().maxHRFormula, kUserFormula);
    // The header shows the new choice at its next refresh, here a patient correction.
    whenShown([this] { m_window->Pacfrm->OkBtn->click(); });
    w->StatusBarPacDblClick();
    QCOMPARE(w->FrecMaxTxt->text(), QStringLiteral("190"));
    QCOMPARE(w->FrecSMaxTxt->text(), QStringLiteral("162"));

    m_messages->inputs = {QStringLiteral("19O")};
    w->formulaItems[kUserFormula]->trigger();
    QCOMPARE(w->userMaxHR(), 190);
    QCOMPARE(m_messages->shown.back().text, QStringLiteral("'19O' no es un valor entero válido"));
}

QTEST_MAIN(TestMainRecords)
#include "tst_mainrecords.moc"
