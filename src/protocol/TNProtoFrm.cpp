#include "protocol/TNProtoFrm.h"

#include "common/FileError.h"
#include "common/NumberFormat.h"

#include "widgets/Controls.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QVBoxLayout>
#include <QValidator>

#include <algorithm>

namespace esf {
namespace {

// Each text is both the picture of the shown value and the field's input mask, where '0' is
// a digit that may be left blank.
const QString kCargaPicture = QStringLiteral("0000.0");
const QString kPendPicture = QStringLiteral("00.0");
const QString kVelPicture = QStringLiteral("000.0");
constexpr double kMaxLoad = 2000.0;
constexpr double kMaxSlope = 40.0;

// The framework's conversion error: ends the running handler with an error box.
struct ConversionError {
    QString text;
};

int toInteger(const QString& text)
{
    int v = 0;
    if (!parseInteger(text, v))
        throw ConversionError{QStringLiteral("'%1' no es un valor entero válido").arg(text)};
    return v;
}

double toDecimal(const QString& text)
{
    double v = 0.0;
    if (!parseDecimal(text, v))
        throw ConversionError{QStringLiteral("'%1' no es un valor numérico válido").arg(text)};
    return v;
}

// Names are entered in upper case whatever the keyboard gives.
class UpperCaseValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        input = input.toUpper();
        return Acceptable;
    }
};

} // namespace

