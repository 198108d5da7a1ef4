#pragma once

#include "records/PatientFile.h"

#include <QDialog>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace esf {

// One line of a patient list: surname, ", ", first name, three blanks, the study count, 61
// blanks, "@" and the file name, which also rides in kPatientFileRole. Lists sorting these
// lines put "Álvarez" beside "alvarez".
inline constexpr int kPatientFileRole = Qt::UserRole;
QListWidgetItem* makePatientItem(const PatientListing& patient);

// Patient chooser: every patient file of a folder, by surname.
class TAbrirPacfrm : public QDialog {
    Q_OBJECT
public:
    explicit TAbrirPacfrm(QWidget* parent = nullptr);

    // Shows the chooser modally with caption over the patient files of dir. True when a
    // patient was chosen and its header read again whole; chosen then holds it.
    bool ChoosePatient(const QString& caption, const QDir& dir, PatientListing& chosen);
    // Why the last ChoosePatient could not list the folder; empty when it could.
    const QString& listingError() const { return m_listingError; }

    void OKBtnClick();
    void ListPacDblClick(QListWidgetItem* item);

    QLabel* ApellidoLbl = nullptr;
    QListWidget* ListPac = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

private:
    void fillList(const QDir& dir);

    QDir m_dir;
    bool m_chosen = false;
    PatientListing m_choice;
    QString m_listingError;
};

} // namespace esf
