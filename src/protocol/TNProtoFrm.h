#pragma once

#include "protocol/ProtocolRecord.h"
#include "widgets/Services.h"

#include <QDialog>
#include <QDir>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabBar;

namespace esf {

// The protocol editor: always starts from a cleared protocol and hands the result back.
class TNProtoFrm : public QDialog {
    Q_OBJECT
public:
    explicit TNProtoFrm(MessageBoxes& messages, QWidget* parent = nullptr);

    // Modal. False when cancelled, and then record is left as it was.
    bool EditProtocol(ProtocolRecord& record, const QDir& workDir);

    // Handlers, named after the controls that fire them.
    void CantEtapaEdChange();
    void DispEdClick(int device);
    void SelEtapaChange(int index);
    void GuardaButClick();
    void OKButClick();
    void CancelButClick();

    // The editor's own record and the stage shown in its fields (0 = none).
    const ProtocolRecord& editedRecord() const { return m_record; }
    int editedStage() const { return m_editedStage; }

    QLabel* NombreLbl = nullptr;
    QLineEdit* NombreEd = nullptr;
    QLabel* CantEtapaLbl = nullptr;
    QComboBox* CantEtapaEd = nullptr;
    QGroupBox* DispEd = nullptr;
    QRadioButton* DispEdCinta = nullptr;
    QRadioButton* DispEdBicicleta = nullptr;
    QLabel* CargaLbl = nullptr;
    QLineEdit* CargaEd = nullptr;
    QLabel* PendLbl = nullptr;
    QLineEdit* PendEd = nullptr;
    QLabel* VelLbl = nullptr;
    QLineEdit* VelEd = nullptr;
    QLabel* TipoEtapaLbl = nullptr;
    QComboBox* TipoEtapaEd = nullptr;
    QLabel* TiempoLbl = nullptr;
    QLineEdit* TiempoEd = nullptr;
    QTabBar* SelEtapa = nullptr;
    QPushButton* GuardaBut = nullptr;
    QPushButton* OKBut = nullptr;
    QPushButton* CancelBut = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void reject() override;

private:
    void build();
    void initialise();
    void StoreEditedStage(int n);
    void ShowEditedStage(int n);
    void ReadHeader();
    bool storeForClosing();
    bool saveFile();
    void setDeviceFields(int device);
    void leaveValueField(QLineEdit* field, double limit, const QString& limitText);

    MessageBoxes& m_messages;
    QButtonGroup* m_dispGroup = nullptr;
    ProtocolRecord m_record;
    QDir m_workDir;
    int m_editedStage = 0;
    bool m_cancelled = false;
};

} // namespace esf
