// The main window's commands of the physician's report.
#include "app/TZuvudezidedFrm.h"
#include "report/TInformfrm.h"

namespace esf {

void TZuvudezidedFrm::VerInformemnuClick()
{
    if (m_session.studyFileName.isEmpty())
        return;
    Informfrm->OpenReportEditor(
        m_workDir, m_session.studyFileName,
        m_currentPatient.surname + QStringLiteral(", ") + m_currentPatient.firstName, false);
}

void TZuvudezidedFrm::PlantInformemnuClick()
{
    Informfrm->OpenReportEditor(
        m_workDir, m_session.studyFileName,
        m_currentPatient.surname + QStringLiteral(", ") + m_currentPatient.firstName, true);
}

} // namespace esf
