#include "TestSupport.h"
#include "app/ImageView.h"
#include "app/TZuvudezidedFrm.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QToolButton>
#include <cmath>
#include <optional>

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
    void missingForeignAndDamagedConfigurations();
    void exitWritesTheConfigurationAndKeepsItsTail();
    void everyCommandIsNamedAndReachable();
    void playbackDrivesTraceRateHeartAndAverage();
    void closingABoxRestartsPlaybackFromTheFirstFrame();
    void displayCommandsCycleAndRelabel();
    void gainBytesReachTheAcquisitionUnit();
    void layoutFollowsTheWindowSize();

private:
    std::unique_ptr<TZuvudezidedFrm> makeWindow();
    QString path(const QString& name) const { return m_work->path(name); }
    void copyRecording()
    {
        QVERIFY(QFile::copy(QStringLiteral(ESF_TEST_DATA "/rest-12lead-II-V2-V5.ecg"),
                            path(u"ECG-1.ecg"_s)));
    }

    std::optional<WorkFolder> m_work;
    std::shared_ptr<FakeMessages> m_messages;
    int m_quits = 0;
};

void TestMainWindow::init()
{
    m_work.emplace();
    m_messages = std::make_shared<FakeMessages>();
    m_quits = 0;
}

void TestMainWindow::cleanup()
{
    m_work.reset();
}

std::unique_ptr<TZuvudezidedFrm> TestMainWindow::makeWindow()
{
    auto w = std::make_unique<TZuvudezidedFrm>(fakeServices(m_messages, &m_quits));
    w->resize(1200, 800);
    return w;
}

void TestMainWindow::firstStartInAnEmptyFolder()
{
    auto w = makeWindow();
    QCOMPARE(readFile(path(u"Zirod.ini"_s)), QByteArray(107, '\0'));
    QVERIFY(w->COM1mnu->isChecked() && !w->COM2mnu->isChecked());
    QVERIFY(w->formulaItems[0]->isChecked() && w->D2mnu->isChecked() && w->PromQRSmnu->isChecked());
    // Nothing to run, save or print without a patient and a study.
    for (QAction* a : {w->InicioBut, w->GuardarBut, w->Estudionuevomnu, w->Imprimirmnu})
        QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
    QVERIFY(w->FiltroBut->isEnabled() && w->GanBut->isEnabled());
    // The absent port is reported once; nothing else complains.
    QCOMPARE(m_messages->shown.size(), 1);
    QVERIFY(m_messages->shown[0].text.startsWith(u"Unable to open com port (error code: "_s));
    QCOMPARE(w->workDir(), QDir::currentPath() + QLatin1Char('/'));

    // Without a recording there is only the grid; the units are read at activation.
    writeFile(path(u"Datosgen.txt"_s), "\r\n\r\n\r\n\r\n[Kgm]\r\n[Pa]\r\n[m/s]\r\nlpm\r\n");
    QVERIFY(w->units().rate.isEmpty());
    w->FormActivate();
    QCOMPARE(w->FrecUnLbl->text(), u"lpm"_s);
    QVERIFY(!w->demoTimerActive());
    QCOMPARE(countColour(w->sweep().image(), qRgb(255, 255, 0)), 0);
    QVERIFY(countColour(w->sweep().image(), qRgb(0, 128, 0)) > 100);
}

void TestMainWindow::missingForeignAndDamagedConfigurations()
{
    // Missing beside patient files: one warning, and the number continues after theirs.
    for (const char* n : {"00000003.DAT", "00000012.DAT", "ABCDEFGH.DAT"})
        writeFile(path(QLatin1String(n)), QByteArray());
    auto w = makeWindow();
    QCOMPARE(m_messages->count(u"warning"_s), 1);
    QCOMPARE(m_messages->shown[0].text,
             u" Falta archivo Zirod.ini. El programa creará uno nuevo, pero pueden destruirse "
             u"los estudios grabados"_s);
    QCOMPARE(readFile(path(u"Zirod.ini"_s)), "\x0c" + QByteArray(106, '\0'));

    // Port and formula indexes of another installation check nothing; port 5 is COM6, which
    // this folder maps to a missing device.
    QByteArray ini(107, '\0');
    ini[4] = char(5);
    ini[106] = char(9);
    writeFile(path(u"Zirod.ini"_s), ini);
    m_messages->shown.clear();
    w = makeWindow();
    QVERIFY(!w->COM1mnu->isChecked() && !w->COM2mnu->isChecked() && !w->COM3mnu->isChecked());
    for (QAction* a : w->formulaItems)
        QVERIFY(!a->isChecked());
    QCOMPARE(m_messages->count(u"error"_s), 1);

    // Damaged: reported, start-up completes, and the patient number never goes below the files
    // already there.
    writeFile(path(u"Zirod.ini"_s), QByteArray(50, '\x01'));
    m_messages->shown.clear();
    w = makeWindow();
    QCOMPARE(m_messages->count(u"error"_s), 2); // the file, then the port
    QVERIFY(m_messages->shown[0].text.contains(u"Zirod.ini"_s));
    QVERIFY(w->COM1mnu->isChecked() && w->formulaItems[0]->isChecked());
    w->SalirmnuClick();
    QCOMPARE(readFile(path(u"Zirod.ini"_s)).left(5), QByteArray("\x0c\x00\x00\x00\x00", 5));
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
    QVERIFY(!w->formulaItems[0]->isChecked());
    w->COM2mnu->trigger();
    QVERIFY(!w->COM1mnu->isChecked());
    // Zirod.ini is only written at exit.
    QCOMPARE(readFile(path(u"Zirod.ini"_s)), ini + "TAIL");

    w->SalirmnuClick();
    QByteArray expected = ini;
    expected[4] = char(1);
    expected[106] = char(3);
    QCOMPARE(readFile(path(u"Zirod.ini"_s)), expected + "TAIL");
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
        QVERIFY2(a && !a->text().isEmpty() && !a->associatedObjects().isEmpty(), qPrintable(name));
    }

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
        QCOMPARE(b->toolTip(), hint);
    }
}

