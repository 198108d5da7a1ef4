#include "report/TOKDatosDlg.h"

#include "common/FileError.h"
#include "common/FileNames.h"

#include "widgets/Controls.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

namespace esf {
namespace {

QLineEdit* makeEdit(QWidget* parent, const char* name, const QString& caption)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setAccessibleName(caption);
    return e;
}

QComboBox* makeUnitBox(QWidget* parent, const char* name, const QString& caption,
                       const QStringList& entries)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(caption);
    box->setEditable(true);
    // Any typed text is a valid unit, but it must not join the entries offered.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(entries);
    box->setCurrentIndex(-1);
    return box;
}

QPixmap warningBadge(int size, qreal ratio)
{
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::yellow);
    p.drawEllipse(QRectF(0.5, 0.5, size - 1, size - 1));
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(size * 2 / 3);
    p.setFont(font);
    p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("!"));
    return pixmap;
}

} // namespace

// Qt separates the patterns of one filter with spaces and the filters with ";;".
const QString TOKDatosDlg::kPictureFilters =
    QStringLiteral("All (*.jpg *.jpeg *.bmp *.ico *.emf *.wmf);;"
                   "JPEG Image File (*.jpg);;JPEG Image File (*.jpeg);;Bitmaps (*.bmp);;"
                   "Icons (*.ico);;Enhanced Metafiles (*.emf);;Metafiles (*.wmf)");

