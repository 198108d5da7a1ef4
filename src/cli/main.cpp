#include "cli/Cli.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>
#include <cstring>
#include <memory>

int main(int argc, char** argv)
{
    // Only drawing needs fonts, hence a graphical application; it never needs a screen.
    const bool drawing =
        argc > 1 && (std::strcmp(argv[1], "review") == 0 || std::strcmp(argv[1], "print") == 0);
    if (drawing && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> app =
        drawing ? std::make_unique<QGuiApplication>(argc, argv)
                : std::make_unique<QCoreApplication>(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const int rc = esf::cli::run(app->arguments().mid(1), out, err);
    out.flush();
    err.flush();
    return rc;
}
