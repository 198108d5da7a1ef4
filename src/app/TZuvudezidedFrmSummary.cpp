// The main window's clinical summary of the current study.
#include "app/TZuvudezidedFrm.h"

#include "common/FileError.h"
#include "records/StudyFile.h"
#include "report/SummaryText.h"
#include "report/TInformfrm.h"
#include "report/TResumenDlg.h"

#include <QDir>
#include <QTextCursor>

namespace esf {

QList<SummaryRow> TZuvudezidedFrm::clinicalSummaryRows()
{
    SummaryInput in = readSummaryInput(QDir(m_workDir).filePath(m_session.studyFileName),
                                       m_currentPatient, m_session.patientVersion,
                                       m_services.today(), m_config.maxHRFormula, m_userMaxHR);
    in.anginaIndex = ResumenDlg->anginaIndex();
    return summaryRows(computeClinicalSummary(in), m_units.rate, m_units.pressure);
}

void TZuvudezidedFrm::ResumenClinicomnuClick()
{
    if (m_session.studyFileName.isEmpty())
        return;
    SummaryInput in;
    try {
        in = readSummaryInput(QDir(m_workDir).filePath(m_session.studyFileName), m_currentPatient,
                              m_session.patientVersion, m_services.today(), m_config.maxHRFormula,
                              m_userMaxHR);
    } catch (const FileError& e) {
        showError(e.message());
        return;
    }
    runModal([&] {
        ResumenDlg->ShowSummary(
            in, m_units, [this](const QList<SummaryRow>& rows) { copySummaryToReport(rows); });
    });
}

void TZuvudezidedFrm::copySummaryToReport(const QList<SummaryRow>& rows)
{
    // Into the study's report where the caret stands; the editor opens on it when it shows
    // something else, and keeps its text when that cannot be left.
    const QString report = reportFileName(m_session.studyFileName);
    const bool showing = Informfrm->isVisible() && !Informfrm->templateMode() &&
                         Informfrm->reportFile().compare(report, Qt::CaseInsensitive) == 0;
    if (!showing && !Informfrm->OpenReportEditor(m_workDir, m_session.studyFileName,
                                                 m_currentPatient.surname + QStringLiteral(", ") +
                                                     m_currentPatient.firstName,
                                                 false))
        return;
    QTextCursor cursor = Informfrm->InfEd->textCursor();
    insertSummaryTable(cursor, rows);
    Informfrm->InfEd->setTextCursor(cursor);
}

} // namespace esf
