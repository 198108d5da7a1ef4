#include "records/TAbrirPacfrm.h"

#include "common/FileError.h"
#include "common/FileNames.h"

#include "widgets/Controls.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace esf {
namespace {

// Spanish readers expect "Álvarez" beside "alvarez", not after "Zapata".
QString sortKey(const QString& text)
{
    QString key;
    for (QChar c : text.normalized(QString::NormalizationForm_D)) {
        if (c.category() != QChar::Mark_NonSpacing)
            key.append(c);
    }
    return key.toCaseFolded();
}

class PatientItem : public QListWidgetItem {
public:
    PatientItem(const QString& text, const QString& fileName)
        : QListWidgetItem(text), m_key(sortKey(text))
    {
        setData(kPatientFileRole, fileName);
    }
    bool operator<(const QListWidgetItem& other) const override
    {
        const auto& o = static_cast<const PatientItem&>(other);
        const int byKey = m_key.compare(o.m_key);
        return byKey != 0 ? byKey < 0 : text() < o.text();
    }

private:
    QString m_key;
};

} // namespace

QListWidgetItem* makePatientItem(const PatientListing& p)
{
    const PatientData& d = p.header.data;
    const QString text = d.surname + QStringLiteral(", ") + d.firstName +
                         QString(3, QLatin1Char(' ')) + QString::number(p.header.studyCount) +
                         QString(61, QLatin1Char(' ')) + QLatin1Char('@') + p.fileName;
    return new PatientItem(text, p.fileName);
}

TAbrirPacfrm::TAbrirPacfrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TAbrirPacfrm"));
    setWindowTitle(QStringLiteral("Elegir Paciente"));
    resize(330, 300);

    ListPac = new QListWidget(this);
    ListPac->setObjectName(QStringLiteral("ListPac"));
    ListPac->setAccessibleName(QStringLiteral("Apellido, Nombre"));
    ListPac->setSelectionMode(QAbstractItemView::SingleSelection);
    ListPac->setSortingEnabled(true);
    ListPac->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // The file name rides at the end of each line, out of sight as it always was.
    ListPac->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListPac->setTextElideMode(Qt::ElideNone);
    ApellidoLbl = new QLabel(QStringLiteral("Apellido, Nombre"), this);
    ApellidoLbl->setObjectName(QStringLiteral("ApellidoLbl"));
    ApellidoLbl->setBuddy(ListPac);

    QHBoxLayout* buttons = makeOkCancelRow(this, OKBtn, CancelBtn);
    auto* all = new QVBoxLayout(this);
    all->addWidget(ApellidoLbl);
    all->addWidget(ListPac, 1);
    all->addLayout(buttons);

    connect(OKBtn, &QPushButton::clicked, this, &TAbrirPacfrm::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(ListPac, &QListWidget::itemDoubleClicked, this, &TAbrirPacfrm::ListPacDblClick);
}

bool TAbrirPacfrm::ChoosePatient(const QString& caption, const QDir& dir, PatientListing& chosen)
{
    setWindowTitle(caption);
    m_chosen = false;
    m_listingError.clear();
    try {
        fillList(dir);
    } catch (const FileError& e) {
        m_listingError = e.message();
        ListPac->clear();
        return false;
    }
    ListPac->setFocus();
    exec();
    if (m_chosen)
        chosen = m_choice;
    return m_chosen;
}

void TAbrirPacfrm::fillList(const QDir& dir)
{
    m_dir = dir;
    ListPac->clear();
    for (const PatientListing& p : listPatients(dir)) {
        ListPac->addItem(makePatientItem(p));
    }
}

void TAbrirPacfrm::OKBtnClick()
{
    m_chosen = false;
    const QList<QListWidgetItem*> selected = ListPac->selectedItems();
    if (!selected.isEmpty()) {
        // Read again: the line shows what was there when the list was filled, and a
        // damaged file must never become the current patient.
        const QString fileName = selected.first()->data(kPatientFileRole).toString();
        try {
            m_choice.fileName = fileName;
            m_choice.header = readPatientHeader(m_dir.filePath(fileName));
            m_choice.corrupt = false;
            m_chosen = true;
        } catch (const FileError&) {
            m_chosen = false;
        }
    }
    accept();
}

void TAbrirPacfrm::ListPacDblClick(QListWidgetItem* item)
{
    ListPac->setCurrentItem(item);
    OKBtnClick();
}

} // namespace esf
