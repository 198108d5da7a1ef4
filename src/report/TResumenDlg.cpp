#include "report/TResumenDlg.h"

#include "widgets/Controls.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace esf {

TResumenDlg::TResumenDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TResumenDlg"));
    setWindowTitle(QStringLiteral("Resumen clínico"));
    setModal(true);

    ResumenGrd = makeField<QTableWidget>(this, "ResumenGrd", QStringLiteral("Resumen clínico"));
    ResumenGrd->setColumnCount(3);
    ResumenGrd->setHorizontalHeaderLabels(
        {QStringLiteral("Dato"), QStringLiteral("Valor"), QStringLiteral("Alerta")});
    ResumenGrd->verticalHeader()->hide();
    ResumenGrd->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ResumenGrd->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ResumenGrd->horizontalHeader()->setStretchLastSection(true);

    AnginaCmb = makeField<QComboBox>(this, "AnginaCmb", QStringLiteral("Índice de angor (Duke)"));
    AnginaCmb->addItems({QStringLiteral("0 - Sin angor"), QStringLiteral("1 - Angor en la prueba"),
                         QStringLiteral("2 - Angor que limitó la prueba")});
    QLabel* anginaLbl =
        makeLabel(this, "AnginaLbl", QStringLiteral("Índice de angor (Duke):"), AnginaCmb);
    CopiarBut = makeButton(this, "CopiarBut", QStringLiteral("Copiar al informe"));
    CerrarBut = makeButton(this, "CerrarBut", QStringLiteral("Cerrar"));
    CerrarBut->setDefault(true);

    auto* angina = new QHBoxLayout;
    angina->addWidget(anginaLbl);
    angina->addWidget(AnginaCmb, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CopiarBut);
    buttons->addWidget(CerrarBut);
    auto* all = new QVBoxLayout(this);
    all->addWidget(ResumenGrd, 1);
    all->addLayout(angina);
    all->addLayout(buttons);
    resize(760, 520);

    connect(AnginaCmb, &QComboBox::currentIndexChanged, this, &TResumenDlg::AnginaCmbChange);
    connect(CerrarBut, &QPushButton::clicked, this, &QDialog::accept);
}

void TResumenDlg::ShowSummary(const SummaryInput& input, const UnitTexts& units,
                              const std::function<void(const QList<SummaryRow>&)>& copyToReport)
{
    m_input = input;
    m_units = units;
    // Every study starts from what its records say about angina.
    m_anginaIndex = -1;
    fill();
    const QMetaObject::Connection copy = connect(CopiarBut, &QPushButton::clicked, this,
                                                 [this, copyToReport] { copyToReport(m_rows); });
    exec();
    disconnect(copy);
}

void TResumenDlg::AnginaCmbChange(int index)
{
    if (m_filling)
        return;
    m_anginaIndex = index;
    fill();
}

void TResumenDlg::fill()
{
    m_input.anginaIndex = m_anginaIndex;
    const ClinicalSummary s = computeClinicalSummary(m_input);
    m_rows = summaryRows(s, m_units.rate, m_units.pressure);
    ResumenGrd->setRowCount(int(m_rows.size()));
    for (int i = 0; i < m_rows.size(); ++i) {
        const SummaryRow& r = m_rows[i];
        const QStringList cells = {r.label, r.value, r.flag};
        for (int c = 0; c < 3; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == 2)
                item->setForeground(QColor(0xC0, 0, 0));
            ResumenGrd->setItem(i, c, item);
        }
    }
    m_filling = true;
    AnginaCmb->setCurrentIndex(s.anginaIndex);
    m_filling = false;
}

} // namespace esf
