// The main window's patient, protocol and stage-panel commands.
#include "app/LiveLabel.h"
#include "app/PieGaugeView.h"
#include "app/THelpFrm.h"
#include "app/TZuvudezidedFrm.h"
#include "app/ZirodIni.h"
#include "backup/TCopiarchfrm.h"
#include "common/FileError.h"
#include "common/FileNames.h"
#include "common/NumberFormat.h"
#include "common/Rounding.h"
#include "display/PieGauge.h"
#include "protocol/MaxHeartRate.h"
#include "protocol/TAbrirProtDlg.h"
#include "protocol/TNProtoFrm.h"
#include "protocol/TVerProtoFrm.h"
#include "protocol/TVirezAde.h"
#include "records/TAbrirEstfrm.h"
#include "records/TAbrirPacfrm.h"
#include "records/TEstudioExistFrm.h"
#include "records/TPacfrm.h"
#include "report/GeneralData.h"
#include "report/TInformfrm.h"
#include "report/TOKDatosDlg.h"
#include "report/TOKImpDlg.h"
#include "report/TResumenDlg.h"
#include "st/TQRSview.h"
#include "widgets/Controls.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>

namespace esf {
namespace {

constexpr int kStageBoxHeight = 150;

LiveLabel* stageValue(QWidget* parent, const char* name, const QString& caption)
{
    auto* l = new LiveLabel(caption, parent);
    l->setObjectName(QLatin1String(name));
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->setAutoFillBackground(true);
    l->setStyleSheet(QStringLiteral("background: white;"));
    l->resize(50, 20);
    return l;
}

} // namespace

void TZuvudezidedFrm::createWindows()
{
    // Created once, in the order the workstation always had, and hidden when closed.
    Pacfrm = std::make_unique<TPacfrm>(m_services.today, this);
    AbrirPacfrm = std::make_unique<TAbrirPacfrm>(this);
    NProtoFrm = std::make_unique<TNProtoFrm>(*m_services.messages, this);
    AbrirEstfrm = std::make_unique<TAbrirEstfrm>(this);
    Informfrm = std::make_unique<TInformfrm>(m_services, this);
    EstudioExistFrm =
        std::make_unique<TEstudioExistFrm>(*m_services.messages, m_services.today, this);
    EstudioExistFrm->setFileDialogs(m_services.files);
    VirezAde = std::make_unique<TVirezAde>(this);
    VerProtoFrm = std::make_unique<TVerProtoFrm>(this);
    AbrirProtDlg = std::make_unique<TAbrirProtDlg>(*m_services.messages, *VerProtoFrm, this);
    OKImpDlg = std::make_unique<TOKImpDlg>(this);
    ResumenDlg = std::make_unique<TResumenDlg>(this);
    OKDatosDlg = std::make_unique<TOKDatosDlg>(*m_services.messages, this);
    Copiarchfrm = std::make_unique<TCopiarchfrm>(*m_services.messages, *m_services.files, this);
    m_backupDir = QDir::homePath() + QLatin1Char('/');
    HelpFrm = std::make_unique<THelpFrm>(this);
    QRSview = std::make_unique<TQRSview>(this);
}

void TZuvudezidedFrm::buildStageBox(QWidget* parent)
{
    TpoEtapabrd = new QFrame(parent);
    TpoEtapabrd->setObjectName(QStringLiteral("TpoEtapabrd"));
    TpoEtapabrd->setFrameShape(QFrame::StyledPanel);
    TpoEtapabrd->setFrameShadow(QFrame::Sunken);
    TpoEtapabrd->setFixedHeight(kStageBoxHeight);
    EtapaNLbl = new LiveLabel(QStringLiteral("Etapa"), TpoEtapabrd);
    EtapaNLbl->setObjectName(QStringLiteral("EtapaNLbl"));
    EtapaNLbl->setText(QStringLiteral("Etapa nº"));
    Gauge1 = new PieGaugeView(TpoEtapabrd);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->setAccessibleName(QStringLiteral("Tiempo restante de la etapa"));
    Gauge1->resize(28, 28);
    CargaLbl = makeLabel(TpoEtapabrd, "CargaLbl", QStringLiteral("Carga"));
    CargaEtapaTxt = stageValue(TpoEtapabrd, "CargaEtapaTxt", QStringLiteral("Carga"));
    PendLbl = makeLabel(TpoEtapabrd, "PendLbl", QStringLiteral("Pendiente"));
    PendTxt = stageValue(TpoEtapabrd, "PendTxt", QStringLiteral("Pendiente"));
    TpoLbl = makeLabel(TpoEtapabrd, "TpoLbl", QStringLiteral("Tiempo"));
    TiempoResTxt = stageValue(TpoEtapabrd, "TiempoResTxt", QStringLiteral("Tiempo"));
    TipoTxt = new LiveLabel(QStringLiteral("Tipo de etapa"), TpoEtapabrd);
    TipoTxt->setObjectName(QStringLiteral("TipoTxt"));
    TiempoResbar = new QProgressBar(TpoEtapabrd);
    TiempoResbar->setObjectName(QStringLiteral("TiempoResbar"));
    TiempoResbar->setAccessibleName(QStringLiteral("Progreso de la etapa"));
    TiempoResbar->setRange(0, 100);
    TiempoResbar->setValue(0);
    TiempoResbar->setTextVisible(false);
    CargaLbl->setBuddy(CargaEtapaTxt);
    PendLbl->setBuddy(PendTxt);
    TpoLbl->setBuddy(TiempoResTxt);
}

void TZuvudezidedFrm::placeStageBox()
{
    const int w = TpoEtapabrd->width();
    const int h = TpoEtapabrd->height();
    const int left = roundShare(0.1, w);
    const int right = roundShare(0.95, w);
    for (QLabel* l : std::initializer_list<QLabel*>{EtapaNLbl, CargaLbl, PendLbl, TpoLbl})
        l->adjustSize();
    const int fieldH = TiempoResTxt->height();
    const int barH = fieldH / 2;
    TiempoResbar->resize(TiempoResbar->width(), barH);
    const int etapaTop = (h - EtapaNLbl->height() - fieldH - barH - 2 * fieldH) / 8;
    EtapaNLbl->move(left, etapaTop);
    Gauge1->move(w - 5 - Gauge1->width(), etapaTop + (EtapaNLbl->height() - Gauge1->height()) / 2);
    const int cargaTop =
        EtapaNLbl->height() + (h - EtapaNLbl->height() - fieldH - barH - fieldH) / 4;
    const std::array<QLabel*, 3> fields = {CargaEtapaTxt, PendTxt, TiempoResTxt};
    const std::array<QLabel*, 3> labels = {CargaLbl, PendLbl, TpoLbl};
    int top = cargaTop;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        fields[i]->setGeometry(right - 50, top, 50, fieldH);
        labels[i]->move(left, top + (fieldH - labels[i]->height()) / 2);
        top += fieldH + 3;
    }
    const int wide = roundShare(0.8, w);
    TipoTxt->setGeometry(left, TiempoResTxt->y() + fieldH + 8, wide, TipoTxt->sizeHint().height());
    TiempoResbar->setGeometry(left, TipoTxt->y() + TipoTxt->height() + 5, wide, barH);
}