TNProtoFrm::TNProtoFrm(MessageBoxes& messages, QWidget* parent)
    : QDialog(parent), m_messages(messages)
{
    setObjectName(QStringLiteral("TNProtoFrm"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Protocolo"));
    build();
}

void TNProtoFrm::build()
{
    NombreEd = makeField<QLineEdit>(this, "NombreEd", QStringLiteral("Nombre:"));
    NombreEd->setValidator(new UpperCaseValidator(NombreEd));
    NombreLbl = makeLabel(this, "NombreLbl", QStringLiteral("Nombre:"), NombreEd);

    CantEtapaEd = makeField<QComboBox>(this, "CantEtapaEd", QStringLiteral("Cantidad de Etapas:"));
    CantEtapaEd->setEditable(true);
    CantEtapaEd->setInsertPolicy(QComboBox::NoInsert);
    CantEtapaLbl =
        makeLabel(this, "CantEtapaLbl", QStringLiteral("Cantidad de Etapas:"), CantEtapaEd);

    DispEd = new QGroupBox(QStringLiteral("Dispositivo"), this);
    DispEd->setObjectName(QStringLiteral("DispEd"));
    DispEd->setAccessibleName(QStringLiteral("Dispositivo"));
    DispEdCinta = makeField<QRadioButton>(DispEd, "DispEdCinta", QStringLiteral("Cinta"));
    DispEdCinta->setText(QStringLiteral("Cinta"));
    DispEdBicicleta =
        makeField<QRadioButton>(DispEd, "DispEdBicicleta", QStringLiteral("Bicicleta"));
    DispEdBicicleta->setText(QStringLiteral("Bicicleta"));
    m_dispGroup = new QButtonGroup(this);
    m_dispGroup->addButton(DispEdCinta, Device::Cinta);
    m_dispGroup->addButton(DispEdBicicleta, Device::Bicicleta);
    auto* dispLayout = new QHBoxLayout(DispEd);
    dispLayout->addWidget(DispEdCinta);
    dispLayout->addWidget(DispEdBicicleta);

    auto* stagePanel = new QFrame(this);
    stagePanel->setObjectName(QStringLiteral("EtapaPanel"));
    stagePanel->setFrameShape(QFrame::StyledPanel);
    CargaEd = makeField<QLineEdit>(stagePanel, "CargaEd", QStringLiteral("Carga:"));
    CargaEd->setInputMask(kCargaPicture);
    CargaLbl = makeLabel(stagePanel, "CargaLbl", QStringLiteral("Carga:"), CargaEd);
    PendEd = makeField<QLineEdit>(stagePanel, "PendEd", QStringLiteral("Pendiente:"));
    PendEd->setInputMask(kPendPicture);
    PendLbl = makeLabel(stagePanel, "PendLbl", QStringLiteral("Pendiente:"), PendEd);
    VelEd = makeField<QLineEdit>(stagePanel, "VelEd", QStringLiteral("Velocidad:"));
    VelEd->setInputMask(kVelPicture);
    VelLbl = makeLabel(stagePanel, "VelLbl", QStringLiteral("Velocidad:"), VelEd);
    TipoEtapaEd = makeField<QComboBox>(stagePanel, "TipoEtapaEd", QStringLiteral("Tipo de Etapa:"));
    TipoEtapaEd->addItems({stageTypeName(StageType::Basal), stageTypeName(StageType::Ejercicio),
                           stageTypeName(StageType::Recuperacion)});
    TipoEtapaLbl =
        makeLabel(stagePanel, "TipoEtapaLbl", QStringLiteral("Tipo de Etapa:"), TipoEtapaEd);
    TiempoEd = makeField<QLineEdit>(stagePanel, "TiempoEd", QStringLiteral("Tiempo:"));
    TiempoEd->setInputMask(QStringLiteral("00:00"));
    TiempoLbl = makeLabel(stagePanel, "TiempoLbl", QStringLiteral("Tiempo:"), TiempoEd);
    for (QLineEdit* e : {CargaEd, PendEd, VelEd, TiempoEd})
        e->setMaximumWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("00000.00")) + 12);

    SelEtapa = makeField<QTabBar>(this, "SelEtapa", QStringLiteral("Etapas"));
    SelEtapa->setShape(QTabBar::RoundedSouth);
    SelEtapa->setExpanding(false);
    SelEtapa->setUsesScrollButtons(true);
    SelEtapa->setFocusPolicy(Qt::StrongFocus);

    auto* stageFields = new QGridLayout(stagePanel);
    stageFields->addWidget(PendLbl, 0, 0);
    stageFields->addWidget(PendEd, 0, 1);
    stageFields->addWidget(VelLbl, 1, 0);
    stageFields->addWidget(VelEd, 1, 1);
    stageFields->addWidget(CargaLbl, 2, 0);
    stageFields->addWidget(CargaEd, 2, 1);
    stageFields->addWidget(TipoEtapaLbl, 0, 2);
    stageFields->addWidget(TipoEtapaEd, 0, 3);
    stageFields->addWidget(TiempoLbl, 1, 2);
    stageFields->addWidget(TiempoEd, 1, 3);
    stageFields->setColumnStretch(1, 1);
    stageFields->setColumnStretch(3, 1);

    GuardaBut = makeButton(this, "GuardaBut", QStringLiteral("Guardar"));
    OKBut = makeButton(this, "OKBut", QStringLiteral("OK"));
    OKBut->setDefault(true);
    CancelBut = makeButton(this, "CancelBut", QStringLiteral("Cancel"));

    auto* header = new QGridLayout;
    header->addWidget(NombreLbl, 0, 0);
    header->addWidget(NombreEd, 0, 1);
    header->addWidget(CantEtapaLbl, 1, 0);
    header->addWidget(CantEtapaEd, 1, 1);
    header->addWidget(DispEd, 0, 2, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(GuardaBut);
    buttons->addWidget(OKBut);
    buttons->addWidget(CancelBut);
    auto* all = new QVBoxLayout(this);
    all->addLayout(header);
    all->addWidget(stagePanel);
    all->addWidget(SelEtapa);
    all->addLayout(buttons);

    setTabOrder(NombreEd, CantEtapaEd);
    setTabOrder(CantEtapaEd, DispEdCinta);
    setTabOrder(DispEdCinta, DispEdBicicleta);
    setTabOrder(DispEdBicicleta, PendEd);
    setTabOrder(PendEd, VelEd);
    setTabOrder(VelEd, CargaEd);
    setTabOrder(CargaEd, TipoEtapaEd);
    setTabOrder(TipoEtapaEd, TiempoEd);
    setTabOrder(TiempoEd, SelEtapa);
    setTabOrder(SelEtapa, GuardaBut);
    setTabOrder(GuardaBut, OKBut);
    setTabOrder(OKBut, CancelBut);

    CargaEd->installEventFilter(this);
    PendEd->installEventFilter(this);
    SelEtapa->installEventFilter(this);
    connect(CantEtapaEd, &QComboBox::editTextChanged, this, &TNProtoFrm::CantEtapaEdChange);
    connect(m_dispGroup, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            DispEdClick(id);
    });
    connect(SelEtapa, &QTabBar::currentChanged, this, &TNProtoFrm::SelEtapaChange);
    connect(GuardaBut, &QPushButton::clicked, this, &TNProtoFrm::GuardaButClick);
    connect(OKBut, &QPushButton::clicked, this, &TNProtoFrm::OKButClick);
    connect(CancelBut, &QPushButton::clicked, this, &TNProtoFrm::CancelButClick);
}

