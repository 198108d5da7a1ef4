#include "report/EdfExport.h"

#include "acquisition/DisplaySettings.h"
#include "common/FileError.h"

#include <QDate>
#include <QFile>
#include <algorithm>
#include <edflib.h>

namespace esf {
namespace {

const QString kWriting = QStringLiteral("escritura");
constexpr int kSamplesPerStrip = kEdfSampleRate * kEdfSecondsPerStrip;
constexpr double kUnitsPerMv = 140.0;

// EDF+ header fields are plain ASCII without blanks.
QByteArray headerText(const QString& text)
{
    QByteArray out;
    for (QChar c : text.normalized(QString::NormalizationForm_D)) {
        if (c.unicode() >= 0x21 && c.unicode() < 0x7F)
            out += char(c.unicode());
        else if (c == u' ')
            out += '_';
    }
    return out;
}

double gainOf(const StageRecord& r)
{
    return kGainTable[std::min<std::size_t>(r.gain, kGainTable.size() - 1)];
}

class EdfFile {
public:
    EdfFile(const QString& path, int signals) : m_path(path)
    {
        m_handle = edfopen_file_writeonly(QFile::encodeName(path).constData(),
                                          EDFLIB_FILETYPE_EDFPLUS, signals);
        if (m_handle < 0)
            fail(QStringLiteral("no se pudo crear (código %1)").arg(m_handle));
    }
    ~EdfFile()
    {
        if (m_handle >= 0)
            edfclose_file(m_handle);
    }
    int handle() const { return m_handle; }
    void check(int result) const
    {
        if (result < 0)
            fail(QStringLiteral("la biblioteca EDF rechazó los datos (código %1)").arg(result));
    }
    void close()
    {
        const int r = edfclose_file(m_handle);
        m_handle = -1;
        check(r);
    }
    [[noreturn]] void fail(const QString& why) const { throw FileError(m_path, kWriting, why); }

private:
    QString m_path;
    int m_handle = -1;
};

} // namespace

QStringList edfAnnotations(const StageRecord& r, const ProtocolRecord& protocol)
{
    QStringList out;
    out << (QStringLiteral("Etapa %1 ").arg(r.stage) + stageTypeName(protocol.stage(r.stage).type))
               .trimmed();
    out << QStringLiteral("PA %1/%2").arg(r.systolic).arg(r.diastolic);
    out << QStringLiteral("FC %1").arg(r.heartRate);
    if (r.angina)
        out << QStringLiteral("Angor");
    if (r.kind != RecordKind::Automatic)
        out << QStringLiteral("Manual");
    out << QStringLiteral("Tiempo del estudio ") + formatStageTime(r.elapsed);
    return out;
}

void exportEdf(const QString& path, const EdfExportInput& in)
{
    if (in.records.empty())
        throw FileError(path, kWriting, QStringLiteral("el estudio no tiene registros"));
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    try {
        EdfFile edf(part, kLeadCount);
        // One scale for every record: the lowest gain gives the widest range.
        double lowestGain = gainOf(in.records.front());
        for (const StageRecord& r : in.records)
            lowestGain = std::min(lowestGain, gainOf(r));
        const double physMax = 32767.0 / (kUnitsPerMv * lowestGain) * 1000.0;
        const std::array<const char*, 3> labels = {"ECG II", "ECG V2", "ECG V5"};
        for (int s = 0; s < kLeadCount; ++s) {
            edf.check(edf_set_samplefrequency(edf.handle(), s, kEdfSampleRate));
            edf.check(edf_set_physical_maximum(edf.handle(), s, physMax));
            edf.check(edf_set_physical_minimum(edf.handle(), s, -physMax));
            edf.check(edf_set_digital_maximum(edf.handle(), s, 32767));
            edf.check(edf_set_digital_minimum(edf.handle(), s, -32767));
            edf.check(edf_set_label(edf.handle(), s, labels[std::size_t(s)]));
            edf.check(edf_set_physical_dimension(edf.handle(), s, "uV"));
        }
        const QDate date = QDate::fromString(in.studyDate, QStringLiteral("dd/MM/yyyy"));
        if (in.anonymous || !date.isValid() || date.year() < 1985 || date.year() > 2084)
            edf.check(edf_set_startdatetime(edf.handle(), 1985, 1, 1, 0, 0, 0));
        else
            edf.check(edf_set_startdatetime(edf.handle(), date.year(), date.month(), date.day(), 0,
                                            0, 0));
        if (!in.anonymous) {
            edf.check(edf_set_patientname(
                edf.handle(),
                headerText(in.patient.surname + QStringLiteral(", ") + in.patient.firstName)
                    .constData()));
            edf.check(edf_set_patientcode(edf.handle(), headerText(in.patientCode).constData()));
            edf.check(edf_set_gender(edf.handle(), in.patient.sex ? 1 : 0));
            const QDate birth =
                QDate::fromString(in.patient.birthDate, QStringLiteral("dd/MM/yyyy"));
            if (birth.isValid() && birth.year() >= 1800 && birth.year() <= 3000)
                edf.check(
                    edf_set_birthdate(edf.handle(), birth.year(), birth.month(), birth.day()));
        }
        edf.check(edf_set_equipment(edf.handle(), "Esfuerzo"));

        std::vector<double> second(std::size_t(kLeadCount) * kEdfSampleRate);
        for (std::size_t n = 0; n < in.records.size(); ++n) {
            const StageRecord& r = in.records[n];
            const double toMicroVolts = 1000.0 / (kUnitsPerMv * gainOf(r));
            for (int sec = 0; sec < kEdfSecondsPerStrip; ++sec) {
                for (int lead = 0; lead < kLeadCount; ++lead) {
                    const std::vector<std::int32_t>& strip = r.strip[std::size_t(lead)];
                    for (int i = 0; i < kEdfSampleRate; ++i) {
                        // The last ten seconds: the strip's oldest sample is left out.
                        const std::size_t at = strip.size() - std::size_t(kSamplesPerStrip) +
                                               std::size_t(sec * kEdfSampleRate + i);
                        const double v = strip.size() >= std::size_t(kSamplesPerStrip)
                                             ? strip[at] * toMicroVolts
                                             : 0.0;
                        second[std::size_t(lead * kEdfSampleRate + i)] =
                            std::clamp(v, -physMax, physMax);
                    }
                }
                edf.check(edf_blockwrite_physical_samples(edf.handle(), second.data()));
            }
            const long long onset = 10000LL * kEdfSecondsPerStrip * qint64(n);
            for (const QString& text : edfAnnotations(r, in.protocol))
                edf.check(
                    edfwrite_annotation_utf8(edf.handle(), onset, -1, text.toUtf8().constData()));
        }
        edf.close();
    } catch (...) {
        QFile::remove(part);
        throw;
    }
    QFile::remove(path);
    if (!QFile::rename(part, path)) {
        QFile::remove(part);
        throw FileError(path, kWriting, QStringLiteral("no se pudo reemplazar el archivo"));
    }
}

} // namespace esf
