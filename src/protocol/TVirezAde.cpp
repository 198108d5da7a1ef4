#include "protocol/TVirezAde.h"

#include "protocol/PressureEdit.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace esf {

// One AskPressures waiting on its own loop. QDialog::exec() refuses to nest on the same
// dialog, and a stage may end while the previous stage's dialog is still open.
struct TVirezAde::Session {
    QEventLoop loop;
    int systolic = 0;
    int diastolic = 0;
    bool angina = false;
};

TVirezAde::TVirezAde(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TVirezAde"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Presiones"));
    setModal(true);

    VerifiqueLbl = new QLabel(QStringLiteral("Verifique los valores de presión"), this);
    VerifiqueLbl->setObjectName(QStringLiteral("VerifiqueLbl"));
    SisPresEd = new PressureEdit(QStringLiteral("SisPresEd"), QStringLiteral("SisPresUpDw"),
                                 QStringLiteral("Sistólica"), this);
    SisPresLbl = new QLabel(QStringLiteral("Sistólica"), this);
    SisPresLbl->setObjectName(QStringLiteral("SisPresLbl"));
    SisPresLbl->setBuddy(SisPresEd->edit());
    DiastPresEd = new PressureEdit(QStringLiteral("DiastPresEd"), QStringLiteral("DiastPresUpDw"),
                                   QStringLiteral("Diastólica"), this);
    DiastPresLbl = new QLabel(QStringLiteral("Diastólica"), this);
    DiastPresLbl->setObjectName(QStringLiteral("DiastPresLbl"));
    DiastPresLbl->setBuddy(DiastPresEd->edit());
    AngorChk = new QCheckBox(QStringLiteral("Presenta angor?"), this);
    AngorChk->setObjectName(QStringLiteral("AngorChk"));
    AngorChk->setAccessibleName(QStringLiteral("Presenta angor?"));
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setAccessibleName(QStringLiteral("OK"));
    OKBtn->setDefault(true);

    auto* fields = new QGridLayout;
    fields->addWidget(SisPresLbl, 0, 0);
    fields->addWidget(SisPresEd, 0, 1);
    fields->addWidget(DiastPresLbl, 1, 0);
    fields->addWidget(DiastPresEd, 1, 1);
    fields->setColumnStretch(2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    auto* all = new QVBoxLayout(this);
    all->addWidget(VerifiqueLbl);
    all->addLayout(fields);
    all->addWidget(AngorChk);
    all->addLayout(buttons);
    all->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(SisPresEd->edit(), DiastPresEd->edit());
    setTabOrder(DiastPresEd->edit(), AngorChk);
    setTabOrder(AngorChk, OKBtn);

    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
}

TVirezAde::~TVirezAde()
{
    finishSession();
}

void TVirezAde::AskPressures(int& systolic, int& diastolic, std::uint8_t& angina)
{
    if (isVisible())
        reject();
    SisPresEd->setValue(systolic);
    DiastPresEd->setValue(diastolic);
    AngorChk->setChecked(angina != 0);
    SisPresEd->setFocus(Qt::OtherFocusReason);
    SisPresEd->edit()->selectAll();

    Session session;
    m_session = &session;
    const QPointer<TVirezAde> alive(this);
    show();
    raise();
    activateWindow();
    session.loop.exec(QEventLoop::DialogExec);
    // The application quitting ends every loop without closing the dialog.
    if (alive && m_session == &session)
        hide();

    systolic = session.systolic;
    diastolic = session.diastolic;
    angina = session.angina ? 1 : 0;
}

void TVirezAde::setVisible(bool visible)
{
    // Every way of closing (OK, Escape, the desktop, a newer call) passes through here
    // while the fields still hold what this call is to return.
    if (!visible)
        finishSession();
    QDialog::setVisible(visible);
}

void TVirezAde::finishSession()
{
    if (m_session == nullptr)
        return;
    Session* s = m_session;
    m_session = nullptr;
    s->systolic = SisPresEd->value();
    s->diastolic = DiastPresEd->value();
    s->angina = AngorChk->isChecked();
    s->loop.exit();
}

} // namespace esf
