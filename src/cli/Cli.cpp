#include "cli/Cli.h"
#include "cli/CliReview.h"
#include "cli/CliSummary.h"

#include "acquisition/LiveMonitor.h"
#include "app/ZirodIni.h"
#include "cli/CliBackup.h"
#include "cli/CliPrint.h"
#include "cli/CliReport.h"
#include "common/BinaryIO.h"
#include "common/FileError.h"
#include "common/FileNames.h"
#include "common/Version.h"
#include "protocol/ProtocolRecord.h"
#include "records/PatientFile.h"
#include "records/StudyFile.h"
#include "report/GeneralData.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <charconv>
#include <optional>
#include <string>

namespace esf::cli {
namespace {

constexpr int kOk = 0;
constexpr int kBadFile = 1;
constexpr int kUsage = 2;

// Shown after the usage by --help only, so the list of commands stays one block.
const QString kHelpFooter = QStringLiteral(
    "     esfuerzo-cli --help | --version\n"
    "\n"
    "Ejecuta sin pantalla la lógica de la estación Esfuerzo sobre los archivos nombrados.\n"
    "Estado de salida: 0 correcto, 1 archivo ausente, ilegible o dañado, 2 uso incorrecto.\n"
    "Más detalles en esfuerzo-cli(1).");

const QString kUsageText = QStringLiteral(
    "uso: esfuerzo-cli play ARCHIVO [--gain 0|1|2] [--filter] [--frames N]\n"
    "     esfuerzo-cli qrs ARCHIVO [--gain 0|1|2] [--frames N]\n"
    "     esfuerzo-cli dump Zirod.ini|Datosgen.txt|ARCHIVO.pro|ARCHIVO.DAT\n"
    "     esfuerzo-cli dump ARCHIVO.est [--strips] [--version V | --patient ARCHIVO.DAT]\n"
    "     esfuerzo-cli dump ARCHIVO.INF|ARCHIVO.rtf\n"
    "     esfuerzo-cli review ARCHIVO.est --patient ARCHIVO.DAT [--record N] [--size AxH] "
    "--out ARCHIVO.png\n"
    "     esfuerzo-cli print ARCHIVO.est --patient ARCHIVO.DAT [--select 1,3,5]\n"
    "                        [--paper A4|Letter] [--dpi N] [--summary] --out ARCHIVO.pdf\n"
    "     esfuerzo-cli print ARCHIVO.INF --out ARCHIVO.pdf\n"
    "     esfuerzo-cli summary ARCHIVO.est --patient ARCHIVO.DAT [--formula N] [--angina 0|1|2]\n"
    "     esfuerzo-cli export-edf ARCHIVO.est --patient ARCHIVO.DAT --out ARCHIVO.edf "
    "[--anonymous]\n"
    "     esfuerzo-cli backup copy|move CARPETA [NNNNNNNN.DAT ...]\n"
    "     esfuerzo-cli backup restore CARPETA NNNNNNNN.DAT [--replace]");

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
    if (!QFileInfo(path).isFile())
        throw FileError(path, QStringLiteral("apertura"),
                        QStringLiteral("no es un archivo normal"));
    if (!source.open(path))
        throw FileError(path, QStringLiteral("lectura"),
                        QStringLiteral("no contiene ninguna trama completa de 6 bytes"));
    return source.frameCount();
}

// The recording opened and the monitor in its start-up state with the options applied;
// returns how many frames to play (one pass unless --frames says otherwise).
qint64 startPlayback(const PlayOptions& o, SampleSource& source, LiveMonitor& monitor)
{
    const qint64 onePass = openRecording(source, o.file);
    monitor.settings.gainIndex = static_cast<std::uint8_t>(o.gainIndex);
    monitor.settings.filterOn = o.filter;
    return o.frames.value_or(onePass);
}

int play(const QStringList& args, QTextStream& out)
{
    SampleSource source;
    LiveMonitor monitor;
    const qint64 frames = startPlayback(parsePlay(args, true), source, monitor);
    out << "frame,write_index,ring0,ring1,ring2,shown0,shown1,shown2,heart_rate,beat_counter,"
           "beat_flag,qrs_update\n";
    // Rows formatted by hand into one buffer: a stream insertion per field costs several
    // times the signal processing itself.
    constexpr std::size_t kChunk = 1 << 16;
    std::string text;
    text.reserve(kChunk + 256);
    const auto field = [&text](auto value, char after) {
        char digits[24];
        text.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
        text.push_back(after);
    };
    for (qint64 f = 1; f <= frames; ++f) {
        const FrameReport r = monitor.processFrame(source.nextFrame(), nullptr);
        const int w = monitor.ring.writeIndex;
        field(f, ',');
        field(w, ',');
        for (int lead = 0; lead < kLeadCount; ++lead)
            field(monitor.ring.at(lead, w), ',');
        for (const int shown : r.shown)
            field(shown, ',');
        field(monitor.beats.heartRate, ',');
        field(monitor.beats.beatCounter, ',');
        field(monitor.beats.beatFlag ? 1 : 0, ',');
        field(r.qrsUpdate ? 1 : 0, '\n');
        if (text.size() >= kChunk || f == frames) {
            out << QLatin1StringView(text.data(), qsizetype(text.size()));
            text.clear();
        }
    }
    return kOk;
}

int qrs(const QStringList& args, QTextStream& out)
{
    SampleSource source;
    LiveMonitor monitor;
    const qint64 frames = startPlayback(parsePlay(args, false), source, monitor);
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

// Floats as the 7 significant digits they hold, so 2.7 reads 2.7 and not 2.700000047.
double shortest(float v)
{
    return QString::number(v, 'g', 7).toDouble();
}

QJsonObject protocolJson(const ProtocolRecord& p)
{
    QJsonObject o;
    o.insert(QStringLiteral("name"), p.name);
    o.insert(QStringLiteral("stageCount"), p.stageCount);
    o.insert(QStringLiteral("device"), p.device);
    QJsonArray stages;
    for (int n = 1; n <= p.usableStageCount(); ++n) {
        const StageEntry& s = p.stage(n);
        QJsonObject st;
        st.insert(QStringLiteral("number"), s.number);
        st.insert(QStringLiteral("type"), s.type);
        st.insert(QStringLiteral("duration"), s.duration);
        st.insert(QStringLiteral("load"), shortest(s.load));
        st.insert(QStringLiteral("slope"), shortest(s.slope));
        st.insert(QStringLiteral("speed"), shortest(s.speed));
        stages.append(st);
    }
    o.insert(QStringLiteral("stages"), stages);
    return o;
}

QJsonObject patientJson(const QString& path, const QList<StudyEntry>& entries)
{
    const PatientHeader h = readPatientHeader(path);
    QJsonObject o;
    o.insert(QStringLiteral("firstName"), h.data.firstName);
    o.insert(QStringLiteral("surname"), h.data.surname);
    o.insert(QStringLiteral("height"), h.data.height);
    o.insert(QStringLiteral("birthDate"), h.data.birthDate);
    o.insert(QStringLiteral("sex"), h.data.sex);
    o.insert(QStringLiteral("version"), h.version);
    o.insert(QStringLiteral("studyCount"), h.studyCount);
    QJsonArray studies;
    for (const StudyEntry& e : entries) {
        QJsonObject st;
        st.insert(QStringLiteral("file"), e.file);
        st.insert(QStringLiteral("date"), e.date);
        studies.append(st);
    }
    o.insert(QStringLiteral("studies"), studies);
    return o;
}

QJsonArray samples(const std::vector<std::int32_t>& v, qsizetype from, qsizetype to)
{
    QJsonArray a;
    for (qsizetype k = std::max<qsizetype>(from, 0); k < to && k < qsizetype(v.size()); ++k)
        a.append(v[static_cast<std::size_t>(k)]);
    return a;
}

QJsonObject recordJson(const StageRecord& r, bool allSamples)
{
    QJsonObject o;
    o.insert(QStringLiteral("kind"), r.kind);
    o.insert(QStringLiteral("elapsed"), r.elapsed);
    o.insert(QStringLiteral("stage"), r.stage);
    o.insert(QStringLiteral("leadSet"), r.leadSet);
    o.insert(QStringLiteral("gain"), r.gain);
    o.insert(QStringLiteral("speed"), r.speed);
    o.insert(QStringLiteral("filter"), r.filter);
    o.insert(QStringLiteral("diastolic"), r.diastolic);
    o.insert(QStringLiteral("systolic"), r.systolic);
    o.insert(QStringLiteral("heartRate"), r.heartRate);
    o.insert(QStringLiteral("angina"), r.angina);
    QJsonArray st;
    for (float v : r.st)
        st.append(shortest(v));
    o.insert(QStringLiteral("st"), st);
    o.insert(QStringLiteral("itt"), r.itt());
    QJsonArray strip;
    for (const auto& lead : r.strip) {
        const auto n = static_cast<qsizetype>(lead.size());
        if (allSamples) {
            strip.append(samples(lead, 0, n));
        } else {
            QJsonArray ends = samples(lead, 0, 3);
            for (const QJsonValue& v : samples(lead, n - 3, n))
                ends.append(v);
            strip.append(ends);
        }
    }
    o.insert(QStringLiteral("strip"), strip);
    return o;
}

// One value's indented JSON placed depth levels deep, without its last line end.
QByteArray nestedJson(const QJsonObject& o, int depth)
{
    QByteArray text = QJsonDocument(o).toJson(QJsonDocument::Indented).trimmed();
    return text.replace("\n", "\n" + QByteArray(4 * depth, ' '));
}

// The whole study, written record by record as it is read so memory stays that of one record;
// a torn tail is reported on stderr after the whole records, as for a damaged patient list.
int dumpStudy(const QStringList& args, QTextStream& out, QTextStream& err)
{
    QString path;
    QString version = kSoftwareVersion;
    bool allSamples = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--strips")) {
            allSamples = true;
        } else if (a == QLatin1String("--version") || a == QLatin1String("--patient")) {
            if (i + 1 >= args.size())
                throw UsageError{QStringLiteral("falta el valor de %1").arg(a)};
            const QString value = args[++i];
            version = a == QLatin1String("--version") ? value : readPatientHeader(value).version;
        } else if (a.startsWith(QLatin1String("--")) || !path.isEmpty()) {
            throw UsageError{QStringLiteral("argumento desconocido '%1'").arg(a)};
        } else {
            path = a;
        }
    }
    QFile file(path);
    openRegularFile(file, QIODevice::ReadOnly, QStringLiteral("apertura"));
    LeReader reader(file, path);
    const QJsonObject protocol =
        protocolJson(readStudyHeader(reader, usesOldProtocolHeader(version)));
    const bool withST = recordsHaveST(version);
    const qint64 size = withST ? kStageRecordSize : kOldStageRecordSize;
    out << "{\n    \"protocol\": " << nestedJson(protocol, 1) << ",\n    \"records\": [";
    qint64 records = 0;
    while (file.bytesAvailable() >= size) {
        out << (records++ == 0 ? "\n        " : ",\n        ")
            << nestedJson(recordJson(readStageRecord(reader, withST), allSamples), 2);
    }
    out << "\n    ]\n}\n";
    if (file.bytesAvailable() > 0) {
        err << "esfuerzo-cli: " << QFileInfo(path).fileName() << ": el archivo termina dentro del "
            << "registro " << records + 1 << " (" << file.bytesAvailable() << " bytes sobrantes)\n";
        return kBadFile;
    }
    return kOk;
}

