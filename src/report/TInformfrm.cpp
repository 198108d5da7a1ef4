#include "report/TInformfrm.h"

#include "common/FileError.h"
#include "common/FileNames.h"
#include "records/StudyFile.h"
#include "report/RtfCodec.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace esf {
namespace {

const QString kNoReportText = QStringLiteral("No se encontró archivo de informe relacionado");
const QString kSaveQuestion = QStringLiteral("Desea guardar el informe?");
const QString kOpenFilters = QStringLiteral(
    "Archivo Texto c/Formato (*.RTF);;Archivo Texto (*.TXT);;Archivo Informe(*.INF)");
const QString kSaveFilter = QStringLiteral("Archivo de Texto (*.RTF)");
constexpr int kMinFontSize = 0;
constexpr int kMaxFontSize = 100;
// What RichEdit accepts as a point size.
constexpr int kLargestPointSize = 1638;

QString familyOf(const QTextCharFormat& f, const QTextDocument& doc)
{
    const QStringList families = f.fontFamilies().toStringList();
    return families.isEmpty() ? doc.defaultFont().family() : families.front();
}

} // namespace

void ReportEdit::mousePressEvent(QMouseEvent* e)
{
    QTextEdit::mousePressEvent(e);
    Q_EMIT mousePressed();
}

UpDownArrows::UpDownArrows(QWidget* parent) : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    up = new QToolButton(this);
    up->setArrowType(Qt::UpArrow);
    up->setAccessibleName(QStringLiteral("Aumentar tamaño"));
    down = new QToolButton(this);
    down->setArrowType(Qt::DownArrow);
    down->setAccessibleName(QStringLiteral("Disminuir tamaño"));
    for (QToolButton* b : {up, down}) {
        b->setFixedSize(16, 11);
        b->setAutoRepeat(true);
        column->addWidget(b);
    }
    connect(up, &QToolButton::clicked, this, [this] { Q_EMIT stepped(1); });
    connect(down, &QToolButton::clicked, this, [this] { Q_EMIT stepped(-1); });
}

