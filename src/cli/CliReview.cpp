#include "cli/CliReview.h"

#include "cli/CliArgs.h"

#include "common/FileError.h"
#include "records/PatientFile.h"
#include "records/StudyCharts.h"
#include "report/GeneralData.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <optional>

namespace esf::cli {
namespace {

const QString kReviewUsage = QStringLiteral(
    "uso: esfuerzo-cli review ARCHIVO.est --patient ARCHIVO.DAT [--record N] [--size AxH] "
    "--out ARCHIVO.png");
constexpr int kMinSide = 100;
constexpr int kMaxSide = 10000;

struct ReviewOptions {
    QString study;
    QString patient;
    QString out;
    int record = 1;
    QSize size{1000, 700};
};

// Throws the text of a usage error.
ReviewOptions parse(const QStringList& args)
{
    ReviewOptions o;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const auto value = [&] { return optionValue(args, i); };
        if (a == QLatin1String("--patient")) {
            o.patient = value();
        } else if (a == QLatin1String("--out")) {
            o.out = value();
        } else if (a == QLatin1String("--record")) {
            const QString v = value();
            bool ok = false;
            o.record = v.toInt(&ok);
            if (!ok || o.record < 1)
                throw QStringLiteral("'%1' no es un número de registro válido").arg(v);
        } else if (a == QLatin1String("--size")) {
            const QString v = value();
            const QStringList parts = v.split(u'x');
            bool okW = false;
            bool okH = false;
            const int w = parts.size() == 2 ? parts[0].toInt(&okW) : 0;
            const int h = parts.size() == 2 ? parts[1].toInt(&okH) : 0;
            if (!okW || !okH || w < kMinSide || h < kMinSide || w > kMaxSide || h > kMaxSide)
                throw QStringLiteral("'%1' no es un tamaño válido (de 100x100 a 10000x10000)")
                    .arg(v);
            o.size = QSize(w, h);
        } else if (a.startsWith(QLatin1String("--")) || !o.study.isEmpty()) {
            throw QStringLiteral("argumento desconocido '%1'").arg(a);
        } else {
            o.study = a;
        }
    }
    if (o.study.isEmpty())
        throw QStringLiteral("falta el archivo de estudio");
    if (o.patient.isEmpty())
        throw QStringLiteral("falta --patient");
    if (o.out.isEmpty())
        throw QStringLiteral("falta --out");
    return o;
}

} // namespace

int review(const QStringList& args, QTextStream& out, QTextStream& err)
{
    ReviewOptions o;
    try {
        o = parse(args);
    } catch (const QString& text) {
        err << "esfuerzo-cli: " << text << '\n' << kReviewUsage << '\n';
        return 2;
    }
    const PatientHeader patient = readPatientHeader(o.patient);
    if (!QFileInfo::exists(o.study))
        throw FileError(o.study, QStringLiteral("apertura"),
                        QStringLiteral("el archivo no existe"));
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        throw FileError(o.out, QStringLiteral("escritura"),
                        QStringLiteral("dibujar necesita una aplicación gráfica"));

    StudyReview study;
    const bool readable = study.open(o.study, patient.version);
    study.goTo(o.record);
    ReviewScene scene;
    scene.layout = reviewLayout(o.size.width(), o.size.height());
    scene.review = &study;
    // The unit texts come from the general data kept beside the study, as in the workstation.
    loadUnits(QFileInfo(o.study).dir().filePath(kGeneralDataFileName), scene.units);
    scene.window = QGuiApplication::palette().color(QPalette::Window);
    scene.font = QGuiApplication::font();

    QImage image(o.size, QImage::Format_RGB32);
    QPainter painter(&image);
    drawReviewCanvas(painter, scene);
    painter.end();
    if (!image.save(o.out, "PNG"))
        throw FileError(o.out, QStringLiteral("escritura"),
                        QStringLiteral("no se pudo guardar la imagen"));

    const QString name = QFileInfo(o.study).fileName();
    out << name << ": " << study.recordsInStudy() << " registros, registro "
        << study.currentRecord() << " dibujado en " << o.out << '\n';
    if (!readable) {
        err << "esfuerzo-cli: " << name << ": " << kReviewOpenErrorText << '\n';
        return 1;
    }
    if (study.trend().tornTail) {
        err << "esfuerzo-cli: " << name << ": el archivo termina dentro del registro "
            << study.recordsInStudy() + 1 << '\n';
        return 1;
    }
    return 0;
}

} // namespace esf::cli
