#include "report/TOKImpDlg.h"

#include "widgets/Controls.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace esf {

TOKImpDlg::TOKImpDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TOKImpDlg"));
    setWindowTitle(QStringLiteral("Imprimir"));
    TablasCk = makeField<QCheckBox>(
        this, "TablasCk", QStringLiteral("Tablas, curvas y registros de ECG seleccionados"));
    TablasCk->setText(TablasCk->accessibleName());
    InformeCk = makeField<QCheckBox>(this, "InformeCk", QStringLiteral("Reporte del médico"));
    InformeCk->setText(InformeCk->accessibleName());
    ResumenCk = makeField<QCheckBox>(this, "ResumenCk", QStringLiteral("Resumen clínico"));
    ResumenCk->setText(ResumenCk->accessibleName());
    ResumenCk->setEnabled(false);
    connect(TablasCk, &QCheckBox::toggled, ResumenCk, &QWidget::setEnabled);

    QHBoxLayout* buttons = makeOkCancelRow(this, OKBtn, CancelBtn);
    auto* all = new QVBoxLayout(this);
    all->addWidget(TablasCk);
    all->addWidget(ResumenCk);
    all->addWidget(InformeCk);
    all->addStretch();
    all->addLayout(buttons);

    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

bool TOKImpDlg::Execute()
{
    TablasCk->setFocus();
    return exec() == QDialog::Accepted;
}

} // namespace esf