TInformfrm::TInformfrm(const Services& services, QWidget* parent)
    : QMainWindow(parent), m_services(services), m_printer(std::make_unique<QPrinter>())
{
    setObjectName(QStringLiteral("TInformfrm"));
    // A window of its own above the main window, closed only through "Salir".
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Informe"));

    InfEd = new ReportEdit(this);
    InfEd->setObjectName(QStringLiteral("InfEd"));
    InfEd->setAccessibleName(QStringLiteral("Informe"));
    InfEd->setAcceptRichText(true);
    setCentralWidget(InfEd);
    buildToolBar();

    InfEd->clear();
    InfEd->document()->setDefaultFont(QFont(QStringLiteral("Arial"), 10));
    // Text typed into an empty editor starts in the control's own style.
    QTextCharFormat start;
    start.setFontFamilies(QStringList{QStringLiteral("Arial")});
    start.setFontPointSize(10);
    start.setFontWeight(QFont::Bold);
    start.setFontItalic(true);
    InfEd->setCurrentCharFormat(start);
    InfEd->document()->setModified(false);
    connect(InfEd, &ReportEdit::mousePressed, this, &TInformfrm::SelectionChange);

    resize(760, 560);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TInformfrm::~TInformfrm() = default;

QAction* TInformfrm::addTool(const char* name, const QString& hint, const QIcon& icon,
                             const std::function<void()>& handler)
{
    auto* a = new QAction(icon, hint.isEmpty() ? QLatin1String(name) : hint, this);
    a->setObjectName(QLatin1String(name));
    a->setToolTip(hint);
    connect(a, &QAction::triggered, this, handler);
    StandardToolBar->addAction(a);
    if (auto* button = qobject_cast<QToolButton*>(StandardToolBar->widgetForAction(a))) {
        button->setObjectName(QLatin1String(name));
        button->setAccessibleName(hint.isEmpty() ? a->text() : hint);
    }
    return a;
}

void TInformfrm::buildToolBar()
{
    StandardToolBar = new QToolBar(this);
    StandardToolBar->setObjectName(QStringLiteral("StandardToolBar"));
    StandardToolBar->setMovable(false);
    addToolBar(StandardToolBar);
    QStyle* s = style();
    auto themed = [](const char* name, const QIcon& fallback) {
        return QIcon::fromTheme(QLatin1String(name), fallback);
    };
    SalirTBtn = addTool("SalirTBtn", QStringLiteral("Salir"),
                        themed("application-exit", s->standardIcon(QStyle::SP_DialogCloseButton)),
                        [this] { SalirTBtnClick(); });
    ToolButton1 = addTool("ToolButton1", QString(),
                          themed("document-open", s->standardIcon(QStyle::SP_DialogOpenButton)),
                          [this] { FileOpen(); });
    ToolButton1->setText(QStringLiteral("Abrir"));
    SaveButton = addTool("SaveButton", QString(),
                         themed("document-save", s->standardIcon(QStyle::SP_DialogSaveButton)),
                         [this] { SaveButtonClick(); });
    SaveButton->setText(QStringLiteral("Guardar"));
    ImprimeBut = addTool("ImprimeBut", QString(), themed("document-print", QIcon()),
                         [this] { ImprimeButClick(); });
    ImprimeBut->setText(QStringLiteral("Imprimir"));
    StandardToolBar->addSeparator();
    CutButton = addTool("CutButton", QStringLiteral("Cortar"), themed("edit-cut", QIcon()),
                        [this] { EditCut(); });
    CopyButton = addTool("CopyButton", QStringLiteral("Copiar"), themed("edit-copy", QIcon()),
                         [this] { EditCopy(); });
    PasteButton = addTool("PasteButton", QStringLiteral("Pegar"), themed("edit-paste", QIcon()),
                          [this] { EditPaste(); });
    UndoButton = addTool("UndoButton", QStringLiteral("Deshacer"), themed("edit-undo", QIcon()),
                         [this] { EditUndo(); });

    FontName = new QComboBox(StandardToolBar);
    FontName->setObjectName(QStringLiteral("FontName"));
    FontName->setAccessibleName(QStringLiteral("Font Name"));
    FontName->setToolTip(QStringLiteral("Font Name|Select font name"));
    FontName->setEditable(true);
    FontName->setInsertPolicy(QComboBox::NoInsert);
    QStringList families = QFontDatabase::families();
    families.sort(Qt::CaseInsensitive);
    FontName->addItems(families);
    FontName->setMinimumContentsLength(18);
    StandardToolBar->addWidget(FontName);
    connect(FontName, &QComboBox::activated, this, [this] { FontNameChange(); });
    // A typed name counts when it names an installed font; anything else is put back.
    connect(FontName->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        const int i = FontName->findText(FontName->currentText(), Qt::MatchFixedString);
        if (i >= 0) {
            if (FontName->itemText(i) != FontName->currentText() || i != FontName->currentIndex()) {
                FontName->setCurrentIndex(i);
                FontNameChange();
            }
        } else if (FontName->currentIndex() >= 0) {
            FontName->setEditText(FontName->itemText(FontName->currentIndex()));
        }
    });

    FontSize = new QLineEdit(StandardToolBar);
    FontSize->setObjectName(QStringLiteral("FontSize"));
    FontSize->setAccessibleName(QStringLiteral("Font Size"));
    FontSize->setToolTip(QStringLiteral("Font Size|Select font size"));
    FontSize->setFixedWidth(36);
    StandardToolBar->addWidget(FontSize);
    connect(FontSize, &QLineEdit::textChanged, this, [this] { FontSizeChange(); });
    UpDown1 = new UpDownArrows(StandardToolBar);
    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    StandardToolBar->addWidget(UpDown1);
    connect(UpDown1, &UpDownArrows::stepped, this, &TInformfrm::stepFontSize);

    BoldButton = addTool("BoldButton", QStringLiteral("Negrita"),
                         themed("format-text-bold", QIcon()), [this] { BoldButtonClick(); });
    ItalicButton = addTool("ItalicButton", QStringLiteral("Italica"),
                           themed("format-text-italic", QIcon()), [this] { ItalicButtonClick(); });
    UnderlineButton =
        addTool("UnderlineButton", QStringLiteral("Subrayado"),
                themed("format-text-underline", QIcon()), [this] { UnderlineButtonClick(); });
    for (QAction* a : {BoldButton, ItalicButton, UnderlineButton})
        a->setCheckable(true);
    BoldButton->setText(QStringLiteral("N"));
    ItalicButton->setText(QStringLiteral("K"));
    UnderlineButton->setText(QStringLiteral("S"));
}

