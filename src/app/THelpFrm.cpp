#include "app/THelpFrm.h"

#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

// The page lives in a static library: name its resource so the linker keeps it.
static void initHelpResource()
{
    Q_INIT_RESOURCE(help);
}

namespace esf {

THelpFrm::THelpFrm(QWidget* parent) : QDialog(parent)
{
    initHelpResource();
    setObjectName(QStringLiteral("THelpFrm"));
    setWindowTitle(QStringLiteral("Ayuda de Esfuerzo"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    resize(760, 620);
    HelpTxt = new QTextBrowser(this);
    HelpTxt->setObjectName(QStringLiteral("HelpTxt"));
    HelpTxt->setAccessibleName(QStringLiteral("Ayuda"));
    HelpTxt->setOpenExternalLinks(false);
    auto* close = new QPushButton(QStringLiteral("Cerrar"), this);
    close->setObjectName(QStringLiteral("CerrarBtn"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(HelpTxt);
    layout->addWidget(close, 0, Qt::AlignRight);
}

void THelpFrm::showContents()
{
    HelpTxt->setSource(QUrl(QStringLiteral("qrc:/help/ayuda.html")));
    HelpTxt->scrollToAnchor(QString());
    exec();
}

} // namespace esf
