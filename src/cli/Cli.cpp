#include "cli/Cli.h"

#include "acquisition/LiveMonitor.h"
#include "app/ZirodIni.h"
#include "common/FileError.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <optional>

namespace esf::cli {
namespace {

constexpr int kOk = 0;
constexpr int kBadFile = 1;
constexpr int kUsage = 2;

const QString kUsageText = QStringLiteral(
    "uso: esfuerzo-cli play ARCHIVO [--gain 0|1|2] [--filter] [--frames N]\n"
    "     esfuerzo-cli qrs ARCHIVO [--gain 0|1|2] [--frames N]\n"
    "     esfuerzo-cli dump Zirod.ini");

struct UsageError {
    QString text;
};

struct PlayOptions {
    QString file;
    int gainIndex = 1;
    bool filter = false;
    std::optional<qint64> frames;
};

PlayOptions parsePlay(const QStringList& args, bool allowFilter)
{
    PlayOptions o;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&]() -> QString {
            if (i + 1 >= args.size())
                throw UsageError{QStringLiteral("falta el valor de %1").arg(a)};
            return args[++i];
        };
        if (a == QLatin1String("--gain")) {
            const QString v = value();
            if (v != QLatin1String("0") && v != QLatin1String("1") && v != QLatin1String("2"))
                throw UsageError{QStringLiteral("--gain admite 0, 1 o 2, no '%1'").arg(v)};
            o.gainIndex = v.toInt();
        } else if (a == QLatin1String("--frames")) {
            const QString v = value();
            bool ok = false;
            const qint64 n = v.toLongLong(&ok);
            if (!ok || n < 0)
                throw UsageError{QStringLiteral("'%1' no es un número de tramas válido").arg(v)};
            o.frames = n;
        } else if (allowFilter && a == QLatin1String("--filter")) {
            o.filter = true;
        } else if (a.startsWith(QLatin1String("--")) || !o.file.isEmpty()) {
            throw UsageError{QStringLiteral("argumento desconocido '%1'").arg(a)};
        } else {
            o.file = a;
        }
    }
    if (o.file.isEmpty())
        throw UsageError{QStringLiteral("falta el archivo de muestras")};
    return o;
}

// Opens the recording as the workstation would; FileError when it cannot be played.
qint64 openRecording(SampleSource& source, const QString& path)
{
    if (!QFileInfo::exists(path))
        throw FileError(path, QStringLiteral("apertura"), QStringLiteral("el archivo no existe"));
    if (!source.open(path))
        throw FileError(path, QStringLiteral("lectura"),
                        QStringLiteral("no contiene ninguna trama completa de 6 bytes"));
    return source.frameCount();
}

int play(const QStringList& args, QTextStream& out)
{
    const PlayOptions o = parsePlay(args, true);
    SampleSource source;
    const qint64 onePass = openRecording(source, o.file);
    const qint64 frames = o.frames.value_or(onePass);

    LiveMonitor monitor;
    monitor.settings.gainIndex = static_cast<std::uint8_t>(o.gainIndex);
    monitor.settings.filterOn = o.filter;
    out << "frame,write_index,ring0,ring1,ring2,shown0,shown1,shown2,heart_rate,beat_counter,"
           "beat_flag,qrs_update\n";
    for (qint64 f = 1; f <= frames; ++f) {
        const FrameReport r = monitor.processFrame(source.nextFrame(), nullptr);
        const int w = monitor.ring.writeIndex;
        out << f << ',' << w << ',' << monitor.ring.at(0, w) << ',' << monitor.ring.at(1, w) << ','
            << monitor.ring.at(2, w) << ',' << r.shown[0] << ',' << r.shown[1] << ',' << r.shown[2]
            << ',' << monitor.beats.heartRate << ',' << monitor.beats.beatCounter << ','
            << (monitor.beats.beatFlag ? 1 : 0) << ',' << (r.qrsUpdate ? 1 : 0) << '\n';
    }
    return kOk;
}

int qrs(const QStringList& args, QTextStream& out)
{
    const PlayOptions o = parsePlay(args, false);
    SampleSource source;
    const qint64 onePass = openRecording(source, o.file);
    const qint64 frames = o.frames.value_or(onePass);
    LiveMonitor monitor;
    monitor.settings.gainIndex = static_cast<std::uint8_t>(o.gainIndex);
    for (qint64 f = 0; f < frames; ++f)
        monitor.processFrame(source.nextFrame(), nullptr);
    out << "fid_idx=" << monitor.qrs.fidIdx << '\n';
    for (const auto& lead : monitor.qrs.values) {
        for (std::size_t k = 0; k < lead.size(); ++k)
            out << (k ? "," : "") << lead[k];
        out << '\n';
    }
    return kOk;
}

int dump(const QStringList& args, QTextStream& out)
{
    if (args.size() != 1)
        throw UsageError{QStringLiteral("dump necesita exactamente un archivo")};
    const QString& path = args.front();
    const QString name = QFileInfo(path).fileName();
    if (name.compare(kZirodFileName, Qt::CaseInsensitive) == 0 ||
        name.endsWith(QLatin1String(".ini"), Qt::CaseInsensitive)) {
        if (!QFileInfo::exists(path))
            throw FileError(path, QStringLiteral("apertura"), QStringLiteral("el archivo no existe"));
        const ZirodConfig c = readZirod(path);
        QJsonObject o;
        o.insert(QStringLiteral("lastPatientNumber"), c.lastPatientNumber);
        o.insert(QStringLiteral("portIndex"), c.portIndex);
        o.insert(QStringLiteral("protocolFileName"), c.protocolFileName);
        o.insert(QStringLiteral("maxHRFormula"), c.maxHRFormula);
        out << QJsonDocument(o).toJson(QJsonDocument::Indented);
        return kOk;
    }
    throw UsageError{QStringLiteral("no sé interpretar el archivo '%1'").arg(name)};
}

} // namespace

int run(const QStringList& args, QTextStream& out, QTextStream& err)
{
    try {
        if (args.isEmpty())
            throw UsageError{QStringLiteral("falta la orden")};
        const QString command = args.front();
        const QStringList rest = args.mid(1);
        if (command == QLatin1String("play"))
            return play(rest, out);
        if (command == QLatin1String("qrs"))
            return qrs(rest, out);
        if (command == QLatin1String("dump"))
            return dump(rest, out);
        if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
            out << kUsageText << '\n';
            return kOk;
        }
        throw UsageError{QStringLiteral("orden desconocida '%1'").arg(command)};
    } catch (const UsageError& e) {
        err << "esfuerzo-cli: " << e.text << '\n' << kUsageText << '\n';
        return kUsage;
    } catch (const FileError& e) {
        err << "esfuerzo-cli: " << e.message() << '\n';
        return kBadFile;
    }
}

} // namespace esf::cli
