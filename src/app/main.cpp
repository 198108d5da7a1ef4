#include "app/DataFolder.h"
#include "app/TZuvudezidedFrm.h"
#include "common/Version.h"
#include "widgets/Services.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] =
    "uso: esfuerzo [CARPETA]\n"
    "Estación de prueba ergométrica con ECG de tres derivaciones.\n"
    "Trabaja en CARPETA, si no en la carpeta que nombra ESFUERZO_DATA y, si no, en ~/Esfuerzo.\n"
    "La carpeta se crea si falta y recibe los archivos de la instalación que le falten\n"
    "(registro ECG-1.ecg, protocolos estándar, Datosgen.txt, informe.rtf); nada se sobrescribe.\n"
    "\n"
    "  -h, --help     muestra esta ayuda\n"
    "  -v, --version  muestra la versión\n";

bool isOption(const char* arg, const char* shortName, const char* longName)
{
    return std::strcmp(arg, shortName) == 0 || std::strcmp(arg, longName) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    // Answered before the toolkit starts, so they work without a screen.
    if (argc == 2 && isOption(argv[1], "-v", "--version")) {
        std::printf("esfuerzo %s\n", esf::kSoftwareVersion.toUtf8().constData());
        return 0;
    }
    if (argc == 2 && isOption(argv[1], "-h", "--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Esfuerzo"));
    QApplication::setApplicationDisplayName(esf::kProductTitle);
    QApplication::setApplicationVersion(esf::kSoftwareVersion);
    QApplication::setDesktopFileName(QStringLiteral("esfuerzo"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("esfuerzo")));

    const QStringList args = app.arguments().mid(1);
    if (args.size() > 1 || (!args.isEmpty() && args.front().startsWith(u'-'))) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    // Standard buttons read "Aceptar", "Sí", "No", "Cancelar" whatever the desktop's language.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Spanish, QLocale::Spain), QStringLiteral("qtbase"),
                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    esf::Services services = esf::Services::standard();

    // The working folder is the current directory from here on; an installed program finds
    // the files it seeds it with beside its own folder.
    const QString folder =
        esf::chooseDataFolder(args, qEnvironmentVariable("ESFUERZO_DATA"), QDir::homePath());
    const QString problem =
        esf::enterDataFolder(folder, QDir(QApplication::applicationDirPath())
                                         .filePath(QStringLiteral(ESF_SHIPPED_DATA_RELATIVE)));
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "esfuerzo: %s\n", problem.toUtf8().constData());
        services.messages->error(nullptr, problem);
        return 1;
    }

    esf::TZuvudezidedFrm mainWindow(services);
    mainWindow.show();
    mainWindow.activateWindow();
    return QApplication::exec();
}