int dump(const QStringList& args, QTextStream& out, QTextStream& err)
{
    if (!args.isEmpty() && args.front().endsWith(QLatin1String(".est"), Qt::CaseInsensitive))
        return dumpStudy(args, out, err);
    if (args.size() != 1)
        throw UsageError{QStringLiteral("dump necesita exactamente un archivo")};
    const QString& path = args.front();
    if (isReportFile(path))
        return dumpReport(path, out);
    const QString name = QFileInfo(path).fileName();
    const bool generalData = name.compare(kGeneralDataFileName, Qt::CaseInsensitive) == 0;
    const bool known = generalData || name.endsWith(QLatin1String(".ini"), Qt::CaseInsensitive) ||
                       name.endsWith(QLatin1String(".pro"), Qt::CaseInsensitive) ||
                       name.endsWith(QLatin1String(".dat"), Qt::CaseInsensitive);
    if (!known)
        throw UsageError{QStringLiteral("no sé interpretar el archivo '%1'").arg(name)};
    if (!QFileInfo::exists(path))
        throw FileError(path, QStringLiteral("apertura"), QStringLiteral("el archivo no existe"));
    if (generalData) {
        const GeneralData g = readGeneralData(path);
        QJsonObject o;
        o.insert(QStringLiteral("institution"), g.institution);
        o.insert(QStringLiteral("address"), g.address);
        o.insert(QStringLiteral("telephone"), g.telephone);
        o.insert(QStringLiteral("physician"), g.physician);
        o.insert(QStringLiteral("loadUnit"), g.loadUnit);
        o.insert(QStringLiteral("pressureUnit"), g.pressureUnit);
        o.insert(QStringLiteral("speedUnit"), g.speedUnit);
        o.insert(QStringLiteral("rateUnit"), g.rateUnit);
        o.insert(QStringLiteral("slopeUnit"), g.slopeUnit);
        o.insert(QStringLiteral("logo"), g.logo);
        out << QJsonDocument(o).toJson(QJsonDocument::Indented);
        return kOk;
    }
    if (name.endsWith(QLatin1String(".pro"), Qt::CaseInsensitive)) {
        out << QJsonDocument(protocolJson(loadProtocolFile(path))).toJson(QJsonDocument::Indented);
        return kOk;
    }
    if (name.endsWith(QLatin1String(".dat"), Qt::CaseInsensitive)) {
        const StudyList list = readStudyList(path);
        out << QJsonDocument(patientJson(path, list.entries)).toJson(QJsonDocument::Indented);
        if (!list.complete) {
            err << "esfuerzo-cli: " << name << ": la lista de estudios está dañada: el archivo "
                << "termina antes de la entrada " << list.entries.size() + 1 << '\n';
            return kBadFile;
        }
        return kOk;
    }
    const ZirodConfig c = readZirod(path);
    QJsonObject o;
    o.insert(QStringLiteral("lastPatientNumber"), c.lastPatientNumber);
    o.insert(QStringLiteral("portIndex"), c.portIndex);
    o.insert(QStringLiteral("protocolFileName"), c.protocolFileName);
    o.insert(QStringLiteral("maxHRFormula"), c.maxHRFormula);
    out << QJsonDocument(o).toJson(QJsonDocument::Indented);
    return kOk;
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
            return dump(rest, out, err);
        if (command == QLatin1String("backup"))
            return backup(rest, out, err);
        if (command == QLatin1String("review"))
            return review(rest, out, err);
        if (command == QLatin1String("print"))
            return print(rest, out, err);
        if (command == QLatin1String("summary"))
            return summary(rest, out, err);
        if (command == QLatin1String("export-edf"))
            return exportEdf(rest, out, err);
        if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
            out << kUsageText << '\n' << kHelpFooter << '\n';
            return kOk;
        }
        if (command == QLatin1String("--version")) {
            out << "esfuerzo-cli " << kSoftwareVersion << '\n';
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