void TZuvudezidedFrm::reloadLastProtocol()
{
    // Older installations may have kept a Windows path: only the file name inside the
    // working directory is looked for.
    QString name = m_config.protocolFileName;
    name = name.mid(name.lastIndexOf(QLatin1Char('\\')) + 1);
    name = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    if (!isPlainFileName(name))
        return;
    const QString path = resolveCaseInsensitive(QDir(m_workDir), name);
    if (!QFileInfo::exists(path))
        return;
    try {
        m_currentProtocol = loadProtocolFile(path);
    } catch (const FileError& e) {
        showError(e.message());
        return;
    }
    StopProtocol();
    UpdateStageDisplay();
    RefreshHeader();
}

void TZuvudezidedFrm::StopProtocol()
{
    stopProtocol(m_run, m_currentProtocol);
    TiempoResTxt->setText(formatStageTime(m_run.stageRemaining));
    setCommandEnabled(EstudioExistmnu, true);
    SetRunControls(false);
    SetStudyButtons(true);
    SetMainMenus(true);
    m_etapaCrono->stop();
}

void TZuvudezidedFrm::UpdateStageDisplay()
{
    const StagePanel panel = stagePanel(m_run, m_currentProtocol, m_etapaCrono->isActive());
    EtapaNLbl->setText(panel.stageLabel);
    EtapaNLbl->adjustSize();
    if (panel.typeText)
        TipoTxt->setText(*panel.typeText);
    if (panel.loadCaption) {
        CargaLbl->setText(*panel.loadCaption);
        CargaLbl->setAccessibleName(*panel.loadCaption);
        CargaEtapaTxt->setCaption(*panel.loadCaption);
        CargaLbl->adjustSize();
        CargaEtapaTxt->setText(panel.loadText.value_or(QString()));
        PendTxt->setText(panel.slopeText.value_or(QString()));
        PendTxt->setEnabled(panel.slopeEnabled.value_or(true));
        PendLbl->setEnabled(panel.slopeEnabled.value_or(true));
    }
    if (TiempoResbar->value() != panel.progress) {
        TiempoResbar->setValue(panel.progress);
        // The bar skips repaints of steps narrower than its chunk; every second must show.
        TiempoResbar->update();
    }
    Gauge1->setProgress(panel.progress);
    if (panel.gaugeToNavy)
        Gauge1->setForeColor(kGaugeNavy);
}

