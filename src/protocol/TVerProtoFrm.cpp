#include "protocol/TVerProtoFrm.h"

#include "common/NumberFormat.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <vector>

namespace esf {
namespace {

constexpr int kDefaultColumnWidth = 70;
constexpr int kStageColumnWidth = 40;
constexpr int kTypeColumnWidth = 90;
constexpr int kRowHeight = 24;

// One column of the grid: its header and how a stage fills it.
struct Column {
    QString header;
    int width;
    QString (*cell)(const StageEntry&);
};

QString speedCell(const StageEntry& s)
{
    return formatPicture(s.speed, QStringLiteral("##0.0"));
}
QString slopeCell(const StageEntry& s)
{
    return formatPicture(s.slope, QStringLiteral("#0.0"));
}
QString loadCell(const StageEntry& s)
{
    return formatPicture(s.load, QStringLiteral("###0.0"));
}
QString timeCell(const StageEntry& s)
{
    return formatStageTime(s.duration);
}
QString typeCell(const StageEntry& s)
{
    return stageTypeName(s.type);
}

} // namespace

TVerProtoFrm::TVerProtoFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TVerProtoFrm"));

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::Box);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setLineWidth(1);
    ProtoGrid = new QTableWidget(Bevel1);
    ProtoGrid->setObjectName(QStringLiteral("ProtoGrid"));
    ProtoGrid->setAccessibleName(QStringLiteral("Etapas del protocolo"));
    ProtoGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ProtoGrid->verticalHeader()->hide();
    ProtoGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ProtoGrid->verticalHeader()->setDefaultSectionSize(kRowHeight);
    ProtoGrid->horizontalHeader()->setDefaultSectionSize(kDefaultColumnWidth);
    ProtoGrid->horizontalHeader()->setFixedHeight(kRowHeight);
    ProtoGrid->horizontalHeader()->setStretchLastSection(false);
    // The grid sits one pixel inside the bevel, two pixels smaller than it.
    auto* bevelLayout = new QVBoxLayout(Bevel1);
    bevelLayout->setContentsMargins(1, 1, 1, 1);
    bevelLayout->addWidget(ProtoGrid);

    DispLbl = new QLabel(this);
    DispLbl->setObjectName(QStringLiteral("DispLbl"));
    OKBut = new QPushButton(QStringLiteral("OK"), this);
    OKBut->setObjectName(QStringLiteral("OKBut"));
    OKBut->setAccessibleName(QStringLiteral("OK"));
    OKBut->setDefault(true);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(DispLbl);
    bottom->addStretch();
    bottom->addWidget(OKBut);
    auto* all = new QVBoxLayout(this);
    all->addWidget(Bevel1, 1);
    all->addLayout(bottom);

    connect(OKBut, &QPushButton::clicked, this, &QDialog::accept);
}

void TVerProtoFrm::ShowProtocol(const ProtocolRecord& record, const UnitTexts& units)
{
    m_record = record;
    setWindowTitle(m_record.name);
    fillGrid(units);
    exec();
}

void TVerProtoFrm::fillGrid(const UnitTexts& units)
{
    const auto headerWidth = [this](const QString& text) {
        return fontMetrics().horizontalAdvance(text) + 5;
    };
    const auto column = [&](const QString& header, QString (*cell)(const StageEntry&)) {
        return Column{header, headerWidth(header), cell};
    };
    const QString time = QStringLiteral("Tiempo [m:s]");
    const QString type = QStringLiteral("Tipo");

    std::vector<Column> columns{{QStringLiteral("Etapa"), kStageColumnWidth, nullptr}};
    if (m_record.device == Device::Cinta) {
        DispLbl->setText(QStringLiteral("Cinta"));
        columns.push_back(column(QStringLiteral("Velocidad ") + units.speed, speedCell));
        columns.push_back(column(QStringLiteral("Pendiente ") + units.slope, slopeCell));
        columns.push_back(column(time, timeCell));
    } else if (m_record.device == Device::Bicicleta) {
        DispLbl->setText(QStringLiteral("Bicicleta"));
        columns.push_back(column(QStringLiteral("Carga ") + units.load, loadCell));
        columns.push_back(column(time, timeCell));
    } else {
        // No device chosen (or an unknown one in a damaged file): what every stage has.
        DispLbl->setText(QStringLiteral("Sin dispositivo"));
        columns.push_back(column(time, timeCell));
    }
    columns.push_back(Column{type, kTypeColumnWidth, typeCell});

    // Everything of the previous showing goes, so no stale cell survives.
    ProtoGrid->clear();
    const int stageCount = m_record.usableStageCount();
    ProtoGrid->setColumnCount(static_cast<int>(columns.size()));
    ProtoGrid->setRowCount(stageCount);
    int totalWidth = 0;
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        const Column& col = columns[static_cast<std::size_t>(c)];
        ProtoGrid->setHorizontalHeaderItem(c, new QTableWidgetItem(col.header));
        ProtoGrid->setColumnWidth(c, col.width);
        totalWidth += col.width;
    }
    for (int i = 1; i <= stageCount; ++i) {
        const StageEntry& s = m_record.stage(i);
        ProtoGrid->setItem(i - 1, 0, new QTableWidgetItem(QString::number(i)));
        for (int c = 1; c < static_cast<int>(columns.size()); ++c)
            ProtoGrid->setItem(i - 1, c,
                               new QTableWidgetItem(columns[static_cast<std::size_t>(c)].cell(s)));
    }
    DispLbl->setAccessibleName(DispLbl->text());
    // Room for every column and row, so the whole protocol shows without scrolling.
    const int frame = 2 * ProtoGrid->frameWidth();
    ProtoGrid->setMinimumSize(totalWidth + frame, kRowHeight * (stageCount + 1) + frame);
    adjustSize();
}

} // namespace esf
