#pragma once

#include "protocol/StageRun.h"
#include "records/PatientFile.h"
#include "records/StudyReview.h"
#include "report/UnitTexts.h"

#include <QDate>
#include <QDialog>
#include <QImage>
#include <bitset>
#include <functional>
#include <memory>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace esf {

class FileDialogs;
class MessageBoxes;
struct ReviewScene;

// The review of a stored study: four trend charts, the strips of one record, the record's
// values with their corrections, and the marks for the printed report.
class TEstudioExistFrm : public QDialog {
    Q_OBJECT
public:
    TEstudioExistFrm(MessageBoxes& messages, std::function<QDate()> today,
                     QWidget* parent = nullptr);
    ~TEstudioExistFrm() override;

    // The maximal-rate formula of the main window and the unit texts of the general data,
    // set before each opening.
    void setRateFormula(int formula, int userMaxHR);
    void setUnits(const UnitTexts& units);
    // Where "Exportar EDF+..." asks for the file; without it the command is not offered.
    void setFileDialogs(std::shared_ptr<FileDialogs> files) { m_files = std::move(files); }

    // Modal. Reads the study `fileName` from `folder`; the print flags are copied back when
    // the window closes. Returns ReviewError: 0 when the first record could be read.
    int OpenStudyReview(const PatientData& patient, const QString& version, const QString& date,
                        std::bitset<kPrintSelectionSize>& printSelection, const QString& fileName,
                        const QString& folder);

    void FormActivate();
    void ShowRecordLabels();
    void AvanzaEtapaButClick();
    void RetroEtapaButClick();
    void CorregButClick();
    void ImprimirChkClick(bool checked);
    // The study's strips as EDF+, from the context menu.
    void ExportarEDFClick();

    const StudyReview& review() const { return m_review; }
    const QImage& canvas() const { return m_canvas; }
    const ReviewLayout& layoutMetrics() const { return m_layout; }

    int ReviewError = 0;
    int ReviewAge = 0;
    int ReviewMaxHR = 0;
    int ReviewSubMaxHR = 0;

    QFrame* ProtoBrd = nullptr;
    QLabel* ProtoNomlbl = nullptr;
    QLabel* EtapaNumLbl = nullptr;
    QLabel* TpoParcialLbl = nullptr;
    QLabel* PresSistLbl = nullptr;
    QLineEdit* PresSistEd = nullptr;
    QLabel* PresDiastLbl = nullptr;
    QLineEdit* PresDiastEd = nullptr;
    QLabel* FreCarLbl = nullptr;
    QLineEdit* FreCarEd = nullptr;
    QLabel* AngorLbl = nullptr;
    QCheckBox* AngorChk = nullptr;
    QLabel* DemandLbl = nullptr;
    QLabel* ITTLbl = nullptr;
    QLabel* STD2Lbl = nullptr;
    QLabel* STD2txt = nullptr;
    QLabel* STV2Lbl = nullptr;
    QLabel* STV2txt = nullptr;
    QLabel* STV5Lbl = nullptr;
    QLabel* STV5txt = nullptr;
    QPushButton* CorregBut = nullptr;
    QFrame* ImprimirBrd = nullptr;
    QCheckBox* ImprimirChk = nullptr;
    QLabel* NhojasLb = nullptr;
    QFrame* ProtoAvReBrd = nullptr;
    QToolButton* RetroEtapaBut = nullptr;
    QToolButton* AvanzaEtapaBut = nullptr;
    QLabel* FrecMaxLbl = nullptr;
    QLabel* FrecSMaxLBL = nullptr;
    QFrame* EcgBrd = nullptr;
    QPushButton* OkBut = nullptr;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    ReviewScene scene() const;
    void placeControls();
    void repaintCanvas();
    void moveTo(bool forward);
    void updatePages();
    void limitEdit(QLineEdit* edit, int max);

    MessageBoxes& m_messages;
    std::shared_ptr<FileDialogs> m_files;
    QString m_date;
    std::function<QDate()> m_today;
    int m_formula = 0;
    int m_userMaxHR = 0;
    UnitTexts m_units;
    PatientData m_patient;
    QString m_version;
    QString m_fileName;
    QString m_folder;
    StudyReview m_review;
    ReviewLayout m_layout;
    QImage m_canvas;
};

} // namespace esf