void TZuvudezidedFrm::SetStudyButtons(bool enabled)
{
    for (QAction* a : {NuevoEstBut, AbrirBut, VerEstBut})
        setCommandEnabled(a, enabled);
}

void TZuvudezidedFrm::SetMainMenus(bool enabled)
{
    for (QMenu* m : {Archivomnu, Configmnu, Protocolosmnu, Informemnu})
        m->menuAction()->setEnabled(enabled);
    // The patient pop-up of the status bar and of "Estudio nuevo" is a main menu too.
    PacPopupmnu->setEnabled(enabled);
}

void TZuvudezidedFrm::RefreshHeader()
{
    if (m_patientOpen) {
        setPanelText(0, QStringLiteral("Paciente: ") + m_currentPatient.surname +
                            QStringLiteral(", ") + m_currentPatient.firstName);
        const int age = patientAge(m_currentPatient.birthDate, m_services.today());
        setPanelText(1, QStringLiteral("Edad: ") + QString::number(age));
        const bool male = m_currentPatient.sex != 0;
        setPanelText(2, male ? QStringLiteral("Masculino") : QStringLiteral("Femenino"));
        const HeartRateLimits limits =
            maxHeartRate(age, male ? 0 : 1, m_config.maxHRFormula, m_userMaxHR);
        FrecMaxTxt->setText(QString::number(limits.maxHR));
        FrecSMaxTxt->setText(QString::number(limits.subMaxHR));
        placeHeartRateBox();
    }
    ResumenClinicomnu->setEnabled(!m_session.studyFileName.isEmpty());
    setPanelText(3, QStringLiteral("Protocolo:") + m_currentProtocol.name);
    setPanelText(4, QStringLiteral("Fecha: ") + m_session.studyDate);
}

void TZuvudezidedFrm::setPanelText(int panel, const QString& text)
{
    QLabel* label = statusPanels[static_cast<std::size_t>(panel)];
    label->setText(text);
    label->setAccessibleName(text); // screen readers follow what is shown
}

void TZuvudezidedFrm::LoadUnits()
{
    const QString path = resolveCaseInsensitive(QDir(m_workDir), kGeneralDataFileName);
    try {
        loadUnits(path, m_units);
        m_lastUnitsError.clear();
    } catch (const FileError& e) {
        // Shown once: the box closing activates the window, which reads the file again.
        if (e.message() != m_lastUnitsError) {
            m_lastUnitsError = e.message();
            showError(e.message());
        }
    }
    FrecUnLbl->setText(m_units.rate);
}

