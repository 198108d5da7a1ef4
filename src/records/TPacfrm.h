#pragma once

#include "records/PatientFile.h"

#include <QDate>
#include <QDialog>
#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace esf {

// Patient entry: a new patient's data, or corrections to the open one.
class TPacfrm : public QDialog {
    Q_OBJECT
public:
    explicit TPacfrm(std::function<QDate()> today, QWidget* parent = nullptr);

    // Shows the dialog modally on record; returns true when cancelled, and record is then
    // left as it was.
    bool EditPatient(PatientData& record, bool editMode);

    void OkBtnClick();
    void FNacMskExit();

    QLabel* NombreLbl = nullptr;
    QLineEdit* NombreEd = nullptr;
    QLabel* ApellidoLbl = nullptr;
    QLineEdit* ApellidoEd = nullptr;
    QLabel* FNacLbl = nullptr;
    QLineEdit* FNacMsk = nullptr;
    QLabel* AlturaLbl = nullptr;
    QLineEdit* AlturaMsk = nullptr;
    QLabel* CmLbl = nullptr;
    QGroupBox* SexoGrp = nullptr;
    QRadioButton* Masculinoslc = nullptr;
    QRadioButton* Femeninoslc = nullptr;
    QPushButton* OkBtn = nullptr;
    QPushButton* CancelarBtn = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool birthDateAccepted() const;
    void setSex(bool male, bool female);

    std::function<QDate()> m_today;
};

} // namespace esf
