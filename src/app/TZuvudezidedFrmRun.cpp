// The main window's study run: the stage clock, the run buttons and the stage records.
#include "app/LiveLabel.h"
#include "app/PieGaugeView.h"
#include "app/TZuvudezidedFrm.h"
#include "common/FileError.h"
#include "display/PieGauge.h"
#include "protocol/PressureEdit.h"
#include "protocol/TVirezAde.h"
#include "records/StudyFile.h"
#include "records/TAbrirEstfrm.h"
#include "records/TEstudioExistFrm.h"

#include <QAction>
#include <QCheckBox>
#include <QCursor>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace esf {
namespace {

const QString kOldVersionText = QStringLiteral(
    "El paciente seleccionado fué cargado con una versión anterior de software. Debe volver a "
    "ingresarlo");
const QString kStudyLimitText = QStringLiteral(
    "El paciente ya tiene 255 estudios, el máximo que admite su archivo. Para un estudio nuevo "
    "ingréselo como paciente nuevo.");
constexpr int kRedZoneSeconds = 30;

} // namespace

void TZuvudezidedFrm::ResetCurrentST()
{
    m_currentST = {kStNotMeasured, kStNotMeasured, kStNotMeasured};
}

void TZuvudezidedFrm::EstudionuevomnuClick()
{
    if (!m_patientOpen || m_session.newStudyPending)
        return;
    if (!versionAllowsNewStudy(m_session.patientVersion)) {
        runModal([&] { m_services.messages->information(this, kOldVersionText); });
        return;
    }
    // The count is one byte in the patient file: a 256th study would wrap it to 0.
    if (m_session.studyCount >= kMaxStudies) {
        runModal([&] { m_services.messages->information(this, kStudyLimitText); });
        return;
    }
    ++m_session.studyCount;
    m_session.newStudyPending = true;
    m_recording = true;
    m_session.studyDate = m_services.today().toString(QStringLiteral("dd/MM/yyyy")).left(10);
    m_run.studyElapsed = 0;
    if (!m_currentProtocol.name.isEmpty())
        SetRunControls(true);
    setCommandEnabled(PlantInformemnu, true);
    setCommandEnabled(Imprimirmnu, true);
    setCommandEnabled(VerInformemnu, true);
    RefreshHeader();
}

void TZuvudezidedFrm::NuevoEstButClick()
{
    if (!m_patientOpen) {
        PacPopupmnu->popup(QCursor::pos());
        return;
    }
    EstudionuevomnuClick();
}

void TZuvudezidedFrm::InicioButClick()
{
    if (m_currentProtocol.name.isEmpty() || !m_patientOpen || m_run.stageRemaining < 1 ||
        m_etapaCrono->isActive())
        return;
    ResetCurrentST();
    m_etapaCrono->start();
    setCommandEnabled(InicioBut, false);
    SetMainMenus(false);
    SetStudyButtons(false);
    UpdateStageDisplay();
}

void TZuvudezidedFrm::EtapaCronoTimer()
{
    // Runs from the clock inside the event loop: a failure must never escape it.
    try {
        if (m_run.stageRemaining > 0) {
            --m_run.stageRemaining;
            ++m_run.studyElapsed;
            TiempoResTxt->setText(formatStageTime(m_run.stageRemaining));
            if (m_run.stageRemaining < kRedZoneSeconds) {
                if (Gauge1->foreColor() != kGaugeRed) {
                    Gauge1->setForeColor(kGaugeRed);
                    m_services.beep();
                }
            } else {
                Gauge1->setForeColor(kGaugeNavy);
            }
        }
        if (m_run.stageRemaining <= 0) {
            m_inClockTick = true;
            stageEnded();
            m_inClockTick = false;
        }
        UpdateStageDisplay();
    } catch (const std::exception& e) {
        m_inClockTick = false;
        qWarning("Stage clock tick failed: %s", e.what());
    }
}

void TZuvudezidedFrm::stageEnded()
{
    m_services.beep();
    // The previous stage end may still wait for its pressures: its record goes first.
    savePendingStageEnd();

    StageRecord captured = CaptureStrip();
    if (m_run.currentStage < m_currentProtocol.usableStageCount()) {
        ++m_run.currentStage;
        m_run.stageRemaining = m_currentProtocol.stage(m_run.currentStage).duration;
    } else {
        StopProtocol();
    }

    // The pressures are asked for outside the clock's tick: a timer is not called again
    // while its own handler runs, and the next stage must count down during the dialog.
    const int id = ++m_stageEndSerial;
    m_pendingStageEnd = PendingStageEnd{id, std::move(captured)};
    QTimer::singleShot(0, this, [this, id] { askPressuresAndSave(id); });
}