TOKDatosDlg::TOKDatosDlg(MessageBoxes& messages, QWidget* parent)
    : QDialog(parent), pickPicture([](QWidget* owner, const QString& dir, const QString& filters) {
          return QFileDialog::getOpenFileName(owner, QString(), dir, filters);
      }),
      m_messages(messages)
{
    setObjectName(QStringLiteral("TOKDatosDlg"));
    setWindowTitle(QStringLiteral("Datos Generales"));

    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    InstitucionalesTab = new QWidget;
    InstitucionalesTab->setObjectName(QStringLiteral("InstitucionalesTab"));
    UnidadesTab = new QWidget;
    UnidadesTab->setObjectName(QStringLiteral("UnidadesTab"));
    PageControl->addTab(InstitucionalesTab, QStringLiteral("Institucionales"));
    PageControl->addTab(UnidadesTab, QStringLiteral("Unidades"));

    QWidget* inst = InstitucionalesTab;
    InstTxt = makeEdit(inst, "InstTxt", QStringLiteral("Institución:"));
    DirTxt = makeEdit(inst, "DirTxt", QStringLiteral("Dirección:"));
    TelTxt = makeEdit(inst, "TelTxt", QStringLiteral("Teléfono:"));
    // Every digit is optional and an unfilled one stays a blank, so the stored text always
    // has its 13 characters.
    TelTxt->setInputMask(QStringLiteral("(000)00000000; "));
    TelTxt->setMaximumWidth(TelTxt->fontMetrics().horizontalAdvance(QString(16, u'0')) + 12);
    MedicoTxt = makeEdit(inst, "MedicoTxt", QStringLiteral("Médico:"));
    LogoTxt = makeEdit(inst, "LogoTxt", QStringLiteral("Logo:"));
    LogoBut = new QPushButton(QStringLiteral("..."), inst);
    LogoBut->setObjectName(QStringLiteral("LogoBut"));
    LogoBut->setAccessibleName(QStringLiteral("Elegir logo"));
    LogoBut->setToolTip(QStringLiteral("Elegir logo"));
    LogoBut->setFixedWidth(LogoBut->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 16);
    LogoBut->setAutoDefault(false);
    InstLbl = makeLabel(inst, "InstLbl", QStringLiteral("Institución:"), InstTxt);
    DirLbl = makeLabel(inst, "DirLbl", QStringLiteral("Dirección:"), DirTxt);
    TelLbl = makeLabel(inst, "TelLbl", QStringLiteral("Teléfono:"), TelTxt);
    MedicoLbl = makeLabel(inst, "MedicoLbl", QStringLiteral("Médico:"), MedicoTxt);
    LogoLbl = makeLabel(inst, "LogoLbl", QStringLiteral("Logo:"), LogoTxt);
    InstTxt->setMinimumWidth(300);

    auto* instGrid = new QGridLayout(inst);
    instGrid->addWidget(InstLbl, 0, 0);
    instGrid->addWidget(InstTxt, 0, 1, 1, 2);
    instGrid->addWidget(DirLbl, 1, 0);
    instGrid->addWidget(DirTxt, 1, 1, 1, 2);
    instGrid->addWidget(TelLbl, 2, 0);
    instGrid->addWidget(TelTxt, 2, 1, 1, 2);
    instGrid->addWidget(MedicoLbl, 3, 0);
    instGrid->addWidget(MedicoTxt, 3, 1, 1, 2);
    instGrid->addWidget(LogoLbl, 4, 0);
    instGrid->addWidget(LogoTxt, 4, 1);
    instGrid->addWidget(LogoBut, 4, 2);
    instGrid->setRowStretch(5, 1);

    QWidget* units = UnidadesTab;
    CargaUnBox = makeUnitBox(units, "CargaUnBox", QStringLiteral("Carga:"),
                             {QStringLiteral("[Kgm]"), QStringLiteral("[Wats]")});
    PresUnBox =
        makeUnitBox(units, "PresUnBox", QStringLiteral("Presión:"),
                    {QStringLiteral("[mmHg]"), QStringLiteral("[ccH2O]"), QStringLiteral("[Pa]")});
    VelUnBox = makeUnitBox(units, "VelUnBox", QStringLiteral("Velocidad:"),
                           {QStringLiteral("[m/s]"), QStringLiteral("[Km/h]"),
                            QStringLiteral("[Milla/h]"), QStringLiteral("[Pies/Seg]")});
    FrecUnBox = makeUnitBox(units, "FrecUnBox", QStringLiteral("Frecuencia:"),
                            {QStringLiteral("[Lpm]"), QStringLiteral("[l/min]")});
    PendUnBox = makeUnitBox(units, "PendUnBox", QStringLiteral("Pendiente:"),
                            {QStringLiteral("[%]"), QStringLiteral("[Grad]")});
    CargaLbl = makeLabel(units, "CargaLbl", QStringLiteral("Carga:"), CargaUnBox);
    PresLbl = makeLabel(units, "PresLbl", QStringLiteral("Presión:"), PresUnBox);
    VelLbl = makeLabel(units, "VelLbl", QStringLiteral("Velocidad:"), VelUnBox);
    FrecLbl = makeLabel(units, "FrecLbl", QStringLiteral("Frecuencia:"), FrecUnBox);
    PendLbl = makeLabel(units, "PendLbl", QStringLiteral("Pendiente:"), PendUnBox);

    AtencionImg = new QLabel(units);
    AtencionImg->setObjectName(QStringLiteral("AtencionImg"));
    AtencionImg->setAccessibleName(QStringLiteral("!"));
    AtencionImg->setPixmap(warningBadge(32, devicePixelRatioF()));
    AtencionLbl = makeLabel(units, "AtencionLbl", QStringLiteral("¡Atención!"), nullptr);
    QFont heading = AtencionLbl->font();
    heading.setBold(true);
    AtencionLbl->setFont(heading);
    // Choosing other units only relabels what was entered; nothing is converted.
    NotaMemo = new QPlainTextEdit(units);
    NotaMemo->setObjectName(QStringLiteral("NotaMemo"));
    NotaMemo->setAccessibleName(QStringLiteral("¡Atención!"));
    NotaMemo->setReadOnly(true);
    NotaMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    NotaMemo->setFrameShape(QFrame::NoFrame);
    NotaMemo->viewport()->setAutoFillBackground(false);
    NotaMemo->setPlainText(
        QStringList{QStringLiteral("Las unidades "), QStringLiteral("seleccionadas en "),
                    QStringLiteral("este cuadro, serán "), QStringLiteral("asignadas a todos "),
                    QStringLiteral("los valores previamente"), QStringLiteral("ingresados.")}
            .join(QLatin1Char('\n')));
    NotaMemo->setMinimumSize(
        NotaMemo->fontMetrics().horizontalAdvance(QStringLiteral("los valores previamente")) + 16,
        NotaMemo->fontMetrics().lineSpacing() * 6 + 12);

    auto* unitGrid = new QGridLayout;
    const std::pair<QLabel*, QComboBox*> rows[] = {{CargaLbl, CargaUnBox},
                                                   {PresLbl, PresUnBox},
                                                   {VelLbl, VelUnBox},
                                                   {FrecLbl, FrecUnBox},
                                                   {PendLbl, PendUnBox}};
    int row = 0;
    for (const auto& [label, box] : rows) {
        unitGrid->addWidget(label, row, 0);
        unitGrid->addWidget(box, row++, 1);
    }
    unitGrid->setRowStretch(row, 1);
    auto* headingRow = new QHBoxLayout;
    headingRow->addWidget(AtencionImg);
    headingRow->addWidget(AtencionLbl, 1);
    auto* note = new QVBoxLayout;
    note->addLayout(headingRow);
    note->addWidget(NotaMemo, 1);
    auto* unitsLayout = new QHBoxLayout(units);
    unitsLayout->addLayout(unitGrid, 1);
    unitsLayout->addSpacing(12);
    unitsLayout->addLayout(note);

    QHBoxLayout* buttons = makeOkCancelRow(this, OKBtn, CancelBtn);
    auto* all = new QVBoxLayout(this);
    all->addWidget(PageControl);
    all->addLayout(buttons);
    all->setSizeConstraint(QLayout::SetFixedSize);

    connect(OKBtn, &QPushButton::clicked, this, &TOKDatosDlg::OKBtnClick);
    // Escape and the title bar's close button reach reject() too: nothing is written.
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(LogoBut, &QPushButton::clicked, this, &TOKDatosDlg::LogoButClick);
}

