#pragma once

#include "acquisition/LiveMonitor.h"
#include "acquisition/PortMap.h"
#include "acquisition/SampleSource.h"
#include "app/LiveLabel.h"
#include "app/ZirodIni.h"
#include "common/Version.h"
#include "display/SweepDisplay.h"
#include "protocol/ProtocolRecord.h"
#include "protocol/StageRecord.h"
#include "protocol/StageRun.h"
#include "records/PatientFile.h"
#include "report/ClinicalSummary.h"
#include "report/UnitTexts.h"
#include "widgets/Services.h"

#include <QImage>
#include <QMainWindow>
#include <QRegion>
#include <QSet>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QActionGroup;
class QFrame;
class QLabel;
class QCheckBox;
class QDialog;
class QMenu;
class QPrinter;
class QProgressBar;
class QScrollBar;
class QStatusBar;
class QToolBar;

namespace esf {

class ImageView;
class PieGaugeView;
class SerialLink;
class TAbrirPacfrm;
class TAbrirProtDlg;
class TNProtoFrm;
class PressureEdit;
class TAbrirEstfrm;
class TCopiarchfrm;
class TInformfrm;
class TEstudioExistFrm;
class THelpFrm;
class TOKDatosDlg;
class TOKImpDlg;
class TResumenDlg;
class TQRSview;
class TPacfrm;
class TVerProtoFrm;
class TVirezAde;

inline const QString kSampleFileName = QStringLiteral("ECG-1.ecg");
inline const QString kZirodMissingText = QStringLiteral(
    " Falta archivo Zirod.ini. El programa creará uno nuevo, pero pueden destruirse los "
    "estudios grabados");

// The main window: owns the whole state of the running workstation.
class TZuvudezidedFrm : public QMainWindow, private FrameSink {
    Q_OBJECT
public:
    explicit TZuvudezidedFrm(Services services, QWidget* parent = nullptr);
    ~TZuvudezidedFrm() override;

    // Start-up and exit.
    void FormCreate();
    void FormActivate();
    void SalirmnuClick();

    // Live signal.
    void DemoTimerTimer();
    void DrawGrid(int speed);
    void UpdateLabels();
    void DrawQRSBox();
    void DrawQRSBox(const QRegion& area);
    void DrawQRSAverage();

    // Tool buttons and menus of the live display.
    void FiltroButClick();
    void VelButClick();
    void GanButClick();
    void DerivButClick() {}
    void D2mnuClick();
    void V2mnuClick();
    void V5mnuClick();
    void PromQRSmnuClick();
    void COM1mnuClick();
    void COM2mnuClick();
    void COM3mnuClick();
    void ComunicmnuClick();
    void AcercamnuClick();
    void Ayuda1Click();
    void mnuDatosgenClick();
    void LoadUnits();
    void QRSdispDblClick();
    void StatusBarPacDblClick();

    // Patients.
    void PacNuevomnuClick();
    void PacExistentemnuClick();
    void CerrarpacmnuClick();
    void BorrarPacmnuClick();
    void PacexismnuClick();
    void PacientenuevomnuClick();
    void RefreshHeader();

    // Protocols and the stage panel.
    void EditarProtomnuClick();
    void AbrirProtocolomnuClick();
    void MostrarProtmnuClick();
    void StopProtocol();
    void UpdateStageDisplay();
    void UsuarioFMmnuClick();

    // The study run.
    void EstudionuevomnuClick();
    void NuevoEstButClick();
    void InicioButClick();
    void EtapaCronoTimer();
    void AvanzaButClick();
    void SiguienteButClick();
    void GuardarButClick();
    void GuardarmnuClick();
    void DetenerButClick();
    void EstudioExistmnuClick();
    void AbrirButClick();
    void VerEstButClick();
    void ResetCurrentST();

    // Backup copies.
    void CopiarmnuClick();
    void AbrirCopiamnuClick();
    void RecuperarmnuClick();
    // The physician's report.
    void VerInformemnuClick();
    void PlantInformemnuClick();
    // Printing.
    void ImprimirmnuClick();
    // The clinical summary of the current study.
    void ResumenClinicomnuClick();
    void ImpresoramnuClick();
    // The physician's report of the study, printed by the report editor's text control.
    void printPhysicianReport(const QString& infPath);

