#pragma once

#include "report/ClinicalSummary.h"
#include "report/UnitTexts.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QPushButton;
class QTableWidget;

namespace esf {

// The clinical summary of the current study: the values a report states, the angina index of
// the Duke score as the physician judges it, and a copy into the report editor.
class TResumenDlg : public QDialog {
    Q_OBJECT
public:
    explicit TResumenDlg(QWidget* parent = nullptr);

    // Shows the summary modally. copyToReport receives the rows shown when the user asks.
    void ShowSummary(const SummaryInput& input, const UnitTexts& units,
                     const std::function<void(const QList<SummaryRow>&)>& copyToReport);
    // -1 until the physician chooses; then 0, 1 or 2.
    int anginaIndex() const { return m_anginaIndex; }

    QTableWidget* ResumenGrd = nullptr;
    QComboBox* AnginaCmb = nullptr;
    QPushButton* CopiarBut = nullptr;
    QPushButton* CerrarBut = nullptr;

private:
    void AnginaCmbChange(int index);
    void fill();

    SummaryInput m_input;
    UnitTexts m_units;
    QList<SummaryRow> m_rows;
    int m_anginaIndex = -1;
    bool m_filling = false;
};

} // namespace esf
