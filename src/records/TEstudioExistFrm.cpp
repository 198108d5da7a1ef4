#include "records/TEstudioExistFrm.h"

#include "common/FileError.h"
#include "common/FileNames.h"
#include "common/Rounding.h"
#include "protocol/MaxHeartRate.h"
#include "records/StudyCharts.h"
#include "records/StudyFile.h"
#include "report/EdfExport.h"
#include "widgets/Controls.h"
#include "widgets/Services.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

namespace esf {
namespace {

constexpr int kNavBarHeight = 41;
constexpr int kNavButtonSide = 25;
constexpr int kEditWidth = 48;
constexpr int kInset = 3;
const QString kNoFlagHint =
    QStringLiteral("Sólo los registros 1 a 50 pueden marcarse para imprimir");

QLabel* valueText(QWidget* parent, const char* name, const QString& caption)
{
    QLabel* l = makeLabel(parent, name, QStringLiteral("---"));
    l->setAccessibleName(caption);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

QLineEdit* valueEdit(QWidget* parent, const char* name, const QString& caption)
{
    auto* e = makeField<QLineEdit>(parent, name, caption);
    e->setMaxLength(6);
    e->setAlignment(Qt::AlignRight);
    return e;
}

void boldLabel(QLabel* l)
{
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
}

} // namespace

TEstudioExistFrm::TEstudioExistFrm(MessageBoxes& messages, std::function<QDate()> today,
                                   QWidget* parent)
    : QDialog(parent), m_messages(messages), m_today(std::move(today))
{
    setObjectName(QStringLiteral("TEstudioExistFrm"));
    setWindowTitle(QStringLiteral("Estudio"));
    setModal(true);

    ProtoBrd = new QFrame(this);
    ProtoBrd->setObjectName(QStringLiteral("ProtoBrd"));
    ProtoBrd->setFrameStyle(QFrame::Box | QFrame::Sunken);
    ProtoBrd->setAutoFillBackground(true);
    ProtoNomlbl = makeLabel(ProtoBrd, "ProtoNomlbl", QStringLiteral("Protocolo: "));
    boldLabel(ProtoNomlbl);
    EtapaNumLbl = makeLabel(ProtoBrd, "EtapaNumLbl", QString());
    TpoParcialLbl = makeLabel(ProtoBrd, "TpoParcialLbl", QStringLiteral("Tpo. Parcial: "));
    PresSistEd = valueEdit(ProtoBrd, "PresSistEd", QStringLiteral("Pres. Sistólica"));
    PresSistLbl =
        makeLabel(ProtoBrd, "PresSistLbl", QStringLiteral("Pres. Sistólica: "), PresSistEd);
    PresDiastEd = valueEdit(ProtoBrd, "PresDiastEd", QStringLiteral("Pres. Diastólica"));
    PresDiastLbl =
        makeLabel(ProtoBrd, "PresDiastLbl", QStringLiteral("Pres. Diastólica: "), PresDiastEd);
    FreCarEd = valueEdit(ProtoBrd, "FreCarEd", QStringLiteral("Frec. Cardíaca"));
    FreCarLbl = makeLabel(ProtoBrd, "FreCarLbl", QStringLiteral("Frec. Cardíaca: "), FreCarEd);
    AngorChk = makeField<QCheckBox>(ProtoBrd, "AngorChk", QStringLiteral("Angor?"));
    AngorLbl = makeLabel(ProtoBrd, "AngorLbl", QStringLiteral("Angor?"));
    DemandLbl = makeLabel(ProtoBrd, "DemandLbl", QStringLiteral("Tipo: Automático"));
    ITTLbl = makeLabel(ProtoBrd, "ITTLbl", QStringLiteral("ITT: "));
    STD2Lbl = makeLabel(ProtoBrd, "STD2Lbl", QStringLiteral("S-T D2"));
    STV2Lbl = makeLabel(ProtoBrd, "STV2Lbl", QStringLiteral("S-T V2"));
    STV5Lbl = makeLabel(ProtoBrd, "STV5Lbl", QStringLiteral("S-T V5"));
    STD2txt = valueText(ProtoBrd, "STD2txt", QStringLiteral("S-T D2"));
    STV2txt = valueText(ProtoBrd, "STV2txt", QStringLiteral("S-T V2"));
    STV5txt = valueText(ProtoBrd, "STV5txt", QStringLiteral("S-T V5"));
    CorregBut = makeButton(ProtoBrd, "CorregBut", QStringLiteral("Corregir"));

    ImprimirBrd = new QFrame(this);
    ImprimirBrd->setObjectName(QStringLiteral("ImprimirBrd"));
    ImprimirBrd->setFrameStyle(QFrame::Box | QFrame::Sunken);
    ImprimirBrd->setAutoFillBackground(true);
    ImprimirChk = makeField<QCheckBox>(ImprimirBrd, "ImprimirChk", QStringLiteral("Imprimir"));
    ImprimirChk->setText(QStringLiteral("Imprimir"));
    NhojasLb = makeLabel(ImprimirBrd, "NhojasLb", printPagesText(1));

    ProtoAvReBrd = new QFrame(this);
    ProtoAvReBrd->setObjectName(QStringLiteral("ProtoAvReBrd"));
    ProtoAvReBrd->setFrameStyle(QFrame::Panel | QFrame::Raised);
    ProtoAvReBrd->setAutoFillBackground(true);
    RetroEtapaBut =
        makeField<QToolButton>(ProtoAvReBrd, "RetroEtapaBut", QStringLiteral("Registro anterior"));
    RetroEtapaBut->setArrowType(Qt::LeftArrow);
    AvanzaEtapaBut = makeField<QToolButton>(ProtoAvReBrd, "AvanzaEtapaBut",
                                            QStringLiteral("Registro siguiente"));
    AvanzaEtapaBut->setArrowType(Qt::RightArrow);
    for (QToolButton* b : {RetroEtapaBut, AvanzaEtapaBut}) {
        b->setToolTip(b->accessibleName());
        b->resize(kNavButtonSide, kNavButtonSide);
    }

    FrecMaxLbl = makeLabel(this, "FrecMaxLbl", QStringLiteral("Frec. Máxima: "));
    FrecSMaxLBL = makeLabel(this, "FrecSMaxLBL", QStringLiteral("Frec. Sub Máxima: "));
    boldLabel(FrecMaxLbl);
    boldLabel(FrecSMaxLBL);

    // Only a border: the strips are painted on the window beneath it.
    EcgBrd = new QFrame(this);
    EcgBrd->setObjectName(QStringLiteral("EcgBrd"));
    EcgBrd->setFrameStyle(QFrame::Box | QFrame::Plain);
    EcgBrd->setLineWidth(1);
    EcgBrd->setAttribute(Qt::WA_TransparentForMouseEvents);

    OkBut = makeButton(this, "OkBut", QStringLiteral("OK"));
    OkBut->setDefault(true);

    connect(OkBut, &QPushButton::clicked, this, &QDialog::accept);
    connect(AvanzaEtapaBut, &QToolButton::clicked, this, &TEstudioExistFrm::AvanzaEtapaButClick);
    connect(RetroEtapaBut, &QToolButton::clicked, this, &TEstudioExistFrm::RetroEtapaButClick);
    connect(CorregBut, &QPushButton::clicked, this, &TEstudioExistFrm::CorregButClick);
    connect(ImprimirChk, &QCheckBox::toggled, this, &TEstudioExistFrm::ImprimirChkClick);
    connect(PresSistEd, &QLineEdit::textEdited, this,
            [this] { limitEdit(PresSistEd, kReviewMaxSystolic); });
    connect(PresDiastEd, &QLineEdit::textEdited, this,
            [this] { limitEdit(PresDiastEd, kReviewMaxSystolic); });
    connect(FreCarEd, &QLineEdit::textEdited, this,
            [this] { limitEdit(FreCarEd, kReviewMaxHeartRate); });
    for (QWidget* w : std::initializer_list<QWidget*>{PresSistEd, PresDiastEd, FreCarEd, AngorChk})
        w->installEventFilter(this);
}

TEstudioExistFrm::~TEstudioExistFrm() = default;

void TEstudioExistFrm::setRateFormula(int formula, int userMaxHR)
{
    m_formula = formula;
    m_userMaxHR = userMaxHR;
}

void TEstudioExistFrm::setUnits(const UnitTexts& units)
{
    m_units = units;
}

int TEstudioExistFrm::OpenStudyReview(const PatientData& patient, const QString& version,
                                      const QString& date,
                                      std::bitset<kPrintSelectionSize>& printSelection,
                                      const QString& fileName, const QString& folder)
{
    m_version = version.left(100);
    m_patient = patient;
    m_fileName = fileName.left(12);
    m_folder = folder;
    m_date = date;
    QString caption = (QStringLiteral("Estudio de archivo: ") + m_fileName).left(50);
    caption = (caption + QStringLiteral(", ") + patient.firstName).left(82);
    caption = (caption + QStringLiteral("  ")).left(84) + date;
    setWindowTitle(caption);
    m_review.printFlags = printSelection;
    FormActivate();
    exec();
    printSelection = m_review.printFlags;
    return ReviewError;
}

void TEstudioExistFrm::FormActivate()
{
    if (const QScreen* s = screen()) {
        const QRect area = s->geometry();
        resize(area.size());
        move(area.center() - rect().center());
    }
    placeControls();

    ReviewAge = reviewAge(m_patient.birthDate, m_today());
    const HeartRateLimits limits =
        maxHeartRate(ReviewAge, m_patient.sex != 0 ? 0 : 1, m_formula, m_userMaxHR);
    ReviewMaxHR = limits.maxHR;
    ReviewSubMaxHR = limits.subMaxHR;
    FrecMaxLbl->setText(QStringLiteral("Frec. Máxima: ") + QString::number(ReviewMaxHR));
    FrecSMaxLBL->setText(QStringLiteral("Frec. Sub Máxima: ") + QString::number(ReviewSubMaxHR));
    FrecMaxLbl->adjustSize();
    FrecSMaxLBL->adjustSize();
    CorregBut->setEnabled(false);

    // A name from a damaged patient file never leaves the folder it was found in.
    bool read = false;
    if (isPlainFileName(m_fileName)) {
        read = m_review.open(QDir(m_folder).filePath(m_fileName), m_version);
    } else {
        const std::bitset<kPrintSelectionSize> flags = m_review.printFlags;
        m_review = StudyReview();
        m_review.printFlags = flags;
    }
    ReviewError = read ? 0 : 1;
    if (!read)
        m_messages.error(this, kReviewOpenErrorText);
    repaintCanvas();
    ShowRecordLabels();
}

void TEstudioExistFrm::ShowRecordLabels()
{
    const StageRecord& r = m_review.current();
    const ProtocolRecord& protocol = m_review.protocol();
    ProtoNomlbl->setText((QStringLiteral("Protocolo: ") + protocol.name).left(31));
    EtapaNumLbl->setText(QString::number(r.stage) + QStringLiteral("º Etapa (") +
                         stageTypeName(protocol.stage(r.stage).type) + QStringLiteral(")"));
    PresSistEd->setText(QString::number(r.systolic));
    PresDiastEd->setText(QString::number(r.diastolic));
    FreCarEd->setText(QString::number(r.heartRate));
    TpoParcialLbl->setText(QStringLiteral("Tpo. Parcial: ") + formatStageTime(r.elapsed));
    ITTLbl->setText(QStringLiteral("ITT: ") + QString::number(r.itt()));
    AngorChk->setChecked(r.angina != 0);
    DemandLbl->setText(r.kind != 0 ? QStringLiteral("Tipo: Manual")
                                   : QStringLiteral("Tipo: Automático"));
    STD2txt->setText(stLevelText(r.st[0], m_version));
    STV2txt->setText(stLevelText(r.st[1], m_version));
    STV5txt->setText(stLevelText(r.st[2], m_version));
    if (m_review.currentRecord() == 0) {
        // A study without a readable record has no values to show or correct.
        EtapaNumLbl->clear();
        TpoParcialLbl->setText(QStringLiteral("Tpo. Parcial: "));
        ITTLbl->setText(QStringLiteral("ITT: "));
        DemandLbl->clear();
        for (QLineEdit* e : {PresSistEd, PresDiastEd, FreCarEd})
            e->clear();
    }
    for (QLabel* l : {ProtoNomlbl, EtapaNumLbl, TpoParcialLbl, ITTLbl, DemandLbl})
        l->adjustSize();
    {
        const QSignalBlocker quiet(ImprimirChk);
        ImprimirChk->setChecked(m_review.marked());
    }
    ImprimirChk->setEnabled(m_review.canMark());
    ImprimirChk->setToolTip(m_review.canMark() || m_review.currentRecord() == 0 ? QString()
                                                                                : kNoFlagHint);
    updatePages();
}

void TEstudioExistFrm::AvanzaEtapaButClick()
{
    moveTo(true);
}

void TEstudioExistFrm::RetroEtapaButClick()
{
    if (m_review.currentRecord() > 1)
        moveTo(false);
}

void TEstudioExistFrm::moveTo(bool forward)
{
    // Only the marks and the strip panel change: the curves stay as they are.
    const ReviewScene s = scene();
    QPainter p(&m_canvas);
    drawRecordMarks(p, s, false);
    if (forward)
        m_review.next();
    else
        m_review.previous();
    ShowRecordLabels();
    if (m_review.currentReadable())
        drawRecordMarks(p, s, true);
    drawStripPanel(p, s);
    p.end();
    update();
}

void TEstudioExistFrm::CorregButClick()
{
    CorregBut->setEnabled(false);
    try {
        m_review.correct(leadingInteger(PresSistEd->text()), leadingInteger(PresDiastEd->text()),
                         leadingInteger(FreCarEd->text()), AngorChk->isChecked());
    } catch (const FileError& e) {
        m_messages.error(this, e.message());
    }
    repaintCanvas();
    ShowRecordLabels();
}

void TEstudioExistFrm::ImprimirChkClick(bool checked)
{
    m_review.setMarked(checked);
    updatePages();
}

void TEstudioExistFrm::updatePages()
{
    NhojasLb->setText(printPagesText(m_review.pages()));
    NhojasLb->adjustSize();
}

void TEstudioExistFrm::limitEdit(QLineEdit* edit, int max)
{
    if (leadingInteger(edit->text()) > max)
        edit->clear();
}

bool TEstudioExistFrm::eventFilter(QObject* watched, QEvent* e)
{
    const bool typed = e->type() == QEvent::KeyPress && watched != AngorChk;
    const bool pressed = (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::KeyPress) &&
                         watched == AngorChk;
    if ((typed || pressed) && m_review.canCorrect() && m_review.currentRecord() > 0)
        CorregBut->setEnabled(true);
    return QDialog::eventFilter(watched, e);
}

ReviewScene TEstudioExistFrm::scene() const
{
    ReviewScene s;
    s.layout = m_layout;
    s.review = &m_review;
    s.units = m_units;
    s.window = palette().color(QPalette::Window);
    s.font = font();
    return s;
}

void TEstudioExistFrm::repaintCanvas()
{
    m_canvas = QImage(m_layout.width, m_layout.height, QImage::Format_RGB32);
    if (m_canvas.isNull())
        return;
    QPainter p(&m_canvas);
    drawReviewCanvas(p, scene());
    p.end();
    update();
}

void TEstudioExistFrm::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.drawImage(0, 0, m_canvas);
}

void TEstudioExistFrm::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    if (m_layout.width == width() && m_layout.height == height())
        return;
    placeControls();
    repaintCanvas();
}

