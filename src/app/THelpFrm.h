#pragma once

#include <QDialog>

class QTextBrowser;

namespace esf {

// The program's own help, shown from "Ayuda...". The page is built into the program, so
// there is nothing to install or lose.
class THelpFrm : public QDialog {
    Q_OBJECT
public:
    explicit THelpFrm(QWidget* parent = nullptr);
    // Shows the contents page.
    void showContents();

    QTextBrowser* HelpTxt = nullptr;
};

} // namespace esf
