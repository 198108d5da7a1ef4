// The main window's backup commands: copy, look at and restore backup copies.
#include "app/TZuvudezidedFrm.h"
#include "backup/Backup.h"
#include "backup/TCopiarchfrm.h"
#include "common/FileError.h"
#include "records/TAbrirEstfrm.h"
#include "records/TAbrirPacfrm.h"
#include "records/TEstudioExistFrm.h"

#include <QAction>
#include <QDir>

namespace esf {
namespace {

QString withSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

} // namespace

void TZuvudezidedFrm::CopiarmnuClick()
{
    const QString open = m_patientOpen ? m_session.patientFile : QString();
    runModal([&] { Copiarchfrm->ShowBackup(QDir(m_workDir), m_backupDir, open); });
}

void TZuvudezidedFrm::AbrirCopiamnuClick()
{
    const QString chosenDir = runModal([&] {
        return m_services.files->directory(this, QStringLiteral("Abrir Copia de Seguridad"),
                                           m_backupDir);
    });
    if (chosenDir.isEmpty())
        return;
    const QString folder = withSlash(chosenDir);
    // The backup patient is only looked at: the current patient and its version stay.
    PatientListing patient;
    const bool chosen = runModal([&] {
        return AbrirPacfrm->ChoosePatient(QStringLiteral("Elegir paciente de Copia de Seguridad"),
                                          QDir(folder), patient);
    });
    if (!chosen) {
        if (!AbrirPacfrm->listingError().isEmpty())
            showError(AbrirPacfrm->listingError());
        return;
    }
    QString studyFile;
    QString studyDate;
    const QString patientPath = QDir(folder).filePath(patient.fileName);
    if (!runModal([&] { return AbrirEstfrm->ChooseStudy(patientPath, studyFile, studyDate); }))
        return;
    if (!openBackupStudyReview(patient, studyFile, studyDate, folder))
        return;
    // What is on screen now is not the current study: nothing of it may be printed,
    // reported or recorded into.
    setCommandEnabled(Imprimirmnu, false);
    setCommandEnabled(VerInformemnu, false);
    setCommandEnabled(Guardarmnu, false);
    setCommandEnabled(GuardarBut, false);
}

// A backup study is looked at with its own patient, version and print marks: the current
// patient and study stay as they were.
bool TZuvudezidedFrm::openBackupStudyReview(const PatientListing& patient, const QString& studyFile,
                                            const QString& studyDate, const QString& folder)
{
    std::bitset<kPrintSelectionSize> marks;
    EstudioExistFrm->setRateFormula(m_config.maxHRFormula, m_userMaxHR);
    EstudioExistFrm->setUnits(m_units);
    return runModal([&] {
               return EstudioExistFrm->OpenStudyReview(patient.header.data, patient.header.version,
                                                       studyDate, marks, studyFile, folder);
           }) == 0;
}

void TZuvudezidedFrm::RecuperarmnuClick()
{
    const QString chosenDir = runModal([&] {
        return m_services.files->directory(this, QStringLiteral("Recuperar Copia de Seguridad"),
                                           m_backupDir);
    });
    if (chosenDir.isEmpty())
        return;
    const QDir backup(withSlash(chosenDir));
    const QDir work(m_workDir);
    if (sameFolder(backup.path(), work.path())) {
        runModal([&] { m_services.messages->warning(this, kSameFolderText); });
        return;
    }
    PatientListing patient;
    const bool chosen = runModal([&] {
        return AbrirPacfrm->ChoosePatient(QStringLiteral("Elegir paciente a recuperar"), backup,
                                          patient);
    });
    if (!chosen) {
        if (!AbrirPacfrm->listingError().isEmpty())
            showError(AbrirPacfrm->listingError());
        return;
    }
    if (m_patientOpen &&
        patient.fileName.compare(m_session.patientFile, Qt::CaseInsensitive) == 0) {
        // The open patient's study count lives in memory: files replaced under it would
        // be overwritten again by its next study.
        runModal([&] {
            m_services.messages->warning(
                this, QStringLiteral("Los archivos del paciente selecionado están en uso, debe "
                                     "cerrarlo para recuperarlo"));
        });
        return;
    }
    if (patientFileExists(work, patient.fileName)) {
        const QString question = QStringLiteral("El paciente ") + patient.header.data.surname +
                                 QStringLiteral(", ") + patient.header.data.firstName +
                                 QStringLiteral(" ya existe en la carpeta de trabajo. "
                                                "¿Reemplazar sus archivos con los de la copia?");
        if (!runModal([&] { return m_services.messages->confirm(this, question); }))
            return;
    }
    try {
        CopyWriter writer;
        restorePatient(backup, work, patient.fileName, writer);
    } catch (const FileError&) {
        runModal([&] {
            m_services.messages->warning(this, QStringLiteral("Error en acceso a archivo"));
        });
    }
}

} // namespace esf
