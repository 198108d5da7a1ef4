#include "records/TPacfrm.h"

#include "widgets/Controls.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace esf {
namespace {

constexpr int kMaxHeight = 254; // the height is one byte on disk

QLineEdit* makeEdit(QWidget* parent, const char* name, const QString& caption)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setAccessibleName(caption);
    return e;
}

} // namespace

TPacfrm::TPacfrm(std::function<QDate()> today, QWidget* parent)
    : QDialog(parent), m_today(std::move(today))
{
    setObjectName(QStringLiteral("TPacfrm"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Ingreso Paciente Nuevo"));
    // The classic 393 x 155 area, grown only as much as today's fonts need for 30-letter names.
    resize(393, 155);

    NombreEd = makeEdit(this, "NombreEd", QStringLiteral("Nombre:"));
    ApellidoEd = makeEdit(this, "ApellidoEd", QStringLiteral("Apellido:"));
    FNacMsk = makeEdit(this, "FNacMsk", QStringLiteral("Fecha de Nacimiento:"));
    NombreEd->setMinimumWidth(180);
    ApellidoEd->setMinimumWidth(180);
    FNacMsk->setMinimumWidth(90);
    FNacMsk->setInputMask(QStringLiteral("00/00/0000; "));
    AlturaMsk = makeEdit(this, "AlturaMsk", QStringLiteral("Altura:"));
    AlturaMsk->setInputMask(QStringLiteral("000;_"));
    NombreLbl = makeLabel(this, "NombreLbl", QStringLiteral("Nombre:"), NombreEd);
    ApellidoLbl = makeLabel(this, "ApellidoLbl", QStringLiteral("Apellido:"), ApellidoEd);
    FNacLbl = makeLabel(this, "FNacLbl", QStringLiteral("Fecha de Nacimiento:"), FNacMsk);
    AlturaLbl = makeLabel(this, "AlturaLbl", QStringLiteral("Altura:"), AlturaMsk);
    CmLbl = makeLabel(this, "CmLbl", QStringLiteral("cm"), nullptr);

    SexoGrp = new QGroupBox(QStringLiteral("Sexo"), this);
    SexoGrp->setObjectName(QStringLiteral("SexoGrp"));
    SexoGrp->setAccessibleName(QStringLiteral("Sexo"));
    Masculinoslc = new QRadioButton(QStringLiteral("Masculino"), SexoGrp);
    Masculinoslc->setObjectName(QStringLiteral("Masculinoslc"));
    Masculinoslc->setAccessibleName(QStringLiteral("Masculino"));
    Femeninoslc = new QRadioButton(QStringLiteral("Femenino"), SexoGrp);
    Femeninoslc->setObjectName(QStringLiteral("Femeninoslc"));
    Femeninoslc->setAccessibleName(QStringLiteral("Femenino"));
    auto* sexLayout = new QVBoxLayout(SexoGrp);
    sexLayout->addWidget(Masculinoslc);
    sexLayout->addWidget(Femeninoslc);

    OkBtn = new QPushButton(QStringLiteral("Ok"), this);
    OkBtn->setObjectName(QStringLiteral("OkBtn"));
    OkBtn->setAccessibleName(QStringLiteral("Ok"));
    OkBtn->setDefault(true);
    CancelarBtn = new QPushButton(QStringLiteral("Cancelar"), this);
    CancelarBtn->setObjectName(QStringLiteral("CancelarBtn"));
    CancelarBtn->setAccessibleName(QStringLiteral("Cancelar"));

    auto* fields = new QGridLayout;
    fields->addWidget(NombreLbl, 0, 0);
    fields->addWidget(NombreEd, 0, 1, 1, 2);
    fields->addWidget(ApellidoLbl, 1, 0);
    fields->addWidget(ApellidoEd, 1, 1, 1, 2);
    fields->addWidget(FNacLbl, 2, 0);
    fields->addWidget(FNacMsk, 2, 1, 1, 2);
    fields->addWidget(AlturaLbl, 3, 0);
    fields->addWidget(AlturaMsk, 3, 1);
    fields->addWidget(CmLbl, 3, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(OkBtn);
    buttons->addWidget(CancelarBtn);
    auto* right = new QVBoxLayout;
    right->addWidget(SexoGrp);
    right->addStretch();
    right->addLayout(buttons);
    auto* all = new QHBoxLayout(this);
    all->addLayout(fields, 1);
    all->addLayout(right);
    all->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(NombreEd, ApellidoEd);
    setTabOrder(ApellidoEd, FNacMsk);
    setTabOrder(FNacMsk, AlturaMsk);
    setTabOrder(AlturaMsk, Masculinoslc);
    setTabOrder(Masculinoslc, Femeninoslc);
    setTabOrder(Femeninoslc, OkBtn);
    setTabOrder(OkBtn, CancelarBtn);

    FNacMsk->installEventFilter(this);
    connect(OkBtn, &QPushButton::clicked, this, &TPacfrm::OkBtnClick);
    // Escape reaches reject() too, so it cancels like the button.
    connect(CancelarBtn, &QPushButton::clicked, this, &QDialog::reject);
}

bool TPacfrm::EditPatient(PatientData& record, bool editMode)
{
    if (editMode) {
        setWindowTitle(QStringLiteral("Corregir Datos de Paciente"));
        NombreEd->setText(record.firstName);
        ApellidoEd->setText(record.surname);
        FNacMsk->setText(record.birthDate);
        AlturaMsk->setText(QString::number(record.height));
        setSex(record.sex != 0, record.sex == 0);
    } else {
        setWindowTitle(QStringLiteral("Ingreso Paciente Nuevo"));
        NombreEd->clear();
        ApellidoEd->clear();
        FNacMsk->clear();
        AlturaMsk->clear();
        setSex(false, false);
    }
    NombreEd->setFocus();
    // Closing by any way other than Ok keeps the record, so it counts as cancelled.
    if (exec() != QDialog::Accepted)
        return true;
    record.firstName = NombreEd->text().left(30);
    record.surname = ApellidoEd->text().left(30);
    // The display text keeps the blanks of an incomplete date, as it is stored.
    record.birthDate = FNacMsk->displayText().left(10);
    record.height = static_cast<std::uint8_t>(AlturaMsk->text().toInt());
    record.sex = Masculinoslc->isChecked() ? 1 : 0;
    return false;
}

void TPacfrm::OkBtnClick()
{
    if (!birthDateAccepted()) {
        FNacMsk->setFocus(Qt::OtherFocusReason);
        return;
    }
    // The byte on disk cannot hold more: the user corrects it here instead of losing it.
    // The mask admits digits only, and an empty height reads as 0.
    if (AlturaMsk->text().toInt() > kMaxHeight) {
        AlturaMsk->setFocus(Qt::OtherFocusReason);
        AlturaMsk->selectAll();
        return;
    }
    accept();
}

void TPacfrm::FNacMskExit()
{
    if (isVisible() && !birthDateAccepted())
        FNacMsk->setFocus(Qt::OtherFocusReason);
}

bool TPacfrm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FNacMsk && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Leaving the window or opening a context menu is not leaving the field.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            // Refocusing inside the focus change itself would fight it; do it right after.
            QMetaObject::invokeMethod(this, &TPacfrm::FNacMskExit, Qt::QueuedConnection);
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool TPacfrm::birthDateAccepted() const
{
    const QDate birth = parseShortDate(FNacMsk->displayText());
    return birth.isValid() && birth < m_today();
}

void TPacfrm::setSex(bool male, bool female)
{
    // Auto-exclusive buttons refuse to be unchecked both at once.
    Masculinoslc->setAutoExclusive(false);
    Femeninoslc->setAutoExclusive(false);
    Masculinoslc->setChecked(male);
    Femeninoslc->setChecked(female);
    Masculinoslc->setAutoExclusive(true);
    Femeninoslc->setAutoExclusive(true);
}

} // namespace esf
