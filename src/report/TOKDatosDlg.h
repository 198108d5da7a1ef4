#pragma once

#include "report/GeneralData.h"
#include "widgets/Services.h"

#include <QDialog>
#include <QDir>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace esf {

// The general data: the institution's details for the report header and the unit labels.
class TOKDatosDlg : public QDialog {
    Q_OBJECT
public:
    explicit TOKDatosDlg(MessageBoxes& messages, QWidget* parent = nullptr);

    // Shows the dialog modally on the file in workDir; on OK writes it and returns true.
    bool EditGeneralData(const QDir& workDir);

    void FormActivate();
    void OKBtnClick();
    void LogoButClick();

    // The picture chooser behind LogoBut; returns the chosen path, or nothing when cancelled.
    std::function<QString(QWidget* parent, const QString& dir, const QString& filters)> pickPicture;
    static const QString kPictureFilters;

    QTabWidget* PageControl = nullptr;
    QWidget* InstitucionalesTab = nullptr;
    QWidget* UnidadesTab = nullptr;
    QLabel* InstLbl = nullptr;
    QLineEdit* InstTxt = nullptr;
    QLabel* DirLbl = nullptr;
    QLineEdit* DirTxt = nullptr;
    QLabel* TelLbl = nullptr;
    QLineEdit* TelTxt = nullptr;
    QLabel* MedicoLbl = nullptr;
    QLineEdit* MedicoTxt = nullptr;
    QLabel* LogoLbl = nullptr;
    QLineEdit* LogoTxt = nullptr;
    QPushButton* LogoBut = nullptr;
    QLabel* CargaLbl = nullptr;
    QComboBox* CargaUnBox = nullptr;
    QLabel* PresLbl = nullptr;
    QComboBox* PresUnBox = nullptr;
    QLabel* VelLbl = nullptr;
    QComboBox* VelUnBox = nullptr;
    QLabel* FrecLbl = nullptr;
    QComboBox* FrecUnBox = nullptr;
    QLabel* PendLbl = nullptr;
    QComboBox* PendUnBox = nullptr;
    QLabel* AtencionImg = nullptr;
    QLabel* AtencionLbl = nullptr;
    QPlainTextEdit* NotaMemo = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

private:
    GeneralData controlTexts() const;
    void showData(const GeneralData& d);

    MessageBoxes& m_messages;
    QDir m_workDir;
};

} // namespace esf