    // Serial link.
    void OpenPort();
    void SendCommand(quint8 value);

    // State, read by tests and later by the other windows.
    const ZirodConfig& config() const { return m_config; }
    const QString& workDir() const { return m_workDir; }
    const LiveMonitor& monitor() const { return m_monitor; }
    const SweepDisplay& sweep() const { return m_sweep; }
    const QImage& qrsImage() const { return m_qrsImage; }
    bool patientOpen() const { return m_patientOpen; }
    bool demoTimerActive() const;
    TickTimer& demoTimer() { return *m_demoTimer; }
    TickTimer& stageClock() { return *m_etapaCrono; }
    int activationCount() const { return m_activationCount; }
    const ProtocolRecord& currentProtocol() const { return m_currentProtocol; }
    const RunState& run() const { return m_run; }
    const StudySession& session() const { return m_session; }
    const UnitTexts& units() const { return m_units; }
    const std::array<float, 3>& currentST() const { return m_currentST; }
    void setCurrentST(const std::array<float, 3>& st) { m_currentST = st; }
    int systolicPressure() const { return m_systolic; }
    int diastolicPressure() const { return m_diastolic; }
    std::uint8_t anginaFlag() const { return m_anginaFlag; }
    const PatientData& currentPatient() const { return m_currentPatient; }
    const QString& patientFileName() const { return m_session.patientFile; }
    const QString& loadedVersion() const { return m_session.patientVersion; }
    int studyCount() const { return m_session.studyCount; }
    int userMaxHR() const { return m_userMaxHR; }
    bool exited() const { return m_exited; }

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // FrameSink
    void traceSample(int value, int lead) override;
    void beatFlagChanged(bool visible) override;
    void heartRateRefresh(int heartRate) override;
    void qrsAverageUpdated() override;

    void buildMenus();
    void buildToolBar();
    void buildCentral();
    void buildStatusBar();
    QAction* makeAction(const char* name, const QString& caption,
                        void (TZuvudezidedFrm::*handler)());
    QAction* makeToolButton(const char* name, const QString& hint, const QIcon& icon,
                            void (TZuvudezidedFrm::*handler)());
    void setCommandEnabled(QAction* action, bool enabled);
    void connectCommand(QAction* action, std::function<void()> handler);
    bool lockedByRun(const QAction* action) const;
    void savePendingStageEnd();
    void SetRunControls(bool enabled);
    void applyPortChecks();
    void applyFormulaCheck();
    void chooseFormula(int formula);
    void choosePort(int index);
    void chooseDetectionLead(int lead);
    void placeLeftColumn();
    void placeHeartRateBox();
    void placeStageBox();
    void buildStageBox(QWidget* parent);
    void createWindows();
    void reloadLastProtocol();
    void setPatientMenus(bool created);
    void SetStudyButtons(bool enabled);
    void SetMainMenus(bool enabled);
    bool choosePatient(const QString& caption, PatientListing& chosen);
    void takePatient(const PatientListing& chosen);
    void buildPressureBox(QWidget* parent);
    void setPanelText(int panel, const QString& text);
    void placePressureBox();
    StageRecord CaptureStrip();
    void SaveStageRecord(StageRecord record, std::uint8_t kind);
    void stageEnded();
    void askPressuresAndSave(int id);
    void openExistingStudy();
    int reviewStudy(const QString& file, const QString& date,
                    std::bitset<kPrintSelectionSize>& flags);
    void resizeSweep();
    void showError(const QString& text);
    void afterModal(int serialBefore);
    int modalSerial() const { return m_activationCount; }
    // Runs a modal dialog or box and gives the window the activation it gets when one closes.
    template <class F> auto runModal(F&& show)
    {
        const int serial = modalSerial();
        if constexpr (std::is_void_v<decltype(show())>) {
            show();
            afterModal(serial);
        } else {
            auto result = show();
            afterModal(serial);
            return result;
        }
    }
    QString zirodPath() const;
    bool openBackupStudyReview(const PatientListing& patient, const QString& studyFile,
                               const QString& studyDate, const QString& folder);
    void printGraphicReport();
    // The summary rows of the current study with the angina index last chosen. Throws FileError.
    QList<SummaryRow> clinicalSummaryRows();
    void copySummaryToReport(const QList<SummaryRow>& rows);
    QPrinter& printer();