bool TNProtoFrm::EditProtocol(ProtocolRecord& record, const QDir& workDir)
{
    m_workDir = workDir;
    initialise();
    exec();
    if (m_cancelled)
        return false;
    record = m_record;
    return true;
}

void TNProtoFrm::initialise()
{
    m_record = ProtocolRecord::cleared();
    m_editedStage = 0;
    m_cancelled = false;

    NombreEd->clear();
    {
        const QSignalBlocker blockCount(CantEtapaEd);
        CantEtapaEd->clear();
        for (int i = 1; i <= kMaxStages; ++i)
            CantEtapaEd->addItem(QString::number(i));
        CantEtapaEd->setCurrentIndex(-1);
        CantEtapaEd->setEditText(QString::number(m_record.stageCount));
    }
    {
        const QSignalBlocker blockTabs(SelEtapa);
        while (SelEtapa->count() > 0)
            SelEtapa->removeTab(0);
    }
    // An exclusive group never lets the last checked button go.
    m_dispGroup->setExclusive(false);
    DispEdCinta->setChecked(false);
    DispEdBicicleta->setChecked(false);
    m_dispGroup->setExclusive(true);
    setDeviceFields(Device::None);

    CargaEd->setText(formatPicture(0.0, kCargaPicture));
    PendEd->setText(formatPicture(0.0, kPendPicture));
    VelEd->setText(formatPicture(0.0, kVelPicture));
    TipoEtapaEd->setCurrentIndex(-1);
    TiempoEd->clear();
    NombreEd->setFocus();
}

void TNProtoFrm::setDeviceFields(int device)
{
    const bool treadmill = device == Device::Cinta;
    const bool bicycle = device == Device::Bicicleta;
    for (QWidget* w : std::initializer_list<QWidget*>{PendLbl, PendEd, VelLbl, VelEd})
        w->setEnabled(treadmill);
    CargaLbl->setEnabled(bicycle);
    CargaEd->setEnabled(bicycle);
}

void TNProtoFrm::DispEdClick(int device)
{
    m_record.device = device;
    setDeviceFields(device);
}

void TNProtoFrm::StoreEditedStage(int n)
{
    if (n == 0)
        return;
    // Each value lands before the next is converted, so a bad field keeps the earlier ones.
    StageEntry& s = m_record.stage(n);
    s.number = static_cast<std::uint8_t>(n);
    s.load = static_cast<float>(toDecimal(CargaEd->displayText()));
    s.speed = static_cast<float>(toDecimal(VelEd->displayText()));
    s.slope = static_cast<float>(toDecimal(PendEd->displayText()));
    s.duration = parseStageTime(TiempoEd->displayText());
    s.type = TipoEtapaEd->currentIndex();
}

void TNProtoFrm::ShowEditedStage(int n)
{
    if (n == 0)
        return;
    const StageEntry& s = m_record.stage(n);
    CargaEd->setText(formatPicture(s.load, kCargaPicture));
    VelEd->setText(formatPicture(s.speed, kVelPicture));
    PendEd->setText(formatPicture(s.slope, kPendPicture));
    TiempoEd->setText(formatStageTime(s.duration));
    const bool known = s.type >= 0 && s.type < TipoEtapaEd->count();
    TipoEtapaEd->setCurrentIndex(known ? s.type : -1);
}

void TNProtoFrm::SelEtapaChange(int index)
{
    try {
        StoreEditedStage(m_editedStage);
    } catch (const ConversionError& e) {
        // The fields still hold the stage that failed, so its tab stays selected.
        const QSignalBlocker blockTabs(SelEtapa);
        SelEtapa->setCurrentIndex(m_editedStage - 1);
        m_messages.error(this, e.text);
        return;
    }
    m_editedStage = index + 1;
    ShowEditedStage(m_editedStage);
}