void TZuvudezidedFrm::savePendingStageEnd()
{
    if (!m_pendingStageEnd)
        return;
    // Saved with what the operator has entered so far.
    PendingStageEnd earlier = std::move(*m_pendingStageEnd);
    m_pendingStageEnd.reset();
    if (VirezAde->isVisible()) {
        SisPresEd->setValue(VirezAde->SisPresEd->value());
        DiastPresEd->setValue(VirezAde->DiastPresEd->value());
        AngorChk->setChecked(VirezAde->AngorChk->isChecked());
    }
    SaveStageRecord(std::move(earlier.record), RecordKind::Automatic);
    ResetCurrentST();
}

void TZuvudezidedFrm::askPressuresAndSave(int id)
{
    if (!m_pendingStageEnd || m_pendingStageEnd->id != id)
        return; // a later stage end has saved it already
    int systolic = m_systolic;
    int diastolic = m_diastolic;
    std::uint8_t angina = m_anginaFlag;
    runModal([&] { VirezAde->AskPressures(systolic, diastolic, angina); });
    if (!m_pendingStageEnd || m_pendingStageEnd->id != id)
        return;
    StageRecord record = std::move(m_pendingStageEnd->record);
    m_pendingStageEnd.reset();
    SisPresEd->setValue(systolic);
    DiastPresEd->setValue(diastolic);
    AngorChk->setChecked(angina != 0);
    SaveStageRecord(std::move(record), RecordKind::Automatic);
    ResetCurrentST();
}

StageRecord TZuvudezidedFrm::CaptureStrip()
{
    StageRecord r;
    r.stage = m_run.currentStage;
    r.elapsed = m_run.studyElapsed;
    r.strip = m_monitor.ring.captureStrip();
    return r;
}

void TZuvudezidedFrm::SaveStageRecord(StageRecord record, std::uint8_t kind)
{
    if (!m_patientOpen)
        return;
    if (!m_recording || (m_session.studyFileName.isEmpty() && !m_session.newStudyPending)) {
        // Never let a strip vanish without a word.
        showError(QStringLiteral("No hay un estudio en curso: elija \"Estudio nuevo\" antes de "
                                 "grabar. La tira no se guardó."));
        return;
    }
    // What the operator sees when the record is written goes into it.
    const DisplaySettings& display = m_monitor.settings;
    record.kind = kind;
    record.leadSet = display.leadSetIndex;
    record.gain = display.gainIndex;
    record.speed = display.speedIndex;
    record.filter = display.filterOn ? 1 : 0;
    record.diastolic = m_diastolic;
    record.systolic = m_systolic;
    record.heartRate = m_monitor.beats.heartRate;
    record.angina = AngorChk->isChecked() ? 1 : 0;
    record.st = m_currentST;
    m_anginaFlag = record.angina;
    try {
        saveStageRecord(QDir(m_workDir), m_session, m_currentProtocol, record, m_services.today());
    } catch (const FileError& e) {
        showError(e.message());
    }
}

void TZuvudezidedFrm::AvanzaButClick()
{
    if (m_run.currentStage >= m_currentProtocol.usableStageCount())
        return;
    ResetCurrentST();
    ++m_run.currentStage;
    m_run.stageRemaining = m_currentProtocol.stage(m_run.currentStage).duration;
}

void TZuvudezidedFrm::SiguienteButClick()
{
    const int last = m_currentProtocol.usableStageCount();
    if (m_run.currentStage >= last)
        return;
    SaveStageRecord(CaptureStrip(), RecordKind::Manual);
    // Without a recovery stage ahead the run stays where it is; the record is kept.
    for (int s = m_run.currentStage; s <= last; ++s) {
        if (m_currentProtocol.stage(s).type == StageType::Recuperacion) {
            m_run.currentStage = static_cast<std::uint8_t>(s);
            m_run.stageRemaining = m_currentProtocol.stage(s).duration;
            break;
        }
    }
    setCommandEnabled(SiguienteBut, false);
}

void TZuvudezidedFrm::GuardarButClick()
{
    if (Guardarmnu->isEnabled())
        GuardarmnuClick();
}

void TZuvudezidedFrm::GuardarmnuClick()
{
    if (!m_patientOpen)
        return;
    SaveStageRecord(CaptureStrip(), RecordKind::Manual);
}

void TZuvudezidedFrm::DetenerButClick()
{
    StopProtocol();
    UpdateStageDisplay();
}

void TZuvudezidedFrm::EstudioExistmnuClick()
{
    openExistingStudy();
}

void TZuvudezidedFrm::AbrirButClick()
{
    openExistingStudy();
}

