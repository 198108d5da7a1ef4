#pragma once

#include "protocol/ProtocolRecord.h"
#include "report/UnitTexts.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class QTableWidget;

namespace esf {

// The protocol viewer: one row per stage, with the columns of the protocol's device.
class TVerProtoFrm : public QDialog {
    Q_OBJECT
public:
    explicit TVerProtoFrm(QWidget* parent = nullptr);

    // Modal; closes with its OK button.
    void ShowProtocol(const ProtocolRecord& record, const UnitTexts& units);

    const ProtocolRecord& shownRecord() const { return m_record; }

    QFrame* Bevel1 = nullptr;
    QTableWidget* ProtoGrid = nullptr;
    QLabel* DispLbl = nullptr;
    QPushButton* OKBut = nullptr;

private:
    void fillGrid(const UnitTexts& units);

    ProtocolRecord m_record;
};

} // namespace esf