void TNProtoFrm::CantEtapaEdChange()
{
    try {
        double typed = 0.0;
        if (parseDecimal(CantEtapaEd->currentText(), typed) && typed > kMaxStages) {
            const QSignalBlocker blockCount(CantEtapaEd);
            CantEtapaEd->setEditText(QString::number(kMaxStages));
        }
        {
            const QSignalBlocker blockTabs(SelEtapa);
            while (SelEtapa->count() > 0)
                SelEtapa->removeTab(0);
            const int n = toInteger(CantEtapaEd->currentText());
            for (int i = 1; i <= n; ++i)
                SelEtapa->addTab(QStringLiteral("%1º Etapa").arg(i));
            // A negative count creates no tabs and must not wrap round in the stored byte.
            m_record.stageCount = static_cast<std::uint8_t>(std::clamp(n, 0, kMaxStages));
            if (n > 0)
                SelEtapa->setCurrentIndex(0);
        }
        // Whatever the shown stage held since it was last stored is dropped here.
        m_editedStage = 1;
        ShowEditedStage(m_editedStage);
    } catch (const ConversionError& e) {
        m_messages.error(this, e.text);
    }
}

void TNProtoFrm::ReadHeader()
{
    m_record.name = NombreEd->text().left(kProtocolNameChars);
    const int count = toInteger(CantEtapaEd->currentText());
    m_record.stageCount = static_cast<std::uint8_t>(std::clamp(count, 0, kMaxStages));
    m_record.device = m_dispGroup->checkedId();
}

bool TNProtoFrm::storeForClosing()
{
    try {
        StoreEditedStage(m_editedStage);
        ReadHeader();
    } catch (const ConversionError& e) {
        m_messages.error(this, e.text);
        return false;
    }
    // A name of blanks only is no name either.
    if (m_record.name.trimmed().isEmpty()) {
        m_messages.warning(this, QStringLiteral("Debe ingresar el nombre del protocolo"));
        return false;
    }
    return true;
}

bool TNProtoFrm::saveFile()
{
    const QString problem = protocolNameProblem(m_record.name);
    if (!problem.isEmpty()) {
        m_messages.warning(this, problem);
        NombreEd->setFocus();
        return false;
    }
    try {
        saveProtocolFile(m_workDir, m_record);
    } catch (const FileError& e) {
        m_messages.error(this, e.message());
        return false;
    }
    return true;
}

void TNProtoFrm::GuardaButClick()
{
    if (storeForClosing())
        saveFile();
}

void TNProtoFrm::OKButClick()
{
    if (!storeForClosing())
        return;
    // A file that could not be written keeps the editor open with the work in it.
    if (m_messages.confirm(this, QStringLiteral("Desea guardar el protocolo?")) && !saveFile())
        return;
    accept();
}

void TNProtoFrm::CancelButClick()
{
    reject();
}

void TNProtoFrm::reject()
{
    // Escape and closing the window cancel like the button.
    m_cancelled = true;
    QDialog::reject();
}

void TNProtoFrm::leaveValueField(QLineEdit* field, double limit, const QString& limitText)
{
    double v = 0.0;
    if (!parseDecimal(field->displayText(), v)) {
        // Refocusing inside the focus change itself would fight it; do it right after.
        QMetaObject::invokeMethod(
            field, [field] { field->setFocus(); }, Qt::QueuedConnection);
        return;
    }
    if (v > limit)
        field->setText(limitText);
}

bool TNProtoFrm::eventFilter(QObject* watched, QEvent* e)
{
    // The tab bar would switch on the press before taking the focus; taking it first lets the
    // field being left run its check before the stage is stored.
    if (watched == SelEtapa && e->type() == QEvent::MouseButtonPress)
        SelEtapa->setFocus(Qt::MouseFocusReason);
    if (e->type() == QEvent::FocusOut && (watched == CargaEd || watched == PendEd)) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(e)->reason();
        // Leaving the window or opening a context menu is not leaving the field.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (watched == CargaEd)
                leaveValueField(CargaEd, kMaxLoad, formatPicture(kMaxLoad, kCargaPicture));
            else
                leaveValueField(PendEd, kMaxSlope, formatPicture(kMaxSlope, kPendPicture));
        }
    }
    return QDialog::eventFilter(watched, e);
}

} // namespace esf
