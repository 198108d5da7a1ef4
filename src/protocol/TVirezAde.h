#pragma once

#include <QDialog>
#include <cstdint>

class QCheckBox;
class QLabel;
class QPushButton;

namespace esf {

class PressureEdit;

// "Presiones": the pressures and angina confirmed at the end of every stage.
class TVirezAde : public QDialog {
    Q_OBJECT
public:
    explicit TVirezAde(QWidget* parent = nullptr);
    ~TVirezAde() override;

    // Shows the values modally and returns, however the dialog closes, the last accepted
    // pressures and the check box. An earlier call still waiting is closed first and
    // returns what it held then.
    void AskPressures(int& systolic, int& diastolic, std::uint8_t& angina);

    void setVisible(bool visible) override;

    QLabel* VerifiqueLbl = nullptr;
    QLabel* SisPresLbl = nullptr;
    PressureEdit* SisPresEd = nullptr;
    QLabel* DiastPresLbl = nullptr;
    PressureEdit* DiastPresEd = nullptr;
    QCheckBox* AngorChk = nullptr;
    QPushButton* OKBtn = nullptr;

private:
    struct Session;
    void finishSession();

    Session* m_session = nullptr;
};

} // namespace esf