void TestMainWindow::playbackDrivesTraceRateHeartAndAverage()
{
    copyRecording();
    auto w = makeWindow();
    w->FormActivate();
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
    QVERIFY2(rate > 40 && rate < 70, qPrintable(w->FrecTxt->text())); // about 61/min, settling
    QVERIFY(countColour(w->sweep().image(), qRgb(255, 255, 0)) > 500);
    QVERIFY(countColour(w->qrsImage(), qRgb(255, 0, 0)) > 50);

    // "Promediar QRS" off freezes the average and its box.
    w->PromQRSmnu->trigger();
    const QrsBeats frozen = w->monitor().qrs.values;
    const QImage box = w->qrsImage().copy();
    for (int tick = 0; tick < 200; ++tick)
        w->demoTimer().onTimeout();
    QCOMPARE(w->monitor().qrs.values, frozen);
    QCOMPARE(w->qrsImage(), box);
    w->PromQRSmnu->trigger();
    for (int tick = 0; tick < 200; ++tick)
        w->demoTimer().onTimeout();
    QVERIFY(w->monitor().qrs.values != frozen);
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
    QVERIFY(m_messages->shown.back().text.contains(u"Versión 2007.1.1"_s));
    QVERIFY(w->activationCount() > before);
    QCOMPARE(w->sweep().state().sweepX, 0);
    w->demoTimer().onTimeout();
    // The ring carries on where it was; the recording starts over.
    QCOMPARE(w->monitor().ring.writeIndex, 80);
    QCOMPARE(w->monitor().ring.at(0, 71), int(firstSample));
}

void TestMainWindow::displayCommandsCycleAndRelabel()
{
    copyRecording();
    auto w = makeWindow();
    w->FormActivate();
    w->FiltroBut->trigger();
    QVERIFY(w->FiltroEst->isEnabled() && w->monitor().settings.filterOn);
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
    w->V5mnu->trigger(); // choosing the checked item keeps it checked
    QVERIFY(w->V5mnu->isChecked() && !w->D2mnu->isChecked() && !w->V2mnu->isChecked());
    QCOMPARE(w->heartlbl->y(), w->DerivLbl3->y());
}

void TestMainWindow::gainBytesReachTheAcquisitionUnit()
{
    ESF_REQUIRE_SOCAT();
    PtyPair com1(m_work->dir(), u"com1"_s);
    PtyPair com3(m_work->dir(), u"com3"_s);
    QVERIFY(com1.ready() && com3.ready());
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

void TestMainWindow::layoutFollowsTheWindowSize()
{
    auto w = makeWindow();
    w->resize(1366, 768);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    w->FormActivate();
    const auto round = [](double v) { return static_cast<int>(std::nearbyint(v)); };
    QCOMPARE(w->PanelDatos->width(), 140);
    // Lead labels at quarters of the column; fields and labels at shares of their boxes.
    QCOMPARE(w->DerivLbl3->y(), 3 * (w->ECGBar->height() / 4));
    QCOMPARE(w->FrecMaxTxt->geometry().right() + 1, round(0.92 * w->FrecBrd->width()));
    QCOMPARE(w->CargaLbl->x(), round(0.1 * w->TpoEtapabrd->width()));
    QCOMPARE(w->TiempoResbar->height(), w->TiempoResTxt->height() / 2);
    // The QRS box fills what the boxes above and below leave; the sweep follows the display.
    QCOMPARE(w->QRSBrd->geometry().bottom() + 1, w->PresBrd->y());
    QCOMPARE(w->sweep().geometry().bigDiv, w->ECGDisp->width() / 28);
    QCOMPARE(w->sweep().image().size(), w->ECGDisp->size());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