void TZuvudezidedFrm::mnuDatosgenClick()
{
    const bool saved = runModal([&] { return OKDatosDlg->EditGeneralData(QDir(m_workDir)); });
    if (!saved)
        return;
    LoadUnits();
    placeHeartRateBox();
}

void TZuvudezidedFrm::UsuarioFMmnuClick()
{
    const QString text = runModal([&] {
        return m_services.messages->input(this, QStringLiteral("Frecuencia Máxima"),
                                          QStringLiteral("Ingrese Frec. máxima"),
                                          FrecMaxTxt->text());
    });
    int value = 0;
    if (parseInteger(text, value))
        m_userMaxHR = value;
    else
        showError(QStringLiteral("'%1' no es un valor entero válido").arg(text));
}

// ---------------------------------------------------------------- patients

void TZuvudezidedFrm::setPatientMenus(bool created)
{
    setCommandEnabled(PacNuevomnu, true);
    setCommandEnabled(PacExistentemnu, true);
    setCommandEnabled(Estudionuevomnu, true);
    setCommandEnabled(EstudioExistmnu, !created);
    setCommandEnabled(VerInformemnu, created);
    setCommandEnabled(PlantInformemnu, true);
    setCommandEnabled(Imprimirmnu, false);
    if (!created) {
        setCommandEnabled(Guardarmnu, false);
        setCommandEnabled(GuardarBut, false);
    }
}

void TZuvudezidedFrm::PacNuevomnuClick()
{
    const bool cancelled = runModal([&] { return Pacfrm->EditPatient(m_currentPatient, false); });
    if (cancelled)
        return;
    resetStudyState(m_run, m_session);
    SetRunControls(false); // a study armed for the previous patient is gone
    m_recording = false;
    m_patientOpen = true;
    // Never reuse a number whose file is already there (an old Zirod.ini, a restored copy).
    const QDir dir(m_workDir);
    m_config.lastPatientNumber = nextFreePatientNumber(dir, m_config.lastPatientNumber);
    m_session.patientFile = esf::patientFileName(m_config.lastPatientNumber);
    m_session.patientVersion = kSoftwareVersion;
    m_session.studyCount = 0;
    RefreshHeader();
    setPatientMenus(true);
    try {
        // A vanished configuration is written whole, never as its first four bytes alone.
        if (QFileInfo::exists(zirodPath()))
            updateZirodPatientNumber(zirodPath(), m_config.lastPatientNumber);
        else
            createZirod(zirodPath(), m_config);
        writePatientHeader(dir.filePath(m_session.patientFile), m_currentPatient,
                           m_session.studyCount);
    } catch (const FileError& e) {
        showError(e.message());
    }
}

bool TZuvudezidedFrm::choosePatient(const QString& caption, PatientListing& chosen)
{
    const bool ok =
        runModal([&] { return AbrirPacfrm->ChoosePatient(caption, QDir(m_workDir), chosen); });
    if (!ok && !AbrirPacfrm->listingError().isEmpty())
        showError(AbrirPacfrm->listingError());
    return ok;
}

void TZuvudezidedFrm::takePatient(const PatientListing& chosen)
{
    m_currentPatient = chosen.header.data;
    m_session.patientFile = chosen.fileName;
    m_session.studyCount = chosen.header.studyCount;
    m_session.patientVersion = chosen.header.version;
}

void TZuvudezidedFrm::PacExistentemnuClick()
{
    PatientListing chosen;
    if (!choosePatient(QStringLiteral("Elegir paciente"), chosen))
        return;
    takePatient(chosen);
    resetStudyState(m_run, m_session);
    SetRunControls(false); // a study armed for the previous patient is gone
    m_recording = false;
    m_patientOpen = true;
    RefreshHeader();
    setPatientMenus(false);
}

