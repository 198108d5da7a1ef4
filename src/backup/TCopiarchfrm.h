#pragma once

#include "backup/Backup.h"

#include <QDialog>
#include <QDir>
#include <memory>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace esf {

class FileDialogs;
class MessageBoxes;

// The backup form: copies or moves whole patients from the working folder to a backup folder.
class TCopiarchfrm : public QDialog {
    Q_OBJECT
public:
    TCopiarchfrm(MessageBoxes& messages, FileDialogs& files, QWidget* parent = nullptr);

    // Shows the form modally over the patients of work. backupDir (ending in "/") is where
    // copies go; "Examinar..." changes it. "Mover" leaves openPatient, the patient file in
    // use in the main window, where it is.
    void ShowBackup(const QDir& work, QString& backupDir, const QString& openPatient);

    void FillPatientList();
    void ListBox1Click();
    void ExamBtnClick();
    void ComenzarBtnClick();

    // Tests stand in a disk that fills up.
    void setCopyWriter(std::shared_ptr<CopyWriter> writer) { m_writer = std::move(writer); }

    QLabel* ApellidoLbl = nullptr;
    QListWidget* ListBox1 = nullptr;
    QLabel* SelecTxt = nullptr;
    QLabel* CopiandoLbl = nullptr;
    QProgressBar* ProgBar = nullptr;
    QLabel* CopiadosTxt = nullptr;
    QRadioButton* CopiarRb = nullptr;
    QRadioButton* MoverRb = nullptr;
    QLabel* DirTxt = nullptr;
    QPushButton* ExamBtn = nullptr;
    QPushButton* ComenzarBtn = nullptr;
    QPushButton* SalirBtn = nullptr;

private:
    void updateSummary();
    void advance(qint64 fileBytes);
    void warn(const QString& text);

    MessageBoxes& m_messages;
    FileDialogs& m_files;
    std::shared_ptr<CopyWriter> m_writer;
    QDir m_work;
    QString m_backupDir;
    QString m_openPatient;
    qint64 m_selectedBytes = 0;
    bool m_busy = false;
};

} // namespace esf
