#include "backup/TCopiarchfrm.h"

#include "common/FileError.h"
#include "common/Rounding.h"
#include "records/TAbrirPacfrm.h"
#include "widgets/Controls.h"
#include "widgets/Services.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

namespace esf {
namespace {

QString withSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString entryFile(const QListWidgetItem* item)
{
    return item->data(kPatientFileRole).toString();
}

// Progress and selection events are not the user's while the list is being rebuilt or
// worked through.
class BusyGuard {
public:
    explicit BusyGuard(bool& busy) : m_busy(busy), m_was(busy) { m_busy = true; }
    ~BusyGuard() { m_busy = m_was; }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    bool& m_busy;
    bool m_was;
};

} // namespace

TCopiarchfrm::TCopiarchfrm(MessageBoxes& messages, FileDialogs& files, QWidget* parent)
    : QDialog(parent), m_messages(messages), m_files(files),
      m_writer(std::make_shared<CopyWriter>())
{
    setObjectName(QStringLiteral("TCopiarchfrm"));
    setWindowTitle(QStringLiteral("Copia de Seguridad"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    resize(330, 440);

    ListBox1 = makeField<QListWidget>(this, "ListBox1", QStringLiteral("Apellido, Nombre"));
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox1->setSortingEnabled(true);
    // The file name rides at the end of each line, out of sight.
    ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBox1->setTextElideMode(Qt::ElideNone);
    ApellidoLbl = makeLabel(this, "ApellidoLbl", QStringLiteral("Apellido, Nombre"), ListBox1);
    SelecTxt = makeLabel(this, "SelecTxt", QString());
    SelecTxt->setAccessibleName(QStringLiteral("Selección"));
    ProgBar = makeField<QProgressBar>(this, "ProgBar", QStringLiteral("Copiando..."));
    ProgBar->setRange(0, 100);
    CopiandoLbl = makeLabel(this, "CopiandoLbl", QStringLiteral("Copiando..."), ProgBar);
    CopiadosTxt = makeLabel(this, "CopiadosTxt", QString());
    CopiadosTxt->setAccessibleName(QStringLiteral("Copiados"));
    CopiarRb = makeField<QRadioButton>(this, "CopiarRb", QStringLiteral("Copiar"));
    CopiarRb->setText(QStringLiteral("Copiar"));
    MoverRb = makeField<QRadioButton>(this, "MoverRb", QStringLiteral("Mover"));
    MoverRb->setText(QStringLiteral("Mover"));
    auto* mode = new QButtonGroup(this);
    mode->addButton(CopiarRb);
    mode->addButton(MoverRb);
    DirTxt = makeLabel(this, "DirTxt", QString());
    DirTxt->setAccessibleName(QStringLiteral("Carpeta de la copia"));
    DirTxt->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ExamBtn = makeButton(this, "ExamBtn", QStringLiteral("Examinar..."));
    ComenzarBtn = makeButton(this, "ComenzarBtn", QStringLiteral("Comenzar"));
    ComenzarBtn->setDefault(true);
    SalirBtn = makeButton(this, "SalirBtn", QStringLiteral("&Salir"));

    auto* modeRow = new QHBoxLayout;
    modeRow->addWidget(CopiarRb);
    modeRow->addWidget(MoverRb);
    modeRow->addStretch();
    auto* dirRow = new QHBoxLayout;
    dirRow->addWidget(DirTxt, 1);
    dirRow->addWidget(ExamBtn);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ComenzarBtn);
    buttons->addWidget(SalirBtn);
    auto* all = new QVBoxLayout(this);
    all->addWidget(ApellidoLbl);
    all->addWidget(ListBox1, 1);
    all->addWidget(SelecTxt);
    all->addWidget(CopiandoLbl);
    all->addWidget(ProgBar);
    all->addWidget(CopiadosTxt);
    all->addLayout(modeRow);
    all->addLayout(dirRow);
    all->addLayout(buttons);

    connect(ListBox1, &QListWidget::itemSelectionChanged, this, &TCopiarchfrm::ListBox1Click);
    connect(ExamBtn, &QPushButton::clicked, this, &TCopiarchfrm::ExamBtnClick);
    connect(ComenzarBtn, &QPushButton::clicked, this, &TCopiarchfrm::ComenzarBtnClick);
    connect(SalirBtn, &QPushButton::clicked, this, &QDialog::accept);
}

void TCopiarchfrm::ShowBackup(const QDir& work, QString& backupDir, const QString& openPatient)
{
    m_work = work;
    m_backupDir = withSlash(backupDir);
    m_openPatient = openPatient;
    CopiadosTxt->clear();
    SelecTxt->clear();
    DirTxt->setText(m_backupDir);
    CopiarRb->setChecked(true);
    ProgBar->setValue(0);
    m_selectedBytes = 0;
    FillPatientList();
    ListBox1->setFocus();
    exec();
    backupDir = m_backupDir;
}

void TCopiarchfrm::FillPatientList()
{
    const BusyGuard busy(m_busy);
    ListBox1->clear();
    try {
        for (const PatientListing& p : listPatients(m_work))
            ListBox1->addItem(makePatientItem(p));
    } catch (const FileError& e) {
        m_messages.error(this, e.message());
    }
}

void TCopiarchfrm::ListBox1Click()
{
    if (m_busy)
        return;
    updateSummary();
    CopiadosTxt->clear();
}

void TCopiarchfrm::updateSummary()
{
    ProgBar->setValue(0);
    int patients = 0;
    int studies = 0;
    qint64 bytes = 0;
    for (const QListWidgetItem* item : ListBox1->selectedItems()) {
        const PatientFileSet set = patientFileSet(m_work, entryFile(item), false);
        ++patients;
        studies += set.studies;
        bytes += set.bytes;
    }
    m_selectedBytes = bytes;
    SelecTxt->setText(QStringLiteral("%1 estudios en %2 pacientes seleccionados, con %3 bytes")
                          .arg(studies)
                          .arg(patients)
                          .arg(bytes));
}

void TCopiarchfrm::advance(qint64 fileBytes)
{
    if (m_selectedBytes <= 0)
        return;
    const qint64 step = roundHalfEvenRatio(fileBytes * 100, m_selectedBytes);
    ProgBar->setValue(int(std::min<qint64>(100, ProgBar->value() + step)));
    ProgBar->repaint();
}

void TCopiarchfrm::warn(const QString& text)
{
    m_messages.warning(this, text);
}

void TCopiarchfrm::ExamBtnClick()
{
    const QString chosen =
        m_files.directory(this, QStringLiteral("Carpeta de la Copia de Seguridad"), m_backupDir);
    if (chosen.isEmpty())
        return;
    m_backupDir = withSlash(chosen);
    DirTxt->setText(m_backupDir);
}

void TCopiarchfrm::ComenzarBtnClick()
{
    if (sameFolder(m_work.path(), m_backupDir)) {
        warn(kSameFolderText);
        return;
    }
    const bool move = MoverRb->isChecked();
    QList<QListWidgetItem*> chosen;
    for (int i = 0; i < ListBox1->count(); ++i) {
        if (ListBox1->item(i)->isSelected())
            chosen.append(ListBox1->item(i));
    }
    {
        const BusyGuard busy(m_busy);
        const QDir backup(m_backupDir);
        int handled = 0;
        try {
            for (QListWidgetItem* item : std::as_const(chosen)) {
                const QString file = entryFile(item);
                ++handled;
                if (move && file.compare(m_openPatient, Qt::CaseInsensitive) == 0) {
                    warn(QStringLiteral("Los archivos del paciente selecionado están en uso, "
                                        "debe cerrarlo para moverlos"));
                } else if (patientFilesSize(m_work, file) < freeSpace(m_backupDir)) {
                    backupPatient(m_work, backup, file, move ? BackupMode::Move : BackupMode::Copy,
                                  *m_writer, [this](qint64 b) { advance(b); });
                    // Deselected once it is safely copied, so a second start copies the rest.
                    if (!move)
                        item->setSelected(false);
                } else {
                    warn(kNoSpaceText);
                }
                CopiadosTxt->setText(QStringLiteral("Copiados %1 pacientes de %2 seleccionados")
                                         .arg(handled)
                                         .arg(chosen.size()));
                repaint();
            }
        } catch (const FileError& e) {
            m_messages.error(this, e.message());
        }
        if (move)
            FillPatientList();
    }
    // What is left selected; the count of what was done stays in view.
    updateSummary();
}

} // namespace esf
