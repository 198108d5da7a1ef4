#include "TestSupport.h"
#include "app/TZuvudezidedFrm.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

using namespace esf;

namespace {

using namespace esf::test;

int countColour(const QImage& img, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += img.pixel(x, y) == colour;
    return n;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void firstStartInAnEmptyFolder();
    void missingConfigurationWithPatientsWarnsOnce();
    void foreignPortAndFormulaIndexesCheckNothing();
    void damagedConfigurationIsReportedAndStartUpCompletes();
    void exitWritesTheConfigurationAndKeepsItsTail();
    void everyCommandIsNamedAndReachable();
    void playbackDrivesTraceRateHeartAndAverage();
    void activationRestartsPlaybackFromTheFirstFrame();
    void missingRecordingShowsOnlyTheGrid();
    void displayButtonsCycleAndRelabel();
    void detectionMenuMovesOnlyTheHeart();
    void averagingMenuFreezesTheBox();
    void gainBytesReachTheAcquisitionUnit();
    void closingABoxReactivatesTheWindow();

private:
    std::unique_ptr<TZuvudezidedFrm> makeWindow();

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldCwd;
    std::shared_ptr<FakeMessages> m_messages;
    QList<FakeTimer*> m_timers;
    int m_quits = 0;
};

void TestMainWindow::init()
{
    m_oldCwd = QDir::currentPath();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QDir::setCurrent(m_dir->path());
    // Never let a test reach a real serial device of the machine.
    writeFile(m_dir->filePath(QStringLiteral("Puertos.txt")),
              "COM1=/nonexistent/tty-a\nCOM2=/nonexistent/tty-b\nCOM3=/nonexistent/tty-c\n"
              "COM6=/nonexistent/tty-f\n");
    m_messages = std::make_shared<FakeMessages>();
    m_timers.clear();
    m_quits = 0;
}

void TestMainWindow::cleanup()
{
    QDir::setCurrent(m_oldCwd);
    m_dir.reset();
}

std::unique_ptr<TZuvudezidedFrm> TestMainWindow::makeWindow()
{
    auto w = std::make_unique<TZuvudezidedFrm>(fakeServices(m_messages, &m_timers, &m_quits));
    w->resize(1200, 800);
    return w;
}

void TestMainWindow::firstStartInAnEmptyFolder()
{
    auto w = makeWindow();
    QCOMPARE(m_messages->count(QStringLiteral("warning")), 0);
    QCOMPARE(readFile(m_dir->filePath(QStringLiteral("Zirod.ini"))), QByteArray(107, '\0'));
    QVERIFY(w->COM1mnu->isChecked());
    QVERIFY(!w->COM2mnu->isChecked() && !w->COM3mnu->isChecked());
    QVERIFY(w->formulaItems[0]->isChecked());
    QCOMPARE(w->formulaItems[0]->text(), QStringLiteral("Robinson"));
    QVERIFY(w->D2mnu->isChecked());
    QVERIFY(w->PromQRSmnu->isChecked());
    for (QAction* a :
         {w->InicioBut, w->AvanzaBut, w->DetenerBut, w->SiguienteBut, w->GuardarBut, w->Guardarmnu,
          w->Estudionuevomnu, w->EstudioExistmnu, w->VerInformemnu, w->Imprimirmnu, w->DerivBut})
        QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
    for (QAction* a : {w->FiltroBut, w->VelBut, w->GanBut, w->Salirmnu, w->COM1mnu, w->PromQRSmnu,
                       w->D2mnu, w->Acercamnu})
        QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
    // The absent port is reported once; nothing else complains.
    QCOMPARE(m_messages->shown.size(), 1);
    QVERIFY(m_messages->shown[0].text.startsWith(
        QStringLiteral("Unable to open com port (error code: ")));
    QCOMPARE(w->stageClock().interval(), 1000);
    QVERIFY(!w->stageClock().isActive());
    QCOMPARE(w->workDir(), QDir::currentPath() + QLatin1Char('/'));
}

void TestMainWindow::missingConfigurationWithPatientsWarnsOnce()
{
    for (const char* n : {"00000003.DAT", "00000012.DAT", "ABCDEFGH.DAT"})
        writeFile(m_dir->filePath(QLatin1String(n)), QByteArray());
    auto w = makeWindow();
    QCOMPARE(m_messages->count(QStringLiteral("warning")), 1);
    QCOMPARE(m_messages->shown[0].text, kZirodMissingText);
    QVERIFY(m_messages->shown[0].text.startsWith(QLatin1Char(' ')));
    QCOMPARE(w->config().lastPatientNumber, 12);
    const QByteArray ini = readFile(m_dir->filePath(QStringLiteral("Zirod.ini")));
    QCOMPARE(ini.size(), 107);
    QCOMPARE(ini.left(4), QByteArray("\x0c\x00\x00\x00", 4));
}

void TestMainWindow::foreignPortAndFormulaIndexesCheckNothing()
{
    QByteArray ini(107, '\0');
    ini[4] = char(5);
    ini[106] = char(9);
    writeFile(m_dir->filePath(QStringLiteral("Zirod.ini")), ini);
    auto w = makeWindow();
    QVERIFY(!w->COM1mnu->isChecked() && !w->COM2mnu->isChecked() && !w->COM3mnu->isChecked());
    for (QAction* a : w->formulaItems)
        QVERIFY(!a->isChecked());
    // Port 5 is COM6, which this folder maps to a missing device.
    QCOMPARE(m_messages->count(QStringLiteral("error")), 1);
    QCOMPARE(w->config().portIndex, 5);
}

void TestMainWindow::damagedConfigurationIsReportedAndStartUpCompletes()
{
    writeFile(m_dir->filePath(QStringLiteral("Zirod.ini")), QByteArray(50, '\x01'));
    writeFile(m_dir->filePath(QStringLiteral("00000004.DAT")), QByteArray());
    auto w = makeWindow();
    QCOMPARE(m_messages->count(QStringLiteral("error")), 2); // the file, then the port
    QVERIFY(m_messages->shown[0].text.contains(QStringLiteral("Zirod.ini")));
    // The patient number never goes below the files already there.
    QCOMPARE(w->config().lastPatientNumber, 4);
    QVERIFY(w->COM1mnu->isChecked());
    QVERIFY(w->formulaItems[0]->isChecked());
    w->SalirmnuClick();
    QCOMPARE(readFile(m_dir->filePath(QStringLiteral("Zirod.ini"))).left(5),
             QByteArray("\x04\x00\x00\x00\x00", 5));
}

void TestMainWindow::exitWritesTheConfigurationAndKeepsItsTail()
{
    QByteArray ini(107, '\0');
    ini[0] = char(7);
    ini[5] = char(9);
    ini.replace(6, 9, "BRUCE.pro");
    writeFile(m_dir->filePath(QStringLiteral("Zirod.ini")), ini + "TAIL");
    auto w = makeWindow();
    w->formulaItems[3]->trigger();
    QVERIFY(w->formulaItems[3]->isChecked() && !w->formulaItems[0]->isChecked());
    w->COM2mnu->trigger();
    QVERIFY(w->COM2mnu->isChecked() && !w->COM1mnu->isChecked());
    // Zirod.ini is only written at exit.
    QCOMPARE(readFile(m_dir->filePath(QStringLiteral("Zirod.ini"))), ini + "TAIL");

    w->SalirmnuClick();
    QByteArray expected = ini;
    expected[4] = char(1);
    expected[106] = char(3);
    QCOMPARE(readFile(m_dir->filePath(QStringLiteral("Zirod.ini"))), expected + "TAIL");
    QVERIFY(w->exited());
    QCOMPARE(m_quits, 1);
    QVERIFY(!w->demoTimerActive());
}

void TestMainWindow::everyCommandIsNamedAndReachable()
{
    auto w = makeWindow();
    QStringList menus;
    for (QAction* a : w->menuBar()->actions())
        menus << a->menu()->title().remove(QLatin1Char('&'));
    QCOMPARE(menus, QStringList({QStringLiteral("Archivo"), QStringLiteral("Configuración"),
                                 QStringLiteral("Protocolos"), QStringLiteral("Informe"),
                                 QStringLiteral("Ayuda")}));
    const QList<QAction*> all = w->findChildren<QAction*>();
    for (const char* name : {"PacNuevomnu",
                             "PacExistentemnu",
                             "Cerrarpacmnu",
                             "Estudionuevomnu",
                             "EstudioExistmnu",
                             "Copiarmnu",
                             "AbrirCopiamnu",
                             "Recuperarmnu",
                             "BorrarPacmnu",
                             "Guardarmnu",
                             "Salirmnu",
                             "COM1mnu",
                             "COM2mnu",
                             "COM3mnu",
                             "Impresoramnu",
                             "Datosgenmnu",
                             "Comunicmnu",
                             "PromQRSmnu",
                             "Robinsmnu",
                             "N220Edadmnu",
                             "N9x220Edadmnu",
                             "N8x220Edadmnu",
                             "N75x220Edadmnu",
                             "N200Edadmnu",
                             "N205Edadmnu",
                             "UsuarioFMmnu",
                             "D2mnu",
                             "V2mnu",
                             "V5mnu",
                             "EditarProtomnu",
                             "AbrirProtocolomnu",
                             "MostrarProtmnu",
                             "VerInformemnu",
                             "PlantInformemnu",
                             "Imprimirmnu",
                             "Ayuda1",
                             "Acercamnu",
                             "Pacexismnu",
                             "Pacientenuevomnu"}) {
        auto* a = w->findChild<QAction*>(QLatin1String(name));
        QVERIFY2(a, name);
        QVERIFY2(!a->text().isEmpty(), name);
        QVERIFY2(!a->associatedObjects().isEmpty(), name); // placed in a menu
    }
    QCOMPARE(w->formulaItems[6]->text(), QStringLiteral("205 - Edad/2"));
    QCOMPARE(w->Salirmnu->text(), QStringLiteral("&Salir"));
    QVERIFY(all.size() > 40);

    const QList<QPair<QString, QString>> buttons = {
        {QStringLiteral("NuevoEstBut"), QStringLiteral("Estudio nuevo")},
        {QStringLiteral("AbrirBut"), QStringLiteral("Abrir estudio existente")},
        {QStringLiteral("VerEstBut"), QStringLiteral("Ver estudio")},
        {QStringLiteral("DerivBut"), QStringLiteral("Selector de Derivación")},
        {QStringLiteral("FiltroBut"), QStringLiteral("Filtro")},
        {QStringLiteral("VelBut"), QStringLiteral("Velocidad de Trazo")},
        {QStringLiteral("GanBut"), QStringLiteral("Ganancia")},
        {QStringLiteral("InicioBut"), QStringLiteral("Comienza el estudio")},
        {QStringLiteral("AvanzaBut"), QStringLiteral("Avanza a la siguiente etapa")},
        {QStringLiteral("DetenerBut"), QStringLiteral("Detener")},
        {QStringLiteral("SiguienteBut"), QStringLiteral("Ir a etapa de recuperación")},
        {QStringLiteral("GuardarBut"), QStringLiteral("Grabar tira")}};
    for (const auto& [name, hint] : buttons) {
        auto* b = w->findChild<QToolButton*>(name);
        QVERIFY2(b, qPrintable(name));
        QCOMPARE(b->accessibleName(), hint);
        QCOMPARE(b->toolTip(), hint);
        QVERIFY(b->focusPolicy() & Qt::TabFocus);
    }
    // Status bar panels carry their design captions until a patient is opened.
    QCOMPARE(w->statusPanels[0]->text(), QStringLiteral("Nombre:"));
    QCOMPARE(w->statusPanels[3]->text(), QStringLiteral("Protocolo:"));
    QCOMPARE(w->FrecMaxLbl->buddy(), w->FrecMaxTxt);
}

void TestMainWindow::playbackDrivesTraceRateHeartAndAverage()
{
    QVERIFY(QFile::copy(QStringLiteral(ESF_TEST_DATA "/rest-12lead-II-V2-V5.ecg"),
                        m_dir->filePath(QStringLiteral("ECG-1.ecg"))));
    auto w = makeWindow();
    w->FormActivate();
    QVERIFY(w->demoTimerActive());
    QCOMPARE(w->demoTimer().interval(), 50);
    bool heartSeen = false;
    bool heartHidden = false;
    for (int tick = 0; tick < 200; ++tick) {
        w->demoTimer().onTimeout();
        heartSeen = heartSeen || w->heartlbl->isVisibleTo(w.get());
        heartHidden = heartHidden || (heartSeen && !w->heartlbl->isVisibleTo(w.get()));
    }
    QCOMPARE(w->monitor().ring.writeIndex, 0); // exactly ten frames a tick
    QVERIFY(heartSeen && heartHidden);
    const int rate = w->FrecTxt->text().toInt();
    QVERIFY2(rate > 40 && rate < 70,
             qPrintable(w->FrecTxt->text())); // about 61/min, still settling
    QVERIFY(countColour(w->sweep().image(), qRgb(255, 255, 0)) > 500);
    QVERIFY(countColour(w->qrsImage(), qRgb(255, 0, 0)) > 50);
}

void TestMainWindow::activationRestartsPlaybackFromTheFirstFrame()
{
    QVERIFY(QFile::copy(QStringLiteral(ESF_TEST_DATA "/rest-12lead-II-V2-V5.ecg"),
                        m_dir->filePath(QStringLiteral("ECG-1.ecg"))));
    const QByteArray raw = readFile(m_dir->filePath(QStringLiteral("ECG-1.ecg")));
    const auto firstSample = static_cast<qint16>(quint8(raw[0]) | (quint8(raw[1]) << 8));
    auto w = makeWindow();
    w->FormActivate();
    for (int tick = 0; tick < 7; ++tick)
        w->demoTimer().onTimeout();
    QCOMPARE(w->monitor().ring.writeIndex, 70);
    w->FormActivate();
    QCOMPARE(w->sweep().state().sweepX, 0);
    w->demoTimer().onTimeout();
    // The ring carries on where it was; the recording starts over.
    QCOMPARE(w->monitor().ring.writeIndex, 80);
    QCOMPARE(w->monitor().ring.at(0, 71), int(firstSample));
}

void TestMainWindow::missingRecordingShowsOnlyTheGrid()
{
    auto w = makeWindow();
    w->FormActivate();
    QVERIFY(!w->demoTimerActive());
    QCOMPARE(w->FrecTxt->text(), QStringLiteral("0"));
    QCOMPARE(countColour(w->sweep().image(), qRgb(255, 255, 0)), 0);
    QVERIFY(countColour(w->sweep().image(), qRgb(0, 128, 0)) > 100);
}

void TestMainWindow::displayButtonsCycleAndRelabel()
{
    auto w = makeWindow();
    w->FormActivate();
    QVERIFY(!w->FiltroEst->isEnabled());
    w->FiltroBut->trigger();
    QVERIFY(w->FiltroEst->isEnabled());
    QCOMPARE(w->FiltroEst->text(), QStringLiteral("F 50 Hz"));
    w->FiltroBut->trigger();
    QVERIFY(!w->FiltroEst->isEnabled());

    QCOMPARE(w->VelEst->text(), QStringLiteral("25 mm/s"));
    QStringList speeds;
    for (int i = 0; i < 3; ++i) {
        w->VelBut->trigger();
        speeds << w->VelEst->text();
        QCOMPARE(w->sweep().state().sweepX, 0);
    }
    QCOMPARE(speeds, QStringList({QStringLiteral("50 mm/s"), QStringLiteral("10 mm/s"),
                                  QStringLiteral("25 mm/s")}));

    QCOMPARE(w->GanEst->text(), QStringLiteral("1.0cm/mV"));
    QStringList gains;
    for (int i = 0; i < 3; ++i) {
        w->GanBut->trigger();
        gains << w->GanEst->text();
    }
    QCOMPARE(gains, QStringList({QStringLiteral("2.0cm/mV"), QStringLiteral("0.5cm/mV"),
                                 QStringLiteral("1.0cm/mV")}));
    QCOMPARE(w->DerivLbl1->text(), QStringLiteral("II"));
    QCOMPARE(w->DerivLbl3->text(), QStringLiteral("V5"));
    // The port was reported once at start; gain changes on a closed port stay quiet.
    QCOMPARE(m_messages->count(QStringLiteral("error")), 1);
}

void TestMainWindow::detectionMenuMovesOnlyTheHeart()
{
    auto w = makeWindow();
    w->FormActivate();
    QCOMPARE(w->heartlbl->y(), w->DerivLbl1->y());
    w->V5mnu->trigger();
    QVERIFY(w->V5mnu->isChecked() && !w->D2mnu->isChecked() && !w->V2mnu->isChecked());
    QCOMPARE(w->heartlbl->y(), w->DerivLbl3->y());
    w->V2mnu->trigger();
    QCOMPARE(w->heartlbl->y(), w->DerivLbl2->y());
    w->V2mnu->trigger(); // choosing the checked item keeps it checked
    QVERIFY(w->V2mnu->isChecked());
}

void TestMainWindow::averagingMenuFreezesTheBox()
{
    QVERIFY(QFile::copy(QStringLiteral(ESF_TEST_DATA "/rest-12lead-II-V2-V5.ecg"),
                        m_dir->filePath(QStringLiteral("ECG-1.ecg"))));
    auto w = makeWindow();
    w->FormActivate();
    w->PromQRSmnu->trigger();
    QVERIFY(!w->PromQRSmnu->isChecked());
    for (int tick = 0; tick < 200; ++tick)
        w->demoTimer().onTimeout();
    QCOMPARE(w->monitor().qrs.values, QrsBeats{});
    QCOMPARE(countColour(w->qrsImage(), qRgb(255, 0, 0)), 0);
    w->PromQRSmnu->trigger();
    for (int tick = 0; tick < 200; ++tick)
        w->demoTimer().onTimeout();
    QVERIFY(w->monitor().qrs.values != QrsBeats{});
}

void TestMainWindow::gainBytesReachTheAcquisitionUnit()
{
    if (QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty())
        QSKIP("socat is not installed; `make test` installs it");
    PtyPair com1(m_dir->path(), QStringLiteral("com1"));
    PtyPair com3(m_dir->path(), QStringLiteral("com3"));
    QVERIFY(com1.ready());
    QVERIFY(com3.ready());
    writeFile(m_dir->filePath(QStringLiteral("Puertos.txt")),
              (QStringLiteral("COM1=") + com1.near +
               QStringLiteral("\nCOM2=/nonexistent/b\nCOM3=") + com3.near + QLatin1Char('\n'))
                  .toUtf8());
    auto w = makeWindow();
    QCOMPARE(m_messages->shown.size(), 0);
    QCOMPARE(com1.received(1), QByteArray("\x01", 1));

    for (int i = 0; i < 3; ++i)
        w->GanBut->trigger();
    QCOMPARE(com1.received(3), QByteArray("\x02\x00\x01", 3));

    w->GanBut->trigger(); // gain 2.0
    QCOMPARE(com1.received(1), QByteArray("\x02", 1));
    w->COM3mnu->trigger();
    QVERIFY(w->COM3mnu->isChecked() && !w->COM1mnu->isChecked());
    QCOMPARE(com3.received(1), QByteArray("\x02", 1));
    w->GanBut->trigger();
    QCOMPARE(com3.received(1), QByteArray("\x00", 1));
    QCOMPARE(com1.received(0), QByteArray()); // COM1 was closed
    QCOMPARE(m_messages->shown.size(), 0);

    // A port that cannot open keeps its new check mark and says why.
    w->COM2mnu->trigger();
    QVERIFY(w->COM2mnu->isChecked());
    QCOMPARE(m_messages->count(QStringLiteral("error")), 1);
    QCOMPARE(w->config().portIndex, 1);
}

void TestMainWindow::closingABoxReactivatesTheWindow()
{
    QVERIFY(QFile::copy(QStringLiteral(ESF_TEST_DATA "/rest-12lead-II-V2-V5.ecg"),
                        m_dir->filePath(QStringLiteral("ECG-1.ecg"))));
    auto w = makeWindow();
    w->show();
    w->FormActivate();
    const int before = w->activationCount();
    for (int tick = 0; tick < 30; ++tick)
        w->demoTimer().onTimeout();
    QVERIFY(w->sweep().state().sweepX > 0);
    w->Acercamnu->trigger();
    QVERIFY(m_messages->shown.back().text.contains(kSoftwareVersion));
    QVERIFY(w->activationCount() > before);
    QCOMPARE(w->sweep().state().sweepX, 0);
    QCOMPARE(w->windowTitle(), kProductTitle);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
