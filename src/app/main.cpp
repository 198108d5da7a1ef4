#include "app/Services.h"
#include "app/TZuvudezidedFrm.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Esfuerzo"));
    QApplication::setApplicationDisplayName(esf::kProductTitle);
    QApplication::setApplicationVersion(esf::kSoftwareVersion);

    // Standard buttons read "Aceptar", "Sí", "No", "Cancelar" whatever the desktop's language.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Spanish, QLocale::Spain), QStringLiteral("qtbase"),
                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    esf::TZuvudezidedFrm mainWindow(esf::Services::standard());
    mainWindow.show();
    mainWindow.activateWindow();
    return QApplication::exec();
}