void TEstudioExistFrm::placeControls()
{
    m_layout = reviewLayout(width(), height());
    const ReviewLayout& l = m_layout;
    const ChartBox& s = l.strips;
    EcgBrd->setGeometry(s.left - 1, s.top - 1, s.width() + 2, s.height() + 2);
    EcgBrd->lower();

    // The left column: record values, print box, navigation bar.
    const int labelHeight = ProtoNomlbl->sizeHint().height();
    const int protoHeight = 17 * labelHeight;
    const int printHeight = std::max(0, s.height() - protoHeight - kNavBarHeight);
    ProtoBrd->setGeometry(l.gap, s.top, l.chartSide, protoHeight);
    ImprimirBrd->setGeometry(l.gap, s.top + protoHeight, l.chartSide, printHeight);
    ProtoAvReBrd->setGeometry(l.gap, s.top + protoHeight + printHeight, l.chartSide, kNavBarHeight);

    const int boxWidth = l.chartSide;
    const int p = protoHeight / 17 + 3;
    const int labelLeft = roundShare(0.1, boxWidth);
    ProtoNomlbl->move(labelLeft, protoHeight / 17);
    ProtoNomlbl->resize(boxWidth - labelLeft - kInset, labelHeight);
    const std::pair<QWidget*, int> rows[] = {
        {EtapaNumLbl, 2}, {TpoParcialLbl, 3}, {PresSistLbl, 4}, {PresDiastLbl, 5},
        {FreCarLbl, 6},   {AngorLbl, 7},      {DemandLbl, 8},   {ITTLbl, 9},
        {STD2Lbl, 10},    {STV2Lbl, 11},      {STV5Lbl, 12}};
    for (const auto& [w, k] : rows) {
        w->adjustSize();
        w->move(labelLeft, k * p);
    }
    const auto alignRight = [&](QWidget* w, int top, int width, int height) {
        w->setGeometry(boxWidth - kInset - width, top, width, height);
    };
    const int editHeight = std::max(p - 1, 1);
    alignRight(PresSistEd, 4 * p, kEditWidth, editHeight);
    alignRight(PresDiastEd, 5 * p, kEditWidth, editHeight);
    alignRight(FreCarEd, 6 * p, kEditWidth, editHeight);
    alignRight(AngorChk, 7 * p, AngorChk->sizeHint().width(), editHeight);
    for (const auto& [t, k] : {std::pair{STD2txt, 10}, {STV2txt, 11}, {STV5txt, 12}})
        alignRight(t, k * p, kEditWidth + 10, labelHeight);
    const QSize corr = CorregBut->sizeHint();
    alignRight(CorregBut, 8 * p + 3, corr.width(), corr.height());

    ImprimirChk->move(roundShare(0.1, boxWidth), printHeight / 5);
    ImprimirChk->adjustSize();
    NhojasLb->move(roundShare(0.1, boxWidth), 3 * (printHeight / 5));

    const int barWidth = boxWidth;
    const int buttonY = (kNavBarHeight - kNavButtonSide) / 2;
    const int centre = roundShare(0.1, barWidth) + barWidth / 2;
    RetroEtapaBut->move(centre - kNavButtonSide, buttonY);
    AvanzaEtapaBut->move(centre + kNavButtonSide, buttonY);

    const int belowCharts = l.chartTop + l.chartSide + 20;
    FrecMaxLbl->move(l.chartLeft[1], belowCharts);
    FrecSMaxLBL->move(l.chartLeft[1], belowCharts + FrecMaxLbl->sizeHint().height() + 10);

    const QSize ok = OkBut->sizeHint();
    OkBut->setGeometry((l.width - ok.width()) / 2, roundShare(0.98, l.height) - ok.height(),
                       ok.width(), ok.height());
}