void TZuvudezidedFrm::openExistingStudy()
{
    if (!m_patientOpen) {
        PatientListing chosen;
        if (!choosePatient(QStringLiteral("Elegir paciente"), chosen))
            return;
        // The patient is looked at, not opened: no new study can start from here.
        takePatient(chosen);
    }
    QString file;
    QString date;
    const QString patientPath = QDir(m_workDir).filePath(m_session.patientFile);
    const bool chosen = runModal([&] { return AbrirEstfrm->ChooseStudy(patientPath, file, date); });
    if (!chosen)
        return;
    // Marks made for another study do not carry over to this one.
    const bool sameStudy = file == m_session.studyFileName;
    std::bitset<kPrintSelectionSize> flags = sameStudy ? m_run.printSelection : decltype(flags)();
    if (reviewStudy(file, date, flags) != 0)
        return;
    m_run.printSelection = flags;
    if (m_session.newStudyPending) {
        // A new study with nothing written yet gives way to the one chosen: its number
        // goes back, and the run controls wait for another "Estudio nuevo".
        --m_session.studyCount;
        m_session.newStudyPending = false;
    }
    m_recording = false;
    m_session.studyFileName = file;
    // A stored study is looked at, never run again: its records must not mix with a new run's.
    SetRunControls(false);
    setCommandEnabled(Imprimirmnu, true);
    setCommandEnabled(VerInformemnu, true);
    setCommandEnabled(Guardarmnu, false);
    setCommandEnabled(GuardarBut, false);
    m_session.studyDate = date;
    RefreshHeader();
}

} // namespace esf

namespace esf {

void TZuvudezidedFrm::buildPressureBox(QWidget* parent)
{
    PresBrd = new QFrame(parent);
    PresBrd->setObjectName(QStringLiteral("PresBrd"));
    PresBrd->setFrameShape(QFrame::StyledPanel);
    PresBrd->setFrameShadow(QFrame::Sunken);
    PresBrd->setFixedHeight(100);
    SisPresEd = new PressureEdit(QStringLiteral("SisPresEd"), QStringLiteral("SisPresUpDw"),
                                 QStringLiteral("Sistólica"), PresBrd);
    DiastPresEd = new PressureEdit(QStringLiteral("DiastPresEd"), QStringLiteral("DiastPresUpDw"),
                                   QStringLiteral("Diastólica"), PresBrd);
    SisLbl = new QLabel(QStringLiteral("Sistólica"), PresBrd);
    SisLbl->setObjectName(QStringLiteral("SisLbl"));
    DiastLbl = new QLabel(QStringLiteral("Diastólica"), PresBrd);
    DiastLbl->setObjectName(QStringLiteral("DiastLbl"));
    SisLbl->setBuddy(SisPresEd->edit());
    DiastLbl->setBuddy(DiastPresEd->edit());
    AngorChk = new QCheckBox(QStringLiteral("Angor?"), PresBrd);
    AngorChk->setObjectName(QStringLiteral("AngorChk"));
    AngorChk->setAccessibleName(QStringLiteral("Angor?"));
    connect(SisPresEd, &PressureEdit::valueChanged, this, [this](int v) { m_systolic = v; });
    connect(DiastPresEd, &PressureEdit::valueChanged, this, [this](int v) { m_diastolic = v; });
}

void TZuvudezidedFrm::placePressureBox()
{
    const int w = PresBrd->width();
    const int h = PresBrd->height();
    for (PressureEdit* e : {SisPresEd, DiastPresEd})
        e->resize(std::min(e->sizeHint().width(), (w - 9) / 2), e->sizeHint().height());
    const int gap = (w - 2 * SisPresEd->width()) / 3;
    const int top = static_cast<int>(std::lround(0.1 * h));
    SisPresEd->move(gap, top);
    DiastPresEd->move(SisPresEd->x() + SisPresEd->width() + gap, top);
    for (QLabel* l : {SisLbl, DiastLbl})
        l->adjustSize();
    SisLbl->move(SisPresEd->x() + (SisPresEd->width() - SisLbl->width()) / 2,
                 top + SisPresEd->height() + 5);
    DiastLbl->move(DiastPresEd->x() + (DiastPresEd->width() - DiastLbl->width()) / 2,
                   top + DiastPresEd->height() + 5);
    AngorChk->adjustSize();
    AngorChk->move((w - AngorChk->width()) / 2 - AngorChk->width() / 2,
                   static_cast<int>(std::lround(0.9 * h)) - AngorChk->height());
}

void TZuvudezidedFrm::VerEstButClick()
{
    if (!m_session.studyFileName.isEmpty())
        reviewStudy(m_session.studyFileName, m_session.studyDate, m_run.printSelection);
}

int TZuvudezidedFrm::reviewStudy(const QString& file, const QString& date,
                                 std::bitset<kPrintSelectionSize>& flags)
{
    EstudioExistFrm->setRateFormula(m_config.maxHRFormula, m_userMaxHR);
    EstudioExistFrm->setUnits(m_units);
    return runModal([&] {
        return EstudioExistFrm->OpenStudyReview(m_currentPatient, m_session.patientVersion, date,
                                                flags, file, m_workDir);
    });
}

} // namespace esf
