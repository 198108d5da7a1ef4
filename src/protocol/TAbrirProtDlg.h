#pragma once

#include "report/UnitTexts.h"
#include "widgets/Services.h"

#include <QDialog>
#include <QDir>

class QListWidget;
class QPushButton;

namespace esf {

class TVerProtoFrm;

// The protocol chooser: lists the protocol files of the working directory by stored name.
class TAbrirProtDlg : public QDialog {
    Q_OBJECT
public:
    TAbrirProtDlg(MessageBoxes& messages, TVerProtoFrm& viewer, QWidget* parent = nullptr);

    // Modal. True with chosenFile set to a file name of the working directory when one was
    // chosen; chosenFile is emptied otherwise.
    bool ChooseProtocol(const QDir& workDir, QString& chosenFile, const UnitTexts& units);

    void OKButClick();
    void VerButClick();
    void BorrarButClick();

    QListWidget* ListBox1 = nullptr;
    QListWidget* ListBox2 = nullptr;
    QPushButton* OKBut = nullptr;
    QPushButton* CancelBut = nullptr;
    QPushButton* VerBut = nullptr;
    QPushButton* BorrarBut = nullptr;

private:
    void fillLists();
    int selectedIndex() const;

    MessageBoxes& m_messages;
    TVerProtoFrm& m_viewer;
    QDir m_workDir;
    UnitTexts m_units;
    QString m_chosenName;
    bool m_chosen = false;
};

} // namespace esf