void TEstudioExistFrm::contextMenuEvent(QContextMenuEvent* e)
{
    if (!m_files || m_review.recordsInStudy() == 0)
        return;
    QMenu menu(this);
    menu.addAction(QStringLiteral("Exportar EDF+..."), this, &TEstudioExistFrm::ExportarEDFClick);
    menu.exec(e->globalPos());
}

void TEstudioExistFrm::ExportarEDFClick()
{
    const QDir folder(m_folder);
    const QString suggested =
        folder.filePath(QFileInfo(m_fileName).completeBaseName() + QStringLiteral(".edf"));
    const QString path = m_files->saveFile(this, QStringLiteral("Exportar EDF+"), suggested,
                                           QStringLiteral("EDF+ (*.edf)"));
    if (path.isEmpty())
        return;
    EdfExportInput in;
    in.patient = m_patient;
    in.studyDate = m_date;
    const QString study = resolveCaseInsensitive(folder, m_fileName);
    try {
        // Every whole record with its strips, read one by one.
        for (int n = 1; n <= m_review.recordsInStudy(); ++n) {
            StudyRead r = readStudyRecord(study, n, m_version);
            if (r.error || r.recordsRead < n)
                break;
            in.protocol = r.protocol;
            in.records.push_back(std::move(r.record));
        }
        exportEdf(path, in);
    } catch (const FileError& e) {
        m_messages.error(this, e.message());
        return;
    }
    m_messages.information(this, QStringLiteral("Las tiras del estudio se exportaron a ") +
                                     QDir::toNativeSeparators(path));
}

} // namespace esf
