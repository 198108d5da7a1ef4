#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace esf {

// Study chooser: the studies registered in one patient file, by number and date.
class TAbrirEstfrm : public QDialog {
    Q_OBJECT
public:
    explicit TAbrirEstfrm(QWidget* parent = nullptr);

    // Modal. True when a study was chosen; studyFile and studyDate are then set and are
    // left untouched otherwise.
    bool ChooseStudy(const QString& patientPath, QString& studyFile, QString& studyDate);

    void OKBtnClick();
    void ListEstDblClick(QListWidgetItem* item);

    QListWidget* ListEst = nullptr;
    // Parallel to ListEst, never shown: the file name (empty on a corrupt line) and date.
    QStringList ListArchEst;
    QStringList ListFecha;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

private:
    bool m_chosen = false;
    QString m_file;
    QString m_date;
};

} // namespace esf