    Services m_services;

    // Configuration and state owned by the main window.
    QString m_workDir;
    ZirodConfig m_config;
    bool m_patientOpen = false;
    LiveMonitor m_monitor;
    SampleSource m_source;
    SweepDisplay m_sweep;
    QImage m_qrsImage;
    QRegion m_qrsAverageArea; // where the averages now on m_qrsImage lie
    std::unique_ptr<SerialLink> m_comPort1;
    std::unique_ptr<TickTimer> m_demoTimer;
    std::unique_ptr<TickTimer> m_etapaCrono;
    ProtocolRecord m_currentProtocol;
    RunState m_run;
    PatientData m_currentPatient;
    StudySession m_session;
    int m_userMaxHR = 0;
    int m_systolic = 0;
    int m_diastolic = 0;
    std::uint8_t m_anginaFlag = 0;
    std::array<float, 3> m_currentST = {0.0f, 0.0f, 0.0f};
    // A stage end whose pressures are still being asked for; a later stage end saves it
    // first so records stay in the order the stages ended.
    struct PendingStageEnd {
        int id = 0;
        StageRecord record;
    };
    std::optional<PendingStageEnd> m_pendingStageEnd;
    int m_stageEndSerial = 0;
    bool m_inClockTick = false;
    // Records may go to the current study only when it was started here with "Estudio
    // nuevo"; a study opened from disk is for looking at.
    bool m_recording = false;
    UnitTexts m_units;
    QString m_lastUnitsError; // reported once: every closed box re-activates the window
    int m_activationCount = 0;
    bool m_deactivated = true;
    bool m_exited = false;
    bool m_creating = false;

    // Where backups go, ending in "/"; starts as the home folder, never stored.
    QString m_backupDir;
    // The printer chosen in "Impresora...", with its paper and orientation; made when first used.
    std::shared_ptr<QPrinter> m_printer;

    // "Ver Informe" as the menu state wants it; it also needs a study with a file name.
    bool m_reportCommandWanted = false;

public:
    // The other windows, created once and hidden when closed.
    std::unique_ptr<TPacfrm> Pacfrm;
    std::unique_ptr<TAbrirPacfrm> AbrirPacfrm;
    std::unique_ptr<TNProtoFrm> NProtoFrm;
    std::unique_ptr<TVerProtoFrm> VerProtoFrm;
    std::unique_ptr<TAbrirProtDlg> AbrirProtDlg;
    std::unique_ptr<TAbrirEstfrm> AbrirEstfrm;
    std::unique_ptr<TInformfrm> Informfrm;
    std::unique_ptr<TEstudioExistFrm> EstudioExistFrm;
    std::unique_ptr<TVirezAde> VirezAde;
    std::unique_ptr<TOKDatosDlg> OKDatosDlg;
    std::unique_ptr<TCopiarchfrm> Copiarchfrm;
    std::unique_ptr<TOKImpDlg> OKImpDlg;
    std::unique_ptr<TResumenDlg> ResumenDlg;
    std::unique_ptr<THelpFrm> HelpFrm;
    std::unique_ptr<TQRSview> QRSview;

    // Controls, named as the users' manuals and the tests know them.
    QMenu* Archivomnu = nullptr;
    QMenu* Configmnu = nullptr;
    QMenu* Protocolosmnu = nullptr;
    QMenu* Informemnu = nullptr;
    QMenu* Ayudamnu = nullptr;
    QMenu* CopiaArchivosmnu = nullptr;
    QMenu* PuertoSeriemnu = nullptr;
    QMenu* FrecMaxmnu = nullptr;
    QMenu* DeteccionQRSmnu = nullptr;
    QMenu* PacPopupmnu = nullptr;

