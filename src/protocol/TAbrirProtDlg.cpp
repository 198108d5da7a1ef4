#include "protocol/TAbrirProtDlg.h"

#include "common/FileError.h"
#include "common/FileNames.h"
#include "protocol/ProtocolRecord.h"
#include "protocol/TVerProtoFrm.h"

#include "app/ZirodIni.h"
#include "widgets/Controls.h"

#include <QFile>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace esf {
namespace {

const QString kCorruptMark = QStringLiteral("[Archivo Corrupto] ");

} // namespace

TAbrirProtDlg::TAbrirProtDlg(MessageBoxes& messages, TVerProtoFrm& viewer, QWidget* parent)
    : QDialog(parent), m_messages(messages), m_viewer(viewer)
{
    setObjectName(QStringLiteral("TAbrirProtDlg"));
    setWindowTitle(QStringLiteral("Abrir Protocolo"));

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setAccessibleName(QStringLiteral("Protocolos"));
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    // The file names, index for index with the visible names; never shown.
    ListBox2 = new QListWidget(this);
    ListBox2->setObjectName(QStringLiteral("ListBox2"));
    ListBox2->hide();

    OKBut = makeButton(this, "OKBut", QStringLiteral("OK"));
    OKBut->setDefault(true);
    CancelBut = makeButton(this, "CancelBut", QStringLiteral("Cancel"));
    VerBut = makeButton(this, "VerBut", QStringLiteral("Ver"));
    BorrarBut = makeButton(this, "BorrarBut", QStringLiteral("Borrar"));

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(OKBut);
    buttons->addWidget(CancelBut);
    buttons->addSpacing(12);
    buttons->addWidget(VerBut);
    buttons->addWidget(BorrarBut);
    buttons->addStretch();
    auto* all = new QHBoxLayout(this);
    all->addWidget(ListBox1, 1);
    all->addWidget(ListBox2);
    all->addLayout(buttons);

    connect(OKBut, &QPushButton::clicked, this, &TAbrirProtDlg::OKButClick);
    connect(CancelBut, &QPushButton::clicked, this, &QDialog::reject);
    connect(VerBut, &QPushButton::clicked, this, &TAbrirProtDlg::VerButClick);
    connect(BorrarBut, &QPushButton::clicked, this, &TAbrirProtDlg::BorrarButClick);
}

bool TAbrirProtDlg::ChooseProtocol(const QDir& workDir, QString& chosenFile, const UnitTexts& units)
{
    m_workDir = workDir;
    m_units = units;
    m_chosen = false;
    m_chosenName.clear();
    fillLists();
    ListBox1->setFocus();
    exec();
    chosenFile = m_chosen ? m_chosenName : QString();
    return m_chosen;
}

void TAbrirProtDlg::fillLists()
{
    ListBox1->clear();
    ListBox2->clear();
    for (const QString& fileName : listMatching(m_workDir, QStringLiteral("*.PRO"))) {
        QString shown;
        try {
            shown = loadProtocolFile(m_workDir.filePath(fileName)).name;
        } catch (const FileError&) {
            // Listed all the same, so the user sees it and can delete it.
            shown = kCorruptMark + fileName;
        }
        ListBox1->addItem(shown);
        ListBox2->addItem(fileName);
    }
}

int TAbrirProtDlg::selectedIndex() const
{
    const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
    return selected.isEmpty() ? -1 : ListBox1->row(selected.first());
}

void TAbrirProtDlg::OKButClick()
{
    const int index = selectedIndex();
    if (index >= 0 && index < ListBox2->count()) {
        const QString fileName = ListBox2->item(index)->text();
        // A file that cannot be read, or whose name the configuration cannot keep, is
        // refused here, so the current protocol is never replaced by nothing.
        try {
            if (fileName.size() > kProtocolFileNameChars)
                throw FileError(fileName, QStringLiteral("apertura"),
                                QStringLiteral("el nombre tiene más de %1 caracteres")
                                    .arg(kProtocolFileNameChars));
            loadProtocolFile(m_workDir.filePath(fileName));
        } catch (const FileError& e) {
            m_messages.error(this, e.message());
            return;
        }
        m_chosenName = fileName;
        m_chosen = true;
    }
    accept();
}

void TAbrirProtDlg::VerButClick()
{
    const int index = selectedIndex();
    if (index < 0 || index >= ListBox2->count())
        return;
    ProtocolRecord record;
    try {
        record = loadProtocolFile(m_workDir.filePath(ListBox2->item(index)->text()));
    } catch (const FileError& e) {
        m_messages.error(this, e.message());
        return;
    }
    m_viewer.ShowProtocol(record, m_units);
}

void TAbrirProtDlg::BorrarButClick()
{
    const int index = selectedIndex();
    if (index < 0 || index >= ListBox2->count())
        return;
    const QString path = resolveCaseInsensitive(m_workDir, ListBox2->item(index)->text());
    QFile file(path);
    if (file.exists() && !file.remove()) {
        m_messages.error(this,
                         FileError(path, QStringLiteral("borrado"), file.errorString()).message());
        return;
    }
    delete ListBox1->takeItem(index);
    delete ListBox2->takeItem(index);
    // Nothing stays selected, so a second press cannot delete the neighbour.
    ListBox1->setCurrentRow(-1);
    ListBox1->clearSelection();
}

} // namespace esf