void TZuvudezidedFrm::StatusBarPacDblClick()
{
    if (!m_patientOpen)
        return;
    const bool cancelled = runModal([&] { return Pacfrm->EditPatient(m_currentPatient, true); });
    if (cancelled)
        return;
    RefreshHeader();
    try {
        writePatientHeader(QDir(m_workDir).filePath(m_session.patientFile), m_currentPatient,
                           m_session.studyCount);
    } catch (const FileError& e) {
        showError(e.message());
    }
}

void TZuvudezidedFrm::CerrarpacmnuClick()
{
    m_session.patientFile.clear();
    m_currentPatient.firstName.clear();
    m_currentPatient.surname.clear();
    m_currentPatient.birthDate.clear();
    m_currentPatient.height = 0;
    m_session.studyCount = 0;
    m_patientOpen = false;
    setPanelText(0, QStringLiteral("Paciente: "));
    setPanelText(1, QStringLiteral("Edad: "));
    setPanelText(2, QString());
    setPanelText(4, QStringLiteral("Fecha: "));
    FrecMaxTxt->clear();
    FrecSMaxTxt->clear();
    resetStudyState(m_run, m_session);
    SetRunControls(false);
    m_recording = false;
}

void TZuvudezidedFrm::BorrarPacmnuClick()
{
    PatientListing chosen;
    if (!choosePatient(QStringLiteral("Elegir paciente a borrar"), chosen))
        return;
    // Also the patient of a study looked at through "Estudio Existente..." without opening it.
    if (!m_session.patientFile.isEmpty() &&
        chosen.fileName.compare(m_session.patientFile, Qt::CaseInsensitive) == 0) {
        runModal([&] {
            m_services.messages->warning(
                this, QStringLiteral("Los archivos del paciente selecionado están en uso, debe "
                                     "cerrarlo para borrar"));
        });
        return;
    }
    const QString question = QStringLiteral("¿Desea borrar los estudios de ") +
                             chosen.header.data.surname.left(60) + QStringLiteral(", ") +
                             chosen.header.data.firstName + QLatin1Char('?');
    const bool yes = runModal([&] {
        return m_services.messages->confirmTitled(this, QStringLiteral("Atención"), question);
    });
    if (!yes)
        return;
    try {
        deletePatientFiles(QDir(m_workDir), chosen.fileName);
    } catch (const FileError& e) {
        showError(e.message());
    }
}

void TZuvudezidedFrm::PacexismnuClick()
{
    PacExistentemnuClick();
    EstudionuevomnuClick();
}

void TZuvudezidedFrm::PacientenuevomnuClick()
{
    PacNuevomnuClick();
    EstudionuevomnuClick();
}

// ---------------------------------------------------------------- protocols

void TZuvudezidedFrm::EditarProtomnuClick()
{
    runModal([&] { NProtoFrm->EditProtocol(m_currentProtocol, QDir(m_workDir)); });
    // Cancelled or not, the run starts over on stage 1 of whatever is current.
    stopProtocol(m_run, m_currentProtocol);
    // The time shown belongs to the protocol now current, not to the one before it.
    TiempoResTxt->setText(formatStageTime(m_run.stageRemaining));
    UpdateStageDisplay();
    RefreshHeader();
}

void TZuvudezidedFrm::AbrirProtocolomnuClick()
{
    QString chosen;
    const bool ok =
        runModal([&] { return AbrirProtDlg->ChooseProtocol(QDir(m_workDir), chosen, m_units); });
    if (!ok)
        return;
    try {
        m_currentProtocol = loadProtocolFile(resolveCaseInsensitive(QDir(m_workDir), chosen));
    } catch (const FileError& e) {
        showError(e.message());
        return;
    }
    m_config.protocolFileName = chosen.left(kProtocolFileNameChars);
    StopProtocol();
    UpdateStageDisplay();
    RefreshHeader();
    if (m_session.newStudyPending)
        SetRunControls(true);
}

void TZuvudezidedFrm::MostrarProtmnuClick()
{
    runModal([&] { VerProtoFrm->ShowProtocol(m_currentProtocol, m_units); });
}

} // namespace esf