    QAction* PacNuevomnu = nullptr;
    QAction* PacExistentemnu = nullptr;
    QAction* Cerrarpacmnu = nullptr;
    QAction* Estudionuevomnu = nullptr;
    QAction* EstudioExistmnu = nullptr;
    QAction* Copiarmnu = nullptr;
    QAction* AbrirCopiamnu = nullptr;
    QAction* Recuperarmnu = nullptr;
    QAction* BorrarPacmnu = nullptr;
    QAction* Guardarmnu = nullptr;
    QAction* Salirmnu = nullptr;
    QAction* COM1mnu = nullptr;
    QAction* COM2mnu = nullptr;
    QAction* COM3mnu = nullptr;
    QAction* Impresoramnu = nullptr;
    QAction* Datosgenmnu = nullptr;
    QAction* Comunicmnu = nullptr;
    QAction* PromQRSmnu = nullptr;
    std::array<QAction*, 8> formulaItems{};
    QActionGroup* formulaGroup = nullptr;
    QAction* D2mnu = nullptr;
    QAction* V2mnu = nullptr;
    QAction* V5mnu = nullptr;
    QAction* EditarProtomnu = nullptr;
    QAction* AbrirProtocolomnu = nullptr;
    QAction* MostrarProtmnu = nullptr;
    QAction* VerInformemnu = nullptr;
    QAction* PlantInformemnu = nullptr;
    QAction* Imprimirmnu = nullptr;
    QAction* ResumenClinicomnu = nullptr;
    QAction* Ayuda1 = nullptr;
    QAction* Acercamnu = nullptr;
    QAction* Pacexismnu = nullptr;
    QAction* Pacientenuevomnu = nullptr;

    QToolBar* ToolBar1 = nullptr;
    QAction* NuevoEstBut = nullptr;
    QAction* AbrirBut = nullptr;
    QAction* VerEstBut = nullptr;
    QAction* DerivBut = nullptr;
    QAction* FiltroBut = nullptr;
    QAction* VelBut = nullptr;
    QAction* GanBut = nullptr;
    QAction* InicioBut = nullptr;
    QAction* AvanzaBut = nullptr;
    QAction* DetenerBut = nullptr;
    QAction* SiguienteBut = nullptr;
    QAction* GuardarBut = nullptr;

    QFrame* ECGBar = nullptr;
    QLabel* DerivLbl1 = nullptr;
    QLabel* DerivLbl2 = nullptr;
    QLabel* DerivLbl3 = nullptr;
    QLabel* heartlbl = nullptr;
    QFrame* ECGEst = nullptr;
    QLabel* FiltroEst = nullptr;
    QLabel* VelEst = nullptr;
    QLabel* GanEst = nullptr;
    QFrame* ECGPanel = nullptr;
    ImageView* ECGDisp = nullptr;
    QFrame* PanelDatos = nullptr;
    QFrame* FrecBrd = nullptr;
    LiveLabel* FrecTxt = nullptr;
    QLabel* FrecUnLbl = nullptr;
    LiveLabel* FrecMaxTxt = nullptr;
    QLabel* FrecMaxLbl = nullptr;
    LiveLabel* FrecSMaxTxt = nullptr;
    QLabel* FrecSMaxLbl = nullptr;
    QFrame* QRSBrd = nullptr;
    ImageView* QRSdisp = nullptr;
    QScrollBar* ScrollQRS1 = nullptr;
    QFrame* PresBrd = nullptr;
    PressureEdit* SisPresEd = nullptr;
    PressureEdit* DiastPresEd = nullptr;
    QLabel* SisLbl = nullptr;
    QLabel* DiastLbl = nullptr;
    QCheckBox* AngorChk = nullptr;
    QFrame* TpoEtapabrd = nullptr;
    LiveLabel* EtapaNLbl = nullptr;
    PieGaugeView* Gauge1 = nullptr;
    QLabel* CargaLbl = nullptr;
    LiveLabel* CargaEtapaTxt = nullptr;
    QLabel* PendLbl = nullptr;
    LiveLabel* PendTxt = nullptr;
    QLabel* TpoLbl = nullptr;
    LiveLabel* TiempoResTxt = nullptr;
    LiveLabel* TipoTxt = nullptr;
    QProgressBar* TiempoResbar = nullptr;
    QStatusBar* StatusBarPac = nullptr;
    std::array<QLabel*, 5> statusPanels{};
};

} // namespace esf