bool TOKDatosDlg::EditGeneralData(const QDir& workDir)
{
    m_workDir = workDir;
    FormActivate();
    adjustSize();
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
    // The tab page is left alone: the dialog opens on the one last shown.
    return exec() == QDialog::Accepted;
}

void TOKDatosDlg::FormActivate()
{
    const QString path = resolveCaseInsensitive(m_workDir, kGeneralDataFileName);
    // Without a file the controls keep what they show, typed texts included.
    if (!QFileInfo::exists(path))
        return;
    try {
        showData(readGeneralData(path));
    } catch (const FileError& e) {
        // This runs before the dialog is on screen; the box belongs over it.
        QMetaObject::invokeMethod(
            this, [this, text = e.message()] { m_messages.error(this, text); },
            Qt::QueuedConnection);
    }
}

void TOKDatosDlg::OKBtnClick()
{
    try {
        writeGeneralData(m_workDir.filePath(kGeneralDataFileName), controlTexts());
    } catch (const FileError& e) {
        m_messages.error(this, e.message());
        return;
    }
    accept();
}

void TOKDatosDlg::LogoButClick()
{
    const QString chosen = pickPicture(this, QDir::currentPath(), kPictureFilters);
    if (!chosen.isEmpty())
        LogoTxt->setText(chosen);
}

GeneralData TOKDatosDlg::controlTexts() const
{
    // The telephone keeps its parentheses and blanks, as shown.
    return {InstTxt->text(),           DirTxt->text(),
            TelTxt->displayText(),     MedicoTxt->text(),
            CargaUnBox->currentText(), PresUnBox->currentText(),
            VelUnBox->currentText(),   FrecUnBox->currentText(),
            PendUnBox->currentText(),  LogoTxt->text()};
}

void TOKDatosDlg::showData(const GeneralData& d)
{
    InstTxt->setText(d.institution);
    DirTxt->setText(d.address);
    TelTxt->setText(d.telephone);
    MedicoTxt->setText(d.physician);
    CargaUnBox->setEditText(d.loadUnit);
    PresUnBox->setEditText(d.pressureUnit);
    VelUnBox->setEditText(d.speedUnit);
    FrecUnBox->setEditText(d.rateUnit);
    PendUnBox->setEditText(d.slopeUnit);
    LogoTxt->setText(d.logo);
}

} // namespace esf