// ---------------------------------------------------------------- opening and loading

bool TInformfrm::OpenReportEditor(const QString& workDir, const QString& studyFile,
                                  const QString& patientCaption, bool templateMode)
{
    const QString report = templateMode ? kTemplateFileName : reportFileName(studyFile);
    if (!templateMode && (studyFile.isEmpty() || !isPlainFileName(report))) {
        m_services.messages->error(this, FileError(report, QStringLiteral("apertura"),
                                                   QStringLiteral("nombre de archivo no válido"))
                                             .message());
        return false;
    }
    // Opening again must not drop what was typed and not yet saved.
    if (!leave())
        return false;
    m_workDir = workDir;
    m_templateMode = templateMode;
    m_reportFile = report;
    setWindowTitle(templateMode ? QStringLiteral("Informe: Edición de plantillas")
                                : QStringLiteral("Informe: ") + patientCaption);
    show();
    raise();
    activateWindow();
    loadReport();
    return true;
}

void TInformfrm::loadReport()
{
    const QDir dir(m_workDir);
    QString path = resolveCaseInsensitive(dir, m_reportFile);
    if (!QFileInfo(path).isFile())
        path = resolveCaseInsensitive(dir, kTemplateFileName);
    // Whatever the editor showed belongs to another study: never let it be saved into this one.
    if (!QFileInfo(path).isFile()) {
        InfEd->clear();
        m_services.messages->information(this, kNoReportText);
    } else {
        QTextDocument* doc = InfEd->document();
        doc->setUndoRedoEnabled(false);
        try {
            loadReportFile(path, *doc);
        } catch (const FileError& e) {
            doc->clear();
            m_services.messages->error(this, e.message());
        }
        doc->setUndoRedoEnabled(true);
        InfEd->moveCursor(QTextCursor::Start);
    }
    SelectionChange();
    InfEd->document()->setModified(false);
}

void TInformfrm::SelectionChange()
{
    m_updatingToolbar = true;
    const QTextCharFormat f = InfEd->currentCharFormat();
    const QTextDocument& doc = *InfEd->document();
    BoldButton->setChecked(f.fontWeight() > QFont::Medium);
    ItalicButton->setChecked(f.fontItalic());
    UnderlineButton->setChecked(f.fontUnderline());
    const double points =
        f.fontPointSize() > 0 ? f.fontPointSize() : doc.defaultFont().pointSizeF();
    FontSize->setText(QString::number(qRound(points)));
    const QString family = familyOf(f, doc);
    const int i = FontName->findText(family, Qt::MatchFixedString);
    if (i >= 0)
        FontName->setCurrentIndex(i);
    else
        FontName->setEditText(family);
    m_updatingToolbar = false;
}

// ---------------------------------------------------------------- formatting

void TInformfrm::applyToCurrentText(const QTextCharFormat& format)
{
    // The selection when there is one, else what is typed next.
    InfEd->mergeCurrentCharFormat(format);
}

void TInformfrm::BoldButtonClick()
{
    if (m_updatingToolbar)
        return;
    QTextCharFormat f;
    f.setFontWeight(BoldButton->isChecked() ? QFont::Bold : QFont::Normal);
    applyToCurrentText(f);
}

void TInformfrm::ItalicButtonClick()
{
    if (m_updatingToolbar)
        return;
    QTextCharFormat f;
    f.setFontItalic(ItalicButton->isChecked());
    applyToCurrentText(f);
}

void TInformfrm::UnderlineButtonClick()
{
    if (m_updatingToolbar)
        return;
    QTextCharFormat f;
    f.setFontUnderline(UnderlineButton->isChecked());
    applyToCurrentText(f);
}

void TInformfrm::FontNameChange()
{
    if (m_updatingToolbar || FontName->currentIndex() < 0)
        return;
    QTextCharFormat f;
    f.setFontFamilies(QStringList{FontName->itemText(FontName->currentIndex())});
    applyToCurrentText(f);
}

