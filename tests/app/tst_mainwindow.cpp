#include "TestSupport.h"
#include "app/ImageView.h"
#include "app/TZuvudezidedFrm.h"

#include <QAction>
#include <QFrame>
#include <QProgressBar>
#include <cmath>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

namespace {

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
    void closingABoxRestartsPlaybackFromTheFirstFrame();
    void displayCommandsCycleAndRelabel();
    void averagingMenuFreezesTheBox();
    void gainBytesReachTheAcquisitionUnit();
    void layoutFollowsTheWindowSize_data();
    void layoutFollowsTheWindowSize();
    void unitsComeFromTheGeneralData();

private:
    std::unique_ptr<TZuvudezidedFrm> makeWindow();
    QString path(const QString& name) const { return m_dir->filePath(name); }
    void copyRecording()
    {
        QVERIFY(QFile::copy(QStringLiteral(ESF_TEST_DATA "/rest-12lead-II-V2-V5.ecg"),
                            path(u"ECG-1.ecg"_s)));
    }

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
    writeFile(path(u"Puertos.txt"_s),
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
    QCOMPARE(readFile(path(u"Zirod.ini"_s)), QByteArray(107, '\0'));
    QVERIFY(w->COM1mnu->isChecked() && !w->COM2mnu->isChecked() && !w->COM3mnu->isChecked());
    QVERIFY(w->formulaItems[0]->isChecked() && w->D2mnu->isChecked() && w->PromQRSmnu->isChecked());
    // Nothing to run, save or print without a patient and a study.
    for (QAction* a :
         {w->InicioBut, w->AvanzaBut, w->DetenerBut, w->SiguienteBut, w->GuardarBut, w->Guardarmnu,
          w->Estudionuevomnu, w->EstudioExistmnu, w->VerInformemnu, w->Imprimirmnu, w->DerivBut})
        QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
    QVERIFY(w->FiltroBut->isEnabled() && w->GanBut->isEnabled() && w->Salirmnu->isEnabled());
    // The absent port is reported once; nothing else complains.
    QCOMPARE(m_messages->shown.size(), 1);
    QVERIFY(m_messages->shown[0].text.startsWith(u"Unable to open com port (error code: "_s));
    QCOMPARE(w->stageClock().interval(), 1000);
    QVERIFY(!w->stageClock().isActive());
    QCOMPARE(w->workDir(), QDir::currentPath() + QLatin1Char('/'));

    // Without a recording there is only the grid.
    w->FormActivate();
    QVERIFY(!w->demoTimerActive());
    QCOMPARE(w->FrecTxt->text(), u"0"_s);
    QCOMPARE(countColour(w->sweep().image(), qRgb(255, 255, 0)), 0);
    QVERIFY(countColour(w->sweep().image(), qRgb(0, 128, 0)) > 100);
}

void TestMainWindow::missingConfigurationWithPatientsWarnsOnce()
{
    for (const char* n : {"00000003.DAT", "00000012.DAT", "ABCDEFGH.DAT"})
        writeFile(path(QLatin1String(n)), QByteArray());
    auto w = makeWindow();
    QCOMPARE(m_messages->count(u"warning"_s), 1);
    QCOMPARE(m_messages->shown[0].text, kZirodMissingText);
    QCOMPARE(w->config().lastPatientNumber, 12);
    const QByteArray ini = readFile(path(u"Zirod.ini"_s));
    QCOMPARE(ini.size(), 107);
    QCOMPARE(ini.left(4), QByteArray("\x0c\x00\x00\x00", 4));
}

void TestMainWindow::foreignPortAndFormulaIndexesCheckNothing()
{
    QByteArray ini(107, '\0');
    ini[4] = char(5);
    ini[106] = char(9);
    writeFile(path(u"Zirod.ini"_s), ini);
    auto w = makeWindow();
    QVERIFY(!w->COM1mnu->isChecked() && !w->COM2mnu->isChecked() && !w->COM3mnu->isChecked());
    for (QAction* a : w->formulaItems)
        QVERIFY(!a->isChecked());
    // Port 5 is COM6, which this folder maps to a missing device.
    QCOMPARE(m_messages->count(u"error"_s), 1);
    QCOMPARE(w->config().portIndex, 5);
}

void TestMainWindow::damagedConfigurationIsReportedAndStartUpCompletes()
{
    writeFile(path(u"Zirod.ini"_s), QByteArray(50, '\x01'));
    writeFile(path(u"00000004.DAT"_s), QByteArray());
    auto w = makeWindow();
    QCOMPARE(m_messages->count(u"error"_s), 2); // the file, then the port
    QVERIFY(m_messages->shown[0].text.contains(u"Zirod.ini"_s));
    // The patient number never goes below the files already there.
    QCOMPARE(w->config().lastPatientNumber, 4);
    QVERIFY(w->COM1mnu->isChecked());
    QVERIFY(w->formulaItems[0]->isChecked());
    w->SalirmnuClick();
    QCOMPARE(readFile(path(u"Zirod.ini"_s)).left(5), QByteArray("\x04\x00\x00\x00\x00", 5));
}

void TestMainWindow::exitWritesTheConfigurationAndKeepsItsTail()
{
    QByteArray ini(107, '\0');
    ini[0] = char(7);
    ini[5] = char(9);
    ini.replace(6, 9, "BRUCE.pro");
    writeFile(path(u"Zirod.ini"_s), ini + "TAIL");
    auto w = makeWindow();
    w->formulaItems[3]->trigger();
    QVERIFY(w->formulaItems[3]->isChecked() && !w->formulaItems[0]->isChecked());
    w->COM2mnu->trigger();
    QVERIFY(w->COM2mnu->isChecked() && !w->COM1mnu->isChecked());
    // Zirod.ini is only written at exit.
    QCOMPARE(readFile(path(u"Zirod.ini"_s)), ini + "TAIL");

    w->SalirmnuClick();
    QByteArray expected = ini;
    expected[4] = char(1);
    expected[106] = char(3);
    QCOMPARE(readFile(path(u"Zirod.ini"_s)), expected + "TAIL");
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
    QCOMPARE(menus.join(QLatin1Char('|')), u"Archivo|Configuración|Protocolos|Informe|Ayuda"_s);
    const QString actions = QStringLiteral(
        "PacNuevomnu PacExistentemnu Cerrarpacmnu Estudionuevomnu EstudioExistmnu Copiarmnu "
        "AbrirCopiamnu Recuperarmnu BorrarPacmnu Guardarmnu Salirmnu COM1mnu COM2mnu COM3mnu "
        "Impresoramnu Datosgenmnu Comunicmnu PromQRSmnu Robinsmnu N220Edadmnu N9x220Edadmnu "
        "N8x220Edadmnu N75x220Edadmnu N200Edadmnu N205Edadmnu UsuarioFMmnu D2mnu V2mnu V5mnu "
        "EditarProtomnu AbrirProtocolomnu MostrarProtmnu VerInformemnu PlantInformemnu "
        "Imprimirmnu Ayuda1 Acercamnu Pacexismnu Pacientenuevomnu");
    for (const QString& name : actions.split(QLatin1Char(' '))) {
        auto* a = w->findChild<QAction*>(name);
        QVERIFY2(a && !a->text().isEmpty(), qPrintable(name));
        QVERIFY2(!a->associatedObjects().isEmpty(), qPrintable(name)); // placed in a menu
    }
    QCOMPARE(w->formulaItems[6]->text(), u"205 - Edad/2"_s);

    const QString buttons = QStringLiteral(
        "NuevoEstBut=Estudio nuevo|AbrirBut=Abrir estudio existente|VerEstBut=Ver estudio|"
        "DerivBut=Selector de Derivación|FiltroBut=Filtro|VelBut=Velocidad de Trazo|"
        "GanBut=Ganancia|InicioBut=Comienza el estudio|AvanzaBut=Avanza a la siguiente etapa|"
        "DetenerBut=Detener|SiguienteBut=Ir a etapa de recuperación|GuardarBut=Grabar tira");
    for (const QString& pair : buttons.split(QLatin1Char('|'))) {
        const QString name = pair.section(QLatin1Char('='), 0, 0);
        const QString hint = pair.section(QLatin1Char('='), 1);
        auto* b = w->findChild<QToolButton*>(name);
        QVERIFY2(b, qPrintable(name));
        QCOMPARE(b->accessibleName(), hint);
        QCOMPARE(b->toolTip(), hint);
        QVERIFY(b->focusPolicy() & Qt::TabFocus);
    }
    // Status bar panels carry their design captions until a patient is opened.
    QCOMPARE(w->statusPanels[0]->text(), u"Nombre:"_s);
    QCOMPARE(w->FrecMaxLbl->buddy(), w->FrecMaxTxt);
}

void TestMainWindow::playbackDrivesTraceRateHeartAndAverage()
{
    copyRecording();
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

void TestMainWindow::closingABoxRestartsPlaybackFromTheFirstFrame()
{
    copyRecording();
    const QByteArray raw = readFile(path(u"ECG-1.ecg"_s));
    const auto firstSample = static_cast<qint16>(quint8(raw[0]) | (quint8(raw[1]) << 8));
    auto w = makeWindow();
    w->show();
    w->FormActivate();
    for (int tick = 0; tick < 7; ++tick)
        w->demoTimer().onTimeout();
    QCOMPARE(w->monitor().ring.writeIndex, 70);
    QVERIFY(w->sweep().state().sweepX > 0);
    const int before = w->activationCount();
    w->Acercamnu->trigger(); // the box closes and the window is active again
    QVERIFY(m_messages->shown.back().text.contains(kSoftwareVersion));
    QVERIFY(w->activationCount() > before);
    QCOMPARE(w->sweep().state().sweepX, 0);
    w->demoTimer().onTimeout();
    // The ring carries on where it was; the recording starts over.
    QCOMPARE(w->monitor().ring.writeIndex, 80);
    QCOMPARE(w->monitor().ring.at(0, 71), int(firstSample));
    QCOMPARE(w->windowTitle(), kProductTitle);
}

void TestMainWindow::displayCommandsCycleAndRelabel()
{
    copyRecording();
    auto w = makeWindow();
    w->FormActivate();
    QVERIFY(!w->FiltroEst->isEnabled());
    w->FiltroBut->trigger();
    QVERIFY(w->FiltroEst->isEnabled());
    QCOMPARE(w->FiltroEst->text(), u"F 50 Hz"_s);
    w->FiltroBut->trigger();
    QVERIFY(!w->FiltroEst->isEnabled());

    const auto cycle = [](QAction* button, QLabel* label) {
        QStringList seen{label->text()};
        for (int i = 0; i < 3; ++i) {
            button->trigger();
            seen << label->text();
        }
        return seen.join(QLatin1Char('|'));
    };
    QCOMPARE(cycle(w->VelBut, w->VelEst), u"25 mm/s|50 mm/s|10 mm/s|25 mm/s"_s);
    QCOMPARE(cycle(w->GanBut, w->GanEst), u"1.0cm/mV|2.0cm/mV|0.5cm/mV|1.0cm/mV"_s);
    // A new speed restarts the sweep at the left edge.
    for (int tick = 0; tick < 5; ++tick)
        w->demoTimer().onTimeout();
    QVERIFY(w->sweep().state().sweepX > 0);
    w->VelBut->trigger();
    QCOMPARE(w->sweep().state().sweepX, 0);
    // The port was reported once at start; gain changes on a closed port stay quiet.
    QCOMPARE(m_messages->count(u"error"_s), 1);

    // The detection lead moves only the heart symbol.
    QCOMPARE(w->heartlbl->y(), w->DerivLbl1->y());
    w->V5mnu->trigger();
    QVERIFY(w->V5mnu->isChecked() && !w->D2mnu->isChecked() && !w->V2mnu->isChecked());
    QCOMPARE(w->heartlbl->y(), w->DerivLbl3->y());
    w->V2mnu->trigger();
    w->V2mnu->trigger(); // choosing the checked item keeps it checked
    QVERIFY(w->V2mnu->isChecked());
    QCOMPARE(w->heartlbl->y(), w->DerivLbl2->y());
}

void TestMainWindow::averagingMenuFreezesTheBox()
{
    copyRecording();
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
    ESF_REQUIRE_SOCAT();
    PtyPair com1(m_dir->path(), u"com1"_s);
    PtyPair com3(m_dir->path(), u"com3"_s);
    QVERIFY(com1.ready());
    QVERIFY(com3.ready());
    writeFile(path(u"Puertos.txt"_s), (u"COM1="_s + com1.near + u"\nCOM2=/nonexistent/b\nCOM3="_s +
                                       com3.near + QLatin1Char('\n'))
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
    QCOMPARE(m_messages->count(u"error"_s), 1);
    QCOMPARE(w->config().portIndex, 1);
}

void TestMainWindow::layoutFollowsTheWindowSize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("1920x1080") << QSize(1920, 1080);
    QTest::newRow("1366x768") << QSize(1366, 768);
}

void TestMainWindow::layoutFollowsTheWindowSize()
{
    QFETCH(QSize, size);
    auto w = makeWindow();
    w->resize(size);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    w->FormActivate();
    const auto round = [](double v) { return static_cast<int>(std::nearbyint(v)); };
    QCOMPARE(w->ECGBar->width(), 65);
    QCOMPARE(w->PanelDatos->width(), 140);
    QCOMPARE(w->FrecBrd->height(), 90);
    QCOMPARE(w->FrecBrd->width(), 139);
    // Lead labels at quarters of the column, the heart beside the first lead.
    const int quarter = w->ECGBar->height() / 4;
    QCOMPARE(w->DerivLbl1->y(), quarter);
    QCOMPARE(w->DerivLbl3->y(), 3 * quarter);
    QCOMPARE(w->heartlbl->y(), w->DerivLbl1->y());
    // Heart-rate box: fields end at 92 % of the box, the first at 10 % from its top.
    QCOMPARE(w->FrecMaxTxt->geometry().right() + 1, round(0.92 * 139));
    QCOMPARE(w->FrecMaxTxt->y(), round(0.1 * 90));
    QCOMPARE(w->FrecSMaxTxt->geometry().bottom() + 1, round(0.9 * 90));
    QCOMPARE(w->FrecUnLbl->x(), w->FrecTxt->geometry().right() + 1);
    // Stage box: labels from 10 %, fields to 95 %, the bar half as high as a field.
    const int sw = w->TpoEtapabrd->width();
    QCOMPARE(w->TpoEtapabrd->height(), 150);
    QCOMPARE(w->CargaLbl->x(), round(0.1 * sw));
    QCOMPARE(w->TiempoResTxt->geometry().right() + 1, round(0.95 * sw));
    QCOMPARE(w->PendTxt->y(), w->CargaEtapaTxt->y() + w->CargaEtapaTxt->height() + 3);
    QCOMPARE(w->TiempoResbar->height(), w->TiempoResTxt->height() / 2);
    QCOMPARE(w->TiempoResbar->width(), round(0.8 * sw));
    // The QRS box fills what the boxes above and below leave.
    QCOMPARE(w->QRSBrd->geometry().bottom() + 1, w->PresBrd->y());
    // The sweep geometry follows the display's width.
    QCOMPARE(w->sweep().geometry().bigDiv, w->ECGDisp->width() / 28);
    QCOMPARE(w->sweep().image().size(), w->ECGDisp->size());
    QVERIFY(w->statusPanels[3]->width() >= 300);
}

void TestMainWindow::unitsComeFromTheGeneralData()
{
    writeFile(m_dir->filePath(QStringLiteral("Datosgen.txt")),
              "Clínica\r\n\r\n(   )        \r\n\r\n[Kgm]\r\n[Pa]\r\n[m/s]\r\nlpm\r\n[Grad]\r\n\r\n");
    auto w = makeWindow();
    QVERIFY(w->units().rate.isEmpty()); // nothing is read before the first activation
    w->FormActivate();
    QCOMPARE(w->units().rate, QStringLiteral("lpm"));
    QCOMPARE(w->units().load, QStringLiteral("[Kgm]"));
    QCOMPARE(w->FrecUnLbl->text(), QStringLiteral("lpm"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
