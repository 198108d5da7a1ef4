#include "records/TAbrirEstfrm.h"

#include "common/FileNames.h"
#include "records/StudyFile.h"

#include "widgets/Controls.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace esf {
namespace {

const QString kDesignCaption = QStringLiteral("Estudios:");

} // namespace

TAbrirEstfrm::TAbrirEstfrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TAbrirEstfrm"));
    setWindowTitle(kDesignCaption);
    resize(313, 214);

    ListEst = new QListWidget(this);
    ListEst->setObjectName(QStringLiteral("ListEst"));
    ListEst->setAccessibleName(kDesignCaption);
    ListEst->setSelectionMode(QAbstractItemView::SingleSelection);
    ListEst->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    QHBoxLayout* buttons = makeOkCancelRow(this, OKBtn, CancelBtn);
    auto* all = new QVBoxLayout(this);
    all->addWidget(ListEst, 1);
    all->addLayout(buttons);

    connect(OKBtn, &QPushButton::clicked, this, &TAbrirEstfrm::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(ListEst, &QListWidget::itemDoubleClicked, this, &TAbrirEstfrm::ListEstDblClick);
}

bool TAbrirEstfrm::ChooseStudy(const QString& patientPath, QString& studyFile, QString& studyDate)
{
    m_chosen = false;
    ListEst->clear();
    const StudyListing listing = listStudies(patientPath);
    // A missing patient file must not leave the previous patient's name in the title.
    setWindowTitle(listing.caption.isEmpty() ? kDesignCaption : listing.caption);
    ListEst->addItems(listing.lines);
    ListArchEst = listing.files;
    ListFecha = listing.dates;
    ListEst->setFocus();
    exec();
    if (m_chosen) {
        studyFile = m_file;
        studyDate = m_date;
    }
    return m_chosen;
}

void TAbrirEstfrm::OKBtnClick()
{
    const QList<QListWidgetItem*> selected = ListEst->selectedItems();
    const int row = selected.isEmpty() ? -1 : ListEst->row(selected.first());
    m_chosen = false;
    if (row >= 0 && row < ListArchEst.size() && row < ListFecha.size()) {
        m_file = ListArchEst.at(row);
        m_date = ListFecha.at(row);
        // A corrupt line has no file; a name from a damaged entry must not reach the disk.
        m_chosen = !m_file.isEmpty() && isPlainFileName(m_file);
    }
    accept();
}

void TAbrirEstfrm::ListEstDblClick(QListWidgetItem* item)
{
    ListEst->setCurrentItem(item);
    OKBtnClick();
}

} // namespace esf
