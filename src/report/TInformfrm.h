#pragma once

#include "widgets/Services.h"

#include <QMainWindow>
#include <QTextEdit>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QComboBox;
class QLineEdit;
class QPrinter;
class QToolBar;
class QToolButton;

namespace esf {

inline const QString kTemplateFileName = QStringLiteral("informe.rtf");
inline const QString kReportPrintTitle = QStringLiteral("Informe Ergometría");

// The rich-text control; it tells the window of every mouse press so the toolbar can follow.
class ReportEdit : public QTextEdit {
    Q_OBJECT
public:
    using QTextEdit::QTextEdit;
Q_SIGNALS:
    void mousePressed();

protected:
    void mousePressEvent(QMouseEvent* e) override;
};

// The arrows beside the font size: step it by one between 0 and 100.
class UpDownArrows : public QWidget {
    Q_OBJECT
public:
    explicit UpDownArrows(QWidget* parent = nullptr);
    QToolButton* up = nullptr;
    QToolButton* down = nullptr;
Q_SIGNALS:
    void stepped(int delta);
};

// The physician's report of a study, or the template new reports start from. Stays on top
// of the main window without blocking it.
class TInformfrm : public QMainWindow {
    Q_OBJECT
public:
    explicit TInformfrm(const Services& services, QWidget* parent = nullptr);
    ~TInformfrm() override;

    // Shows the editor on the study's report (or the template) and loads it from workDir.
    // Returns false when the editor stayed as it was: unsaved text that could not be saved,
    // or a study name that is not a plain file name.
    bool OpenReportEditor(const QString& workDir, const QString& studyFile,
                          const QString& patientCaption, bool templateMode);

    void SelectionChange();
    void SalirTBtnClick();
    void FileOpen();
    bool SaveButtonClick();
    void ImprimeButClick();
    void EditCut();
    void EditCopy();
    void EditPaste();
    void EditUndo();
    void BoldButtonClick();
    void ItalicButtonClick();
    void UnderlineButtonClick();
    void FontNameChange();
    void FontSizeChange();
    // The whole text as one print job titled "Informe Ergometría".
    void printTo(QPrinter& printer);

    const QString& reportFile() const { return m_reportFile; }
    bool templateMode() const { return m_templateMode; }

    QToolBar* StandardToolBar = nullptr;
    QAction* SalirTBtn = nullptr;
    QAction* ToolButton1 = nullptr;
    QAction* SaveButton = nullptr;
    QAction* ImprimeBut = nullptr;
    QAction* CutButton = nullptr;
    QAction* CopyButton = nullptr;
    QAction* PasteButton = nullptr;
    QAction* UndoButton = nullptr;
    QComboBox* FontName = nullptr;
    QLineEdit* FontSize = nullptr;
    UpDownArrows* UpDown1 = nullptr;
    QAction* BoldButton = nullptr;
    QAction* ItalicButton = nullptr;
    QAction* UnderlineButton = nullptr;
    ReportEdit* InfEd = nullptr;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    QAction* addTool(const char* name, const QString& hint, const QIcon& icon,
                     const std::function<void()>& handler);
    void buildToolBar();
    void loadReport();
    // Runs before the text is given up: saves or drops unsaved edits as the user says.
    // False when a save failed, so the editor must stay.
    bool leave();
    // The save dialog of template mode: nothing when cancelled, else whether it was saved.
    std::optional<bool> saveTemplateAs();
    bool saveTo(const QString& path);
    void applyToCurrentText(const QTextCharFormat& format);
    void stepFontSize(int delta);

    Services m_services;
    QString m_workDir;
    QString m_reportFile;
    bool m_templateMode = false;
    bool m_updatingToolbar = false;
    std::unique_ptr<QPrinter> m_printer;
};

} // namespace esf
