#include "app/TZuvudezidedFrm.h"

#include "acquisition/SerialLink.h"
#include "app/ImageView.h"
#include "app/LiveLabel.h"
#include "app/THelpFrm.h"
#include "app/ToolIcons.h"
#include "backup/TCopiarchfrm.h"
#include "common/FileError.h"
#include "common/FileNames.h"
#include "common/Rounding.h"
#include "display/QrsBox.h"
#include "protocol/MaxHeartRate.h"
#include "protocol/PressureEdit.h"
#include "protocol/TAbrirProtDlg.h"
#include "protocol/TNProtoFrm.h"
#include "protocol/TVerProtoFrm.h"
#include "protocol/TVirezAde.h"
#include "records/TAbrirEstfrm.h"
#include "records/TAbrirPacfrm.h"
#include "records/TEstudioExistFrm.h"
#include "records/TPacfrm.h"
#include "report/TInformfrm.h"
#include "report/TOKDatosDlg.h"
#include "report/TOKImpDlg.h"
#include "report/TResumenDlg.h"
#include "st/TQRSview.h"
#include "widgets/Controls.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace esf {
namespace {

constexpr int kEcgBarWidth = 65;
constexpr int kPanelDatosWidth = 140;
constexpr int kFrecBrdHeight = 90;
constexpr int kSampleTickMs = 50;
constexpr int kStageClockMs = 1000;

const std::array<QString, 8> kFormulaCaptions = {QStringLiteral("Robinson"),
                                                 QStringLiteral("220 - Edad"),
                                                 QStringLiteral("0.9 x (220 - Edad)"),
                                                 QStringLiteral("0.8 x (220 - Edad)"),
                                                 QStringLiteral("0.75 x (220 - Edad)"),
                                                 QStringLiteral("200 - Edad"),
                                                 QStringLiteral("205 - Edad/2"),
                                                 QStringLiteral("Usuario...")};
const std::array<const char*, 8> kFormulaNames = {
    "Robinsmnu",      "N220Edadmnu", "N9x220Edadmnu", "N8x220Edadmnu",
    "N75x220Edadmnu", "N200Edadmnu", "N205Edadmnu",   "UsuarioFMmnu"};

LiveLabel* makeLiveLabel(QWidget* parent, const char* name, const QString& caption)
{
    auto* l = new LiveLabel(caption, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

QFrame* makeFrame(QWidget* parent, const char* name, QFrame::Shape shape = QFrame::StyledPanel)
{
    auto* f = new QFrame(parent);
    f->setObjectName(QLatin1String(name));
    f->setFrameShape(shape);
    f->setFrameShadow(QFrame::Sunken);
    return f;
}

QString gainText(double gain)
{
    return QLocale::c().toString(gain, 'f', 1) + QStringLiteral("cm/mV");
}

} // namespace

TZuvudezidedFrm::TZuvudezidedFrm(Services services, QWidget* parent)
    : QMainWindow(parent), m_services(std::move(services))
{
    setObjectName(QStringLiteral("TZuvudezidedFrm"));
    m_demoTimer = m_services.makeTimer();
    m_demoTimer->setInterval(kSampleTickMs);
    m_demoTimer->onTimeout = [this] { DemoTimerTimer(); };
    m_etapaCrono = m_services.makeTimer();
    m_etapaCrono->onTimeout = [this] { EtapaCronoTimer(); };
    m_comPort1 = std::make_unique<SerialLink>();

    buildMenus();
    buildToolBar();
    buildCentral();
    buildStatusBar();
    createWindows();
    FormCreate();
}

TZuvudezidedFrm::~TZuvudezidedFrm() = default;

// ---------------------------------------------------------------- construction of controls

QAction* TZuvudezidedFrm::makeAction(const char* name, const QString& caption,
                                     void (TZuvudezidedFrm::*handler)())
{
    auto* a = new QAction(caption, this);
    a->setObjectName(QLatin1String(name));
    if (handler)
        connectCommand(a, [this, handler] { (this->*handler)(); });
    return a;
}

void TZuvudezidedFrm::connectCommand(QAction* action, std::function<void()> handler)
{
    // Every command passes here, so a route the menus do not cover (a pop-up, a screen
    // reader's action, a shortcut) cannot reach a command the running study locks.
    connect(action, &QAction::triggered, this, [this, action, handler = std::move(handler)] {
        if (!lockedByRun(action))
            handler();
    });
}

bool TZuvudezidedFrm::lockedByRun(const QAction* action) const
{
    if (!m_etapaCrono || !m_etapaCrono->isActive())
        return false;
    // The run's own commands stay live; "Guardar" saves a strip of the study in progress.
    for (const QAction* run :
         {InicioBut, AvanzaBut, DetenerBut, SiguienteBut, GuardarBut, Guardarmnu})
        if (action == run)
            return false;
    for (const QAction* study : {NuevoEstBut, AbrirBut, VerEstBut})
        if (action == study)
            return true;
    const std::function<bool(const QMenu*)> holds = [&](const QMenu* menu) {
        const QList<QAction*> actions = menu->actions();
        for (const QAction* a : actions) {
            if (a == action || (a->menu() && holds(a->menu())))
                return true;
        }
        return false;
    };
    for (const QMenu* m : {Archivomnu, Configmnu, Protocolosmnu, Informemnu, PacPopupmnu})
        if (holds(m))
            return true;
    return false;
}

QAction* TZuvudezidedFrm::makeToolButton(const char* name, const QString& hint, const QIcon& icon,
                                         void (TZuvudezidedFrm::*handler)())
{
    QAction* a = makeAction(name, hint, handler);
    a->setIcon(icon);
    a->setToolTip(hint);
    ToolBar1->addAction(a);
    if (auto* button = qobject_cast<QToolButton*>(ToolBar1->widgetForAction(a))) {
        button->setObjectName(QLatin1String(name));
        button->setAccessibleName(hint);
        button->setFocusPolicy(Qt::TabFocus);
    }
    return a;
}

void TZuvudezidedFrm::buildMenus()
{
    QMenuBar* bar = menuBar();
    auto menu = [&](QMenu* parentMenu, const char* name, const QString& title) {
        QMenu* m = parentMenu ? parentMenu->addMenu(title) : bar->addMenu(title);
        m->setObjectName(QLatin1String(name));
        m->setTitle(title);
        return m;
    };

    Archivomnu = menu(nullptr, "Archivomnu", QStringLiteral("&Archivo"));
    PacNuevomnu = makeAction("PacNuevomnu", QStringLiteral("Paciente Nuevo..."),
                             &TZuvudezidedFrm::PacNuevomnuClick);
    PacExistentemnu = makeAction("PacExistentemnu", QStringLiteral("Paciente Existente..."),
                                 &TZuvudezidedFrm::PacExistentemnuClick);
    Cerrarpacmnu = makeAction("Cerrarpacmnu", QStringLiteral("Cerrar paciente"),
                              &TZuvudezidedFrm::CerrarpacmnuClick);
    Estudionuevomnu = makeAction("Estudionuevomnu", QStringLiteral("Estudio nuevo"),
                                 &TZuvudezidedFrm::EstudionuevomnuClick);
    EstudioExistmnu = makeAction("EstudioExistmnu", QStringLiteral("Estudio Existente..."),
                                 &TZuvudezidedFrm::EstudioExistmnuClick);
    Archivomnu->addActions({PacNuevomnu, PacExistentemnu, Cerrarpacmnu});
    Archivomnu->addSeparator();
    Archivomnu->addActions({Estudionuevomnu, EstudioExistmnu});
    Archivomnu->addSeparator();
    CopiaArchivosmnu = menu(Archivomnu, "CopiaArchivosmnu", QStringLiteral("Copia de archivos..."));
    Copiarmnu =
        makeAction("Copiarmnu", QStringLiteral("Copiar..."), &TZuvudezidedFrm::CopiarmnuClick);
    AbrirCopiamnu = makeAction("AbrirCopiamnu", QStringLiteral("Abrir..."),
                               &TZuvudezidedFrm::AbrirCopiamnuClick);
    Recuperarmnu = makeAction("Recuperarmnu", QStringLiteral("Recuperar..."),
                              &TZuvudezidedFrm::RecuperarmnuClick);
    CopiaArchivosmnu->addActions({Copiarmnu, AbrirCopiamnu, Recuperarmnu});
    BorrarPacmnu = makeAction("BorrarPacmnu", QStringLiteral("Borrar Paciente..."),
                              &TZuvudezidedFrm::BorrarPacmnuClick);
    Guardarmnu =
        makeAction("Guardarmnu", QStringLiteral("Guardar"), &TZuvudezidedFrm::GuardarmnuClick);
    Archivomnu->addActions({BorrarPacmnu, Guardarmnu});
    Archivomnu->addSeparator();
    Salirmnu = makeAction("Salirmnu", QStringLiteral("&Salir"), &TZuvudezidedFrm::SalirmnuClick);
    Archivomnu->addAction(Salirmnu);

    Configmnu = menu(nullptr, "Configmnu", QStringLiteral("&Configuración"));
    PuertoSeriemnu = menu(Configmnu, "PuertoSeriemnu", QStringLiteral("Puerto Serie"));
    COM1mnu = makeAction("COM1mnu", QStringLiteral("COM 1"), &TZuvudezidedFrm::COM1mnuClick);
    COM2mnu = makeAction("COM2mnu", QStringLiteral("COM 2"), &TZuvudezidedFrm::COM2mnuClick);
    COM3mnu = makeAction("COM3mnu", QStringLiteral("COM 3"), &TZuvudezidedFrm::COM3mnuClick);
    for (QAction* a : {COM1mnu, COM2mnu, COM3mnu})
        a->setCheckable(true);
    PuertoSeriemnu->addActions({COM1mnu, COM2mnu, COM3mnu});
    Impresoramnu = makeAction("Impresoramnu", QStringLiteral("Impresora..."),
                              &TZuvudezidedFrm::ImpresoramnuClick);
    Datosgenmnu = makeAction("Datosgenmnu", QStringLiteral("Datos generales..."),
                             &TZuvudezidedFrm::mnuDatosgenClick);
    Comunicmnu = makeAction("Comunicmnu", QStringLiteral("Comunicación con el ergómetro"),
                            &TZuvudezidedFrm::ComunicmnuClick);
    PromQRSmnu = makeAction("PromQRSmnu", QStringLiteral("Promediar QRS"),
                            &TZuvudezidedFrm::PromQRSmnuClick);
    PromQRSmnu->setCheckable(true);
    Configmnu->addActions({Impresoramnu, Datosgenmnu, Comunicmnu, PromQRSmnu});

    FrecMaxmnu = menu(Configmnu, "FrecMaxmnu", QStringLiteral("Frecuencia máxima"));
    formulaGroup = new QActionGroup(this);
    formulaGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (int i = 0; i < 8; ++i) {
        QAction* a = makeAction(kFormulaNames[static_cast<std::size_t>(i)],
                                kFormulaCaptions[static_cast<std::size_t>(i)], nullptr);
        a->setCheckable(true);
        formulaGroup->addAction(a);
        connectCommand(a, [this, i] {
            chooseFormula(i);
            if (i == kUserFormula)
                UsuarioFMmnuClick();
        });
        formulaItems[static_cast<std::size_t>(i)] = a;
        FrecMaxmnu->addAction(a);
    }

    DeteccionQRSmnu = menu(Configmnu, "DeteccionQRSmnu", QStringLiteral("Detección QRS"));
    D2mnu = makeAction("D2mnu", QStringLiteral("D2"), &TZuvudezidedFrm::D2mnuClick);
    V2mnu = makeAction("V2mnu", QStringLiteral("V2"), &TZuvudezidedFrm::V2mnuClick);
    V5mnu = makeAction("V5mnu", QStringLiteral("V5"), &TZuvudezidedFrm::V5mnuClick);
    for (QAction* a : {D2mnu, V2mnu, V5mnu})
        a->setCheckable(true);
    DeteccionQRSmnu->addActions({D2mnu, V2mnu, V5mnu});

    Protocolosmnu = menu(nullptr, "Protocolosmnu", QStringLiteral("&Protocolos"));
    EditarProtomnu = makeAction("EditarProtomnu", QStringLiteral("Protocolo nuevo"),
                                &TZuvudezidedFrm::EditarProtomnuClick);
    AbrirProtocolomnu = makeAction("AbrirProtocolomnu", QStringLiteral("Abrir Protocolo"),
                                   &TZuvudezidedFrm::AbrirProtocolomnuClick);
    MostrarProtmnu = makeAction("MostrarProtmnu", QStringLiteral("Mostrar Protocolo"),
                                &TZuvudezidedFrm::MostrarProtmnuClick);
    Protocolosmnu->addActions({EditarProtomnu, AbrirProtocolomnu, MostrarProtmnu});

    Informemnu = menu(nullptr, "Informemnu", QStringLiteral("&Informe"));
    VerInformemnu = makeAction("VerInformemnu", QStringLiteral("Ver Informe"),
                               &TZuvudezidedFrm::VerInformemnuClick);
    PlantInformemnu = makeAction("PlantInformemnu", QStringLiteral("Plantilla Informe"),
                                 &TZuvudezidedFrm::PlantInformemnuClick);
    Imprimirmnu =
        makeAction("Imprimirmnu", QStringLiteral("Imprimir"), &TZuvudezidedFrm::ImprimirmnuClick);
    ResumenClinicomnu = makeAction("ResumenClinicomnu", QStringLiteral("Resumen clínico..."),
                                   &TZuvudezidedFrm::ResumenClinicomnuClick);
    ResumenClinicomnu->setEnabled(false);
    Informemnu->addActions({VerInformemnu, PlantInformemnu, Imprimirmnu, ResumenClinicomnu});
    // The study's file name may have come since the menu state was set (its first record).
    connect(Informemnu, &QMenu::aboutToShow, this, [this] {
        setCommandEnabled(VerInformemnu, m_reportCommandWanted);
        // Only a study with records on disk has anything to summarise.
        ResumenClinicomnu->setEnabled(!m_session.studyFileName.isEmpty());
    });

    Ayudamnu = menu(nullptr, "Ayudamnu", QStringLiteral("A&yuda"));
    Ayuda1 = makeAction("Ayuda1", QStringLiteral("Ayuda..."), &TZuvudezidedFrm::Ayuda1Click);
    Acercamnu =
        makeAction("Acercamnu", QStringLiteral("Acerca..."), &TZuvudezidedFrm::AcercamnuClick);
    Ayudamnu->addActions({Ayuda1, Acercamnu});

    PacPopupmnu = new QMenu(this);
    PacPopupmnu->setObjectName(QStringLiteral("PacPopupmnu"));
    Pacexismnu = makeAction("Pacexismnu", QStringLiteral("Paciente existente..."),
                            &TZuvudezidedFrm::PacexismnuClick);
    Pacientenuevomnu = makeAction("Pacientenuevomnu", QStringLiteral("Paciente nuevo..."),
                                  &TZuvudezidedFrm::PacientenuevomnuClick);
    PacPopupmnu->addActions({Pacexismnu, Pacientenuevomnu});
}

void TZuvudezidedFrm::buildToolBar()
{
    ToolBar1 = addToolBar(QStringLiteral("Barra de herramientas"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setIconSize(QSize(28, 28));

    NuevoEstBut = makeToolButton("NuevoEstBut", QStringLiteral("Estudio nuevo"),
                                 toolIcon(ToolGlyph::NewStudy), &TZuvudezidedFrm::NuevoEstButClick);
    AbrirBut = makeToolButton("AbrirBut", QStringLiteral("Abrir estudio existente"),
                              toolIcon(ToolGlyph::OpenStudy), &TZuvudezidedFrm::AbrirButClick);
    VerEstBut = makeToolButton("VerEstBut", QStringLiteral("Ver estudio"),
                               toolIcon(ToolGlyph::ViewStudy), &TZuvudezidedFrm::VerEstButClick);
    ToolBar1->addSeparator();
    DerivBut = makeToolButton("DerivBut", QStringLiteral("Selector de Derivación"),
                              toolIcon(ToolGlyph::Leads), &TZuvudezidedFrm::DerivButClick);
    FiltroBut = makeToolButton("FiltroBut", QStringLiteral("Filtro"), toolIcon(ToolGlyph::Filter),
                               &TZuvudezidedFrm::FiltroButClick);
    VelBut = makeToolButton("VelBut", QStringLiteral("Velocidad de Trazo"),
                            toolIcon(ToolGlyph::Speed), &TZuvudezidedFrm::VelButClick);
    GanBut = makeToolButton("GanBut", QStringLiteral("Ganancia"), toolIcon(ToolGlyph::Gain),
                            &TZuvudezidedFrm::GanButClick);
    ToolBar1->addSeparator();
    InicioBut = makeToolButton("InicioBut", QStringLiteral("Comienza el estudio"),
                               toolIcon(ToolGlyph::Start), &TZuvudezidedFrm::InicioButClick);
    AvanzaBut = makeToolButton("AvanzaBut", QStringLiteral("Avanza a la siguiente etapa"),
                               toolIcon(ToolGlyph::Next), &TZuvudezidedFrm::AvanzaButClick);
    DetenerBut = makeToolButton("DetenerBut", QStringLiteral("Detener"), toolIcon(ToolGlyph::Stop),
                                &TZuvudezidedFrm::DetenerButClick);
    SiguienteBut =
        makeToolButton("SiguienteBut", QStringLiteral("Ir a etapa de recuperación"),
                       toolIcon(ToolGlyph::Recovery), &TZuvudezidedFrm::SiguienteButClick);
    GuardarBut = makeToolButton("GuardarBut", QStringLiteral("Grabar tira"),
                                toolIcon(ToolGlyph::SaveStrip), &TZuvudezidedFrm::GuardarButClick);
    DerivBut->setEnabled(false); // no second set of leads to choose from
}

void TZuvudezidedFrm::buildCentral()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Central"));
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    ECGBar = makeFrame(central, "ECGBar", QFrame::NoFrame);
    ECGBar->setFixedWidth(kEcgBarWidth);
    DerivLbl1 = makeLabel(ECGBar, "DerivLbl1", QStringLiteral("II"));
    DerivLbl2 = makeLabel(ECGBar, "DerivLbl2", QStringLiteral("V2"));
    DerivLbl3 = makeLabel(ECGBar, "DerivLbl3", QStringLiteral("V5"));
    QFont leadFont(QStringLiteral("Arial"), 12, QFont::Bold);
    for (QLabel* l : {DerivLbl1, DerivLbl2, DerivLbl3})
        l->setFont(leadFont);
    heartlbl = makeLabel(ECGBar, "heartlbl", QString(QChar(0x2665)));
    heartlbl->setAccessibleName(QStringLiteral("Latido"));
    QFont heartFont(QStringLiteral("Arial"));
    heartFont.setPixelSize(15);
    heartFont.setBold(true);
    heartlbl->setFont(heartFont);
    heartlbl->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
    heartlbl->adjustSize();
    heartlbl->setVisible(false);
    ECGEst = makeFrame(ECGBar, "ECGEst");
    FiltroEst = makeLabel(ECGEst, "FiltroEst", QStringLiteral("F 50 Hz"));
    FiltroEst->setStyleSheet(
        QStringLiteral("QLabel { color: green; } QLabel:disabled { color: gray; }"));
    VelEst = makeLabel(ECGEst, "VelEst", QStringLiteral("25 mm/s"));
    VelEst->setStyleSheet(QStringLiteral("color: red;"));
    GanEst = makeLabel(ECGEst, "GanEst", QStringLiteral("1.0cm/mV"));
    GanEst->setStyleSheet(QStringLiteral("color: blue;"));
    row->addWidget(ECGBar);

    ECGPanel = makeFrame(central, "ECGPanel", QFrame::Panel);
    ECGPanel->setLineWidth(2);
    ECGPanel->setStyleSheet(QStringLiteral("QFrame#ECGPanel { background: white; }"));
    auto* panelLayout = new QVBoxLayout(ECGPanel);
    panelLayout->setContentsMargins(2, 2, 2, 2);
    ECGDisp = new ImageView(ECGPanel);
    ECGDisp->setObjectName(QStringLiteral("ECGDisp"));
    ECGDisp->setAccessibleName(QStringLiteral("Trazado ECG"));
    ECGDisp->setImage(&m_sweep.image());
    panelLayout->addWidget(ECGDisp);
    connect(ECGDisp, &ImageView::resized, this, [this] { resizeSweep(); });
    row->addWidget(ECGPanel, 1);

    PanelDatos = makeFrame(central, "PanelDatos", QFrame::NoFrame);
    PanelDatos->setFixedWidth(kPanelDatosWidth);
    auto* dataLayout = new QVBoxLayout(PanelDatos);
    dataLayout->setContentsMargins(0, 0, 1, 0);
    dataLayout->setSpacing(0);

    FrecBrd = makeFrame(PanelDatos, "FrecBrd");
    FrecBrd->setFixedHeight(kFrecBrdHeight);
    FrecTxt = makeLiveLabel(FrecBrd, "FrecTxt", QStringLiteral("Frecuencia cardíaca"));
    FrecTxt->setText(QStringLiteral("0"));
    QFont rateFont(QStringLiteral("Arial"), 26, QFont::Bold);
    FrecTxt->setFont(rateFont);
    FrecTxt->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    FrecUnLbl = makeLabel(FrecBrd, "FrecUnLbl", m_units.rate);
    FrecMaxLbl = makeLabel(FrecBrd, "FrecMaxLbl", QStringLiteral("Max."));
    FrecMaxTxt = makeLiveLabel(FrecBrd, "FrecMaxTxt", QStringLiteral("Max."));
    FrecSMaxLbl = makeLabel(FrecBrd, "FrecSMaxLbl", QStringLiteral("SubMax."));
    FrecSMaxTxt = makeLiveLabel(FrecBrd, "FrecSMaxTxt", QStringLiteral("SubMax."));
    FrecMaxLbl->setBuddy(FrecMaxTxt);
    FrecSMaxLbl->setBuddy(FrecSMaxTxt);
    dataLayout->addWidget(FrecBrd);

    QRSBrd = makeFrame(PanelDatos, "QRSBrd");
    auto* qrsLayout = new QVBoxLayout(QRSBrd);
    qrsLayout->setContentsMargins(1, 1, 1, 1);
    qrsLayout->setSpacing(0);
    QRSdisp = new ImageView(QRSBrd);
    QRSdisp->setObjectName(QStringLiteral("QRSdisp"));
    QRSdisp->setAccessibleName(QStringLiteral("QRS promedio"));
    QRSdisp->setCursor(Qt::SizeAllCursor);
    QRSdisp->setImage(&m_qrsImage);
    connect(QRSdisp, &ImageView::doubleClicked, this, [this] { QRSdispDblClick(); });
    connect(QRSdisp, &ImageView::resized, this, [this] { DrawQRSBox(); });
    ScrollQRS1 = new QScrollBar(Qt::Horizontal, QRSBrd);
    ScrollQRS1->setObjectName(QStringLiteral("ScrollQRS1"));
    ScrollQRS1->setAccessibleName(QStringLiteral("Desplazamiento QRS"));
    ScrollQRS1->setRange(0, 100);
    ScrollQRS1->setPageStep(10);
    qrsLayout->addWidget(QRSdisp, 1);
    qrsLayout->addWidget(ScrollQRS1);
    dataLayout->addWidget(QRSBrd, 1);
    buildPressureBox(PanelDatos);
    dataLayout->addWidget(PresBrd);
    buildStageBox(PanelDatos);
    dataLayout->addWidget(TpoEtapabrd);
    row->addWidget(PanelDatos);

    setCentralWidget(central);
}

void TZuvudezidedFrm::buildStatusBar()
{
    StatusBarPac = new QStatusBar(this);
    StatusBarPac->setObjectName(QStringLiteral("StatusBarPac"));
    StatusBarPac->setSizeGripEnabled(false);
    StatusBarPac->setCursor(Qt::PointingHandCursor);
    const std::array<QString, 5> design = {QStringLiteral("Nombre:"), QStringLiteral("Edad:"),
                                           QStringLiteral("Sexo:"), QStringLiteral("Protocolo:"),
                                           QStringLiteral("Fecha:")};
    const std::array<int, 5> widths = {200, 80, 100, 300, 50};
    for (std::size_t i = 0; i < design.size(); ++i) {
        auto* l = new QLabel(design[i], StatusBarPac);
        l->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        l->setAccessibleName(design[i]);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setMinimumWidth(widths[i]);
        l->installEventFilter(this);
        StatusBarPac->addWidget(l, i == design.size() - 1 ? 1 : 0);
        statusPanels[i] = l;
    }
    StatusBarPac->installEventFilter(this);
    StatusBarPac->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(StatusBarPac, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PacPopupmnu->popup(StatusBarPac->mapToGlobal(pos)); });
    setStatusBar(StatusBarPac);
}

// ---------------------------------------------------------------- start-up and exit

QString TZuvudezidedFrm::zirodPath() const
{
    return resolveCaseInsensitive(QDir(m_workDir), kZirodFileName);
}

void TZuvudezidedFrm::FormCreate()
{
    m_creating = true;
    // Working directory: where the program was started; every data file lives there.
    m_workDir = QDir::currentPath();
    if (!m_workDir.endsWith(QLatin1Char('/')))
        m_workDir += QLatin1Char('/');
    QDir::setCurrent(m_workDir);

    m_monitor = LiveMonitor();
    m_patientOpen = false;
    m_session.studyCount = 0;
    m_config = ZirodConfig();

    m_etapaCrono->stop();
    m_etapaCrono->setInterval(kStageClockMs);

    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->geometry());
    setStyleSheet(QStringLiteral("QMainWindow { background: white; }"));

    const QDir dir(m_workDir);
    try {
        const QString path = zirodPath();
        if (!QFileInfo::exists(path)) {
            m_config.lastPatientNumber = scanLastPatientNumber(dir);
            if (m_config.lastPatientNumber > 0)
                m_services.messages->warning(this, kZirodMissingText);
            createZirod(path, m_config);
        }
        m_config = readZirod(zirodPath());
    } catch (const FileError& e) {
        // A damaged configuration must not leave the window half set up; the patient
        // number falls back to the files on disk so no patient file is ever reused.
        showError(e.message());
        m_config = ZirodConfig();
        m_config.lastPatientNumber = scanLastPatientNumber(dir);
    }

    reloadLastProtocol();

    // Initial command state.
    setCommandEnabled(PacExistentemnu, true);
    setCommandEnabled(PacNuevomnu, true);
    setCommandEnabled(Guardarmnu, false);
    setCommandEnabled(GuardarBut, false);
    setCommandEnabled(Estudionuevomnu, false);
    setCommandEnabled(EstudioExistmnu, false);
    Configmnu->setEnabled(true);
    SetRunControls(false);
    setCommandEnabled(VerInformemnu, false);
    setCommandEnabled(PlantInformemnu, true);
    setCommandEnabled(Imprimirmnu, false);
    Cerrarpacmnu->setEnabled(true);
    D2mnu->setChecked(true);
    V2mnu->setChecked(false);
    V5mnu->setChecked(false);
    PromQRSmnu->setChecked(true);
    m_monitor.averagingOn = true;

    applyPortChecks();
    OpenPort();
    try {
        SendCommand(m_monitor.settings.gainIndex);
    } catch (const SerialError& e) {
        showError(e.message());
    }
    applyFormulaCheck();
    m_creating = false;
}

void TZuvudezidedFrm::SalirmnuClick()
{
    if (m_exited)
        return;
    // A report with unsaved edits is offered for saving; a failed save keeps the program.
    if (Informfrm && Informfrm->isVisible() && !Informfrm->close())
        return;
    m_demoTimer->stop();
    m_source.close();
    m_comPort1->close();
    try {
        updateZirod(zirodPath(), m_config);
    } catch (const FileError& e) {
        showError(e.message());
        return;
    }
    m_exited = true;
    close();
    if (m_services.quit)
        m_services.quit();
}

void TZuvudezidedFrm::closeEvent(QCloseEvent* e)
{
    // The window has no close box; a close from the desktop ends the program the
    // orderly way so the configuration is not lost, and never in the middle of a test.
    if (!m_exited && m_etapaCrono->isActive()) {
        const bool stop = runModal([&] {
            return m_services.messages->confirm(
                this, QStringLiteral("Hay un estudio en curso. ¿Detener el estudio y salir?"));
        });
        if (!stop) {
            e->ignore();
            return;
        }
        DetenerButClick();
    }
    if (!m_exited)
        savePendingStageEnd();
    if (!m_exited)
        SalirmnuClick();
    if (m_exited)
        e->accept();
    else
        e->ignore();
}

// ---------------------------------------------------------------- activation

bool TZuvudezidedFrm::event(QEvent* e)
{
    if (e->type() == QEvent::WindowDeactivate) {
        m_deactivated = true;
    } else if (e->type() == QEvent::WindowActivate && m_deactivated && !m_exited) {
        const bool result = QMainWindow::event(e);
        FormActivate();
        return result;
    }
    return QMainWindow::event(e);
}

void TZuvudezidedFrm::afterModal(int serialBefore)
{
    // Offscreen and some window managers send no activation when a modal box closes.
    if (!m_creating && !m_exited && isVisible() && m_activationCount == serialBefore)
        FormActivate();
}

void TZuvudezidedFrm::showError(const QString& text)
{
    if (m_inClockTick) {
        // A box opened inside the clock's tick would stop the clock until it is closed.
        QTimer::singleShot(0, this, [this, text] { showError(text); });
        return;
    }
    const int serial = modalSerial();
    m_services.messages->error(this, text);
    afterModal(serial);
}

void TZuvudezidedFrm::FormActivate()
{
    m_deactivated = false;
    ++m_activationCount;
    update();
    LoadUnits();
    placeLeftColumn();
    placeHeartRateBox();
    placePressureBox();
    placeStageBox();
    resizeSweep();
    DrawGrid(m_monitor.settings.speed());
    DrawQRSBox();
    UpdateLabels();
    Comunicmnu->setEnabled(false);
    setWindowTitle(kProductTitle);

    // Playback restarts from the beginning of the recording; the rings stay continuous.
    m_demoTimer->stop();
    m_source.close();
    const QString samplePath = resolveCaseInsensitive(QDir(m_workDir), kSampleFileName);
    if (m_source.open(samplePath))
        m_demoTimer->start();
}

bool TZuvudezidedFrm::demoTimerActive() const
{
    return m_demoTimer->isActive();
}

void TZuvudezidedFrm::placeLeftColumn()
{
    const int h = ECGBar->height();
    const int quarter = h / 4;
    DerivLbl1->move(20, quarter);
    DerivLbl2->move(20, quarter * 2);
    DerivLbl3->move(20, quarter * 3);
    for (QLabel* l : {DerivLbl1, DerivLbl2, DerivLbl3})
        l->adjustSize();
    heartlbl->move(2, DerivLbl1->y());

    for (QLabel* l : {FiltroEst, VelEst, GanEst})
        l->adjustSize();
    const int lineHeight = VelEst->sizeHint().height();
    const int estHeight = 3 * lineHeight + 4;
    ECGEst->setGeometry(0, h - estHeight, kEcgBarWidth, estHeight);
    FiltroEst->move(3, 2);
    VelEst->move(3, estHeight / 3);
    GanEst->move(3, 2 * estHeight / 3);
}

void TZuvudezidedFrm::placeHeartRateBox()
{
    const int w = FrecBrd->width();
    const int h = FrecBrd->height();
    FrecTxt->adjustSize();
    FrecUnLbl->adjustSize();
    FrecTxt->move((w - FrecTxt->width() - FrecUnLbl->width()) / 4, (h - FrecTxt->height()) / 2);
    FrecUnLbl->setGeometry(FrecTxt->x() + FrecTxt->width(), FrecTxt->y(), FrecUnLbl->width(),
                           FrecTxt->height());
    const int right = static_cast<int>(roundHalfEven(0.92 * w));
    for (QLabel* l :
         std::initializer_list<QLabel*>{FrecMaxTxt, FrecSMaxTxt, FrecMaxLbl, FrecSMaxLbl})
        l->adjustSize();
    const int fieldWidth = qMax(FrecMaxTxt->width(), 30);
    FrecMaxTxt->setGeometry(right - fieldWidth, static_cast<int>(roundHalfEven(0.1 * h)),
                            fieldWidth, FrecMaxTxt->height());
    FrecSMaxTxt->setGeometry(right - fieldWidth,
                             static_cast<int>(roundHalfEven(0.9 * h)) - FrecSMaxTxt->height(),
                             fieldWidth, FrecSMaxTxt->height());
    FrecMaxLbl->move(FrecMaxTxt->x() - FrecMaxLbl->width(), FrecMaxTxt->y());
    FrecSMaxLbl->move(FrecSMaxTxt->x() - FrecSMaxLbl->width(), FrecSMaxTxt->y());
}

// ---------------------------------------------------------------- live signal

void TZuvudezidedFrm::resizeSweep()
{
    const QSize s = ECGDisp->size();
    const int hq = QRSdisp->height();
    if (m_sweep.image().size() == s && m_sweep.geometry().qrsBaseline[0] == hq / 4)
        return;
    m_sweep.resize(s.width(), s.height(), hq);
    DrawGrid(m_monitor.settings.speed());
    DrawQRSBox();
}

void TZuvudezidedFrm::DrawGrid(int speed)
{
    m_sweep.drawGrid(speed);
    ECGDisp->update();
}

void TZuvudezidedFrm::DemoTimerTimer()
{
    // Never let an exception leave the event loop: the trace must keep running.
    try {
        m_monitor.tick(m_source, this);
    } catch (const std::exception& e) {
        qWarning("Sample tick failed: %s", e.what());
    }
    const QRegion dirty = m_sweep.takeDirtyRegion();
    if (!dirty.isEmpty())
        ECGDisp->update(dirty);
}

void TZuvudezidedFrm::traceSample(int value, int lead)
{
    m_sweep.drawTraceSample(value, lead);
}

void TZuvudezidedFrm::beatFlagChanged(bool visible)
{
    heartlbl->setVisible(visible);
}

void TZuvudezidedFrm::heartRateRefresh(int heartRate)
{
    const QString text = QString::number(heartRate);
    if (FrecTxt->text() != text) {
        FrecTxt->setText(text);
        placeHeartRateBox(); // the number's width changes its centring
    }
}

void TZuvudezidedFrm::qrsAverageUpdated()
{
    // Under the new averages the box needs restoring only where the last ones were drawn.
    if (m_qrsImage.size() == QRSdisp->size())
        DrawQRSBox(m_qrsAverageArea);
    else
        DrawQRSBox();
    DrawQRSAverage();
}

void TZuvudezidedFrm::DrawQRSBox()
{
    const QSize s = QRSdisp->size();
    if (m_qrsImage.size() != s)
        m_qrsImage = QImage(s, QImage::Format_RGB32);
    DrawQRSBox(m_qrsImage.rect());
}

void TZuvudezidedFrm::DrawQRSBox(const QRegion& area)
{
    if (m_qrsImage.isNull())
        return;
    restoreQrsBox(m_qrsImage, m_sweep.geometry().bigDiv, palette().color(QPalette::Button), area);
    m_qrsAverageArea = QRegion();
    QRSdisp->update();
}

void TZuvudezidedFrm::DrawQRSAverage()
{
    if (m_qrsImage.isNull())
        return;
    QPainter p(&m_qrsImage);
    const SweepGeometry& g = m_sweep.geometry();
    const int hq = m_qrsImage.height();
    const std::array<int, 3> baselines = {hq / 4, 2 * (hq / 4), 3 * (hq / 4)};
    m_qrsAverageArea = drawQrsAverage(p, m_monitor.qrs.values, baselines, g.pxPerSample,
                                      g.pxPerUnit, ScrollQRS1->value());
    QRSdisp->update();
}

void TZuvudezidedFrm::UpdateLabels()
{
    const DisplaySettings& s = m_monitor.settings;
    FiltroEst->setEnabled(s.filterOn);
    VelEst->setText(QString::number(s.speed()) + QStringLiteral(" mm/s"));
    GanEst->setText(gainText(s.gain()));
    for (QLabel* l : {FiltroEst, VelEst, GanEst}) {
        l->adjustSize();
        l->setAccessibleName(l->text());
    }
    const auto& labels = kLeadLabelTable[s.leadSetIndex % kLeadLabelTable.size()];
    DerivLbl1->setText(labels[0]);
    DerivLbl2->setText(labels[1]);
    DerivLbl3->setText(labels[2]);
}

void TZuvudezidedFrm::FiltroButClick()
{
    m_monitor.settings.filterOn = !m_monitor.settings.filterOn;
    UpdateLabels();
}

void TZuvudezidedFrm::VelButClick()
{
    m_monitor.settings.speedIndex =
        static_cast<std::uint8_t>((m_monitor.settings.speedIndex + 1) % 3);
    UpdateLabels();
    DrawGrid(m_monitor.settings.speed());
}

void TZuvudezidedFrm::GanButClick()
{
    m_monitor.settings.gainIndex =
        static_cast<std::uint8_t>((m_monitor.settings.gainIndex + 1) % 3);
    // The new factor applies at once, so the label follows it even if the unit missed the byte.
    UpdateLabels();
    try {
        SendCommand(m_monitor.settings.gainIndex);
    } catch (const SerialError& e) {
        showError(e.message());
    }
}

void TZuvudezidedFrm::chooseDetectionLead(int lead)
{
    D2mnu->setChecked(lead == 0);
    V2mnu->setChecked(lead == 1);
    V5mnu->setChecked(lead == 2);
    const std::array<QLabel*, 3> labels = {DerivLbl1, DerivLbl2, DerivLbl3};
    heartlbl->move(heartlbl->x(), labels[static_cast<std::size_t>(lead)]->y());
}

void TZuvudezidedFrm::D2mnuClick()
{
    chooseDetectionLead(0);
}
void TZuvudezidedFrm::V2mnuClick()
{
    chooseDetectionLead(1);
}
void TZuvudezidedFrm::V5mnuClick()
{
    chooseDetectionLead(2);
}

void TZuvudezidedFrm::PromQRSmnuClick()
{
    // QAction already toggled its check mark; the average follows it.
    m_monitor.averagingOn = PromQRSmnu->isChecked();
}

void TZuvudezidedFrm::QRSdispDblClick()
{
    if (!PromQRSmnu->isChecked())
        return;
    // The view works on a copy; the live average keeps running meanwhile.
    const QrsAverage snapshot = m_monitor.qrs;
    m_currentST = runModal([&] {
        return QRSview->ShowQRS(snapshot.values, snapshot.fidIdx, m_monitor.settings.speed(),
                                m_monitor.settings.gain());
    });
}

void TZuvudezidedFrm::Ayuda1Click()
{
    runModal([&] { HelpFrm->showContents(); });
}

void TZuvudezidedFrm::AcercamnuClick()
{
    const int serial = modalSerial();
    m_services.messages->information(
        this, QStringLiteral("Esfuerzo\nPrueba de esfuerzo con ECG de tres derivaciones\n"
                             "Versión ") +
                  kSoftwareVersion);
    afterModal(serial);
}

// ---------------------------------------------------------------- menus

void TZuvudezidedFrm::setCommandEnabled(QAction* action, bool enabled)
{
    if (action == VerInformemnu) {
        // Without a study file the report would be named ".INF".
        m_reportCommandWanted = enabled;
        enabled = enabled && !m_session.studyFileName.isEmpty();
    }
    action->setEnabled(enabled);
}

void TZuvudezidedFrm::SetRunControls(bool enabled)
{
    for (QAction* a : {InicioBut, AvanzaBut, DetenerBut, SiguienteBut, GuardarBut, Guardarmnu})
        setCommandEnabled(a, enabled);
}

void TZuvudezidedFrm::applyPortChecks()
{
    if (m_config.portIndex > 2) {
        // An index from a foreign configuration: keep every mark as it is.
        return;
    }
    COM1mnu->setChecked(m_config.portIndex == 0);
    COM2mnu->setChecked(m_config.portIndex == 1);
    COM3mnu->setChecked(m_config.portIndex == 2);
}

void TZuvudezidedFrm::applyFormulaCheck()
{
    for (std::size_t i = 0; i < formulaItems.size(); ++i)
        formulaItems[i]->setChecked(i == m_config.maxHRFormula);
}

void TZuvudezidedFrm::chooseFormula(int formula)
{
    m_config.maxHRFormula = static_cast<std::uint8_t>(formula);
    applyFormulaCheck();
}

bool TZuvudezidedFrm::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::MouseButtonDblClick &&
        (watched == StatusBarPac ||
         std::find(statusPanels.begin(), statusPanels.end(), watched) != statusPanels.end())) {
        StatusBarPacDblClick();
        return true;
    }
    return QMainWindow::eventFilter(watched, e);
}