void TInformfrm::FontSizeChange()
{
    if (m_updatingToolbar)
        return;
    const QString text = FontSize->text().trimmed();
    if (text.isEmpty())
        return; // still being typed
    bool ok = false;
    const int size = text.toInt(&ok);
    if (!ok) {
        m_services.messages->error(this,
                                   QStringLiteral("'%1' no es un valor entero válido").arg(text));
        return;
    }
    if (size <= 0)
        return; // no text is zero points high
    QTextCharFormat f;
    f.setFontPointSize(std::min(size, kLargestPointSize));
    applyToCurrentText(f);
}

void TInformfrm::stepFontSize(int delta)
{
    bool ok = false;
    const int now = FontSize->text().trimmed().toInt(&ok);
    FontSize->setText(QString::number(
        std::clamp((ok ? now : 0) + delta, kMinFontSize, std::max(kMaxFontSize, ok ? now : 0))));
}

void TInformfrm::EditCut()
{
    InfEd->cut();
}

void TInformfrm::EditCopy()
{
    InfEd->copy();
}

void TInformfrm::EditPaste()
{
    InfEd->paste();
}

void TInformfrm::EditUndo()
{
    InfEd->undo();
}

// ---------------------------------------------------------------- files

void TInformfrm::FileOpen()
{
    const QString path =
        m_services.files->openFile(this, QStringLiteral("Abrir"), m_workDir, kOpenFilters);
    if (path.isEmpty())
        return;
    QTextDocument* doc = InfEd->document();
    doc->setUndoRedoEnabled(false);
    try {
        loadReportFile(path, *doc);
    } catch (const FileError& e) {
        doc->setUndoRedoEnabled(true);
        m_services.messages->error(this, e.message());
        return;
    }
    doc->setUndoRedoEnabled(true);
    InfEd->setFocus();
    InfEd->moveCursor(QTextCursor::Start);
    SelectionChange();
    doc->setModified(false);
}

bool TInformfrm::saveTo(const QString& path)
{
    try {
        saveReportFile(path, *InfEd->document());
    } catch (const FileError& e) {
        // The old file is whole and the text stays unsaved, so nothing is lost.
        m_services.messages->error(this, e.message());
        return false;
    }
    InfEd->document()->setModified(false);
    return true;
}

std::optional<bool> TInformfrm::saveTemplateAs()
{
    const QDir dir(m_workDir);
    const QString path = m_services.files->saveFile(
        this, QStringLiteral("Guardar como"), dir.filePath(QStringLiteral("Informe")), kSaveFilter);
    if (path.isEmpty())
        return std::nullopt;
    QFileInfo chosen(path);
    if (chosen.suffix().isEmpty())
        chosen.setFile(path + QStringLiteral(".rtf"));
    // "Informe.rtf" replaces "informe.rtf", as names compare on the lab's old file system.
    return saveTo(resolveCaseInsensitive(chosen.absoluteDir(), chosen.fileName()));
}

bool TInformfrm::SaveButtonClick()
{
    if (m_templateMode)
        return saveTemplateAs().value_or(false);
    return saveTo(resolveCaseInsensitive(QDir(m_workDir), m_reportFile));
}

bool TInformfrm::leave()
{
    QTextDocument* doc = InfEd->document();
    if (!doc->isModified())
        return true;
    if (m_templateMode) {
        // Cancelling the save dialog leaves the template as it is on disk.
        if (const std::optional<bool> saved = saveTemplateAs())
            return *saved;
    } else if (m_services.messages->confirmTitled(this, QStringLiteral("Informe"), kSaveQuestion)) {
        return saveTo(resolveCaseInsensitive(QDir(m_workDir), m_reportFile));
    }
    // The user chose to leave without saving.
    doc->setModified(false);
    return true;
}

void TInformfrm::SalirTBtnClick()
{
    if (leave())
        hide();
}

void TInformfrm::closeEvent(QCloseEvent* e)
{
    if (leave())
        e->accept();
    else
        e->ignore();
}

// ---------------------------------------------------------------- printing

void TInformfrm::printTo(QPrinter& printer)
{
    printer.setDocName(kReportPrintTitle);
    InfEd->document()->print(&printer);
}

void TInformfrm::ImprimeButClick()
{
    QPrintDialog dialog(m_printer.get(), this);
    dialog.setWindowTitle(QStringLiteral("Imprimir"));
    if (dialog.exec() == QDialog::Accepted)
        printTo(*m_printer);
}

} // namespace esf
