#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace esf {

// What "Imprimir" prints: the graphic report (with the clinical summary), the physician's
// report, or both.
class TOKImpDlg : public QDialog {
    Q_OBJECT
public:
    explicit TOKImpDlg(QWidget* parent = nullptr);

    // Shows the dialog modally; true on OK. The boxes keep their state from one use to the next.
    bool Execute();

    QCheckBox* TablasCk = nullptr;
    QCheckBox* InformeCk = nullptr;
    // One more page after the graphic report, so it goes with it.
    QCheckBox* ResumenCk = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
};

} // namespace esf