// ---------------------------------------------------------------- serial link

void TZuvudezidedFrm::OpenPort()
{
    try {
        m_comPort1->openPort(m_config.portIndex, PortMap::load(QDir(m_workDir)));
    } catch (const SerialError& e) {
        showError(e.message());
    }
}

void TZuvudezidedFrm::SendCommand(quint8 value)
{
    // A port that could not be opened was reported when it failed; no box on every click.
    if (!m_comPort1->isOpen())
        return;
    m_comPort1->sendCommand(value);
}

void TZuvudezidedFrm::choosePort(int index)
{
    m_config.portIndex = static_cast<std::uint8_t>(index);
    applyPortChecks();
    try {
        m_comPort1->openPort(m_config.portIndex, PortMap::load(QDir(m_workDir)));
        SendCommand(m_monitor.settings.gainIndex);
    } catch (const SerialError& e) {
        showError(e.message());
    }
}

void TZuvudezidedFrm::COM1mnuClick()
{
    choosePort(0);
}
void TZuvudezidedFrm::COM2mnuClick()
{
    choosePort(1);
}
void TZuvudezidedFrm::COM3mnuClick()
{
    choosePort(2);
}

void TZuvudezidedFrm::ComunicmnuClick()
{
    try {
        SendCommand(m_monitor.settings.gainIndex);
    } catch (const SerialError& e) {
        showError(e.message());
    }
}

} // namespace esf
