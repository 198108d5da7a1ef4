#include "report/ClinicalSummary.h"

#include "common/FileError.h"
#include "protocol/MaxHeartRate.h"
#include "records/StudyReview.h"

#include <algorithm>
#include <cmath>

namespace esf {
namespace {

const QString kDash = QStringLiteral("—");
constexpr double kStToMm = 10.0; // at 10 mm/mV
constexpr int kLowIndex = 8;     // chronotropic index below 0.8, in tenths

std::int32_t typeOf(const ProtocolRecord& p, const StageRecord& r)
{
    return p.stage(r.stage).type;
}

template <class T> Measured<T> missing(const QString& why)
{
    return Measured<T>{std::nullopt, why};
}

bool isStandardBruce(const ProtocolRecord& p)
{
    if (p.name.trimmed().compare(QStringLiteral("BRUCE"), Qt::CaseInsensitive) != 0)
        return false;
    bool anyExercise = false;
    for (int s = 1; s <= p.usableStageCount(); ++s) {
        const StageEntry& e = p.stage(s);
        if (e.type != StageType::Ejercicio)
            continue;
        anyExercise = true;
        if (e.duration != 180)
            return false;
    }
    return anyExercise;
}

QString oneDecimal(double v)
{
    return QString::number(v, 'f', 1);
}

} // namespace

double treadmillMets(double speedKmh, double slopePercent)
{
    const double s = speedKmh * 1000.0 / 60.0; // m/min
    const double g = slopePercent / 100.0;
    const double vo2 = speedKmh < 8.0 ? 3.5 + 0.1 * s + 1.8 * s * g : 3.5 + 0.2 * s + 0.9 * s * g;
    return std::round(vo2 / 3.5 * 10.0) / 10.0;
}

DukeRisk dukeRisk(double score)
{
    if (score >= 5.0)
        return DukeRisk::Low;
    if (score <= -11.0)
        return DukeRisk::High;
    return DukeRisk::Moderate;
}

QString dukeRiskText(DukeRisk risk)
{
    switch (risk) {
    case DukeRisk::Low:
        return QStringLiteral("Riesgo bajo");
    case DukeRisk::Moderate:
        return QStringLiteral("Riesgo moderado");
    case DukeRisk::High:
        return QStringLiteral("Riesgo alto");
    }
    return {};
}

QStringList ClinicalSummary::flags() const
{
    QStringList out;
    if (chronotropicIncompetence)
        out << QStringLiteral("Incompetencia cronotrópica");
    if (abnormalRecovery)
        out << QStringLiteral("Recuperación de FC anormal");
    if (systolicDrop)
        out << QStringLiteral("Caída de PA en ejercicio");
    return out;
}

ClinicalSummary computeClinicalSummary(const SummaryInput& in)
{
    ClinicalSummary s;
    const ProtocolRecord& p = in.protocol;
    const std::vector<StageRecord>& recs = in.records;
    const QString noRecords = QStringLiteral("el estudio no tiene registros");
    const QString noExercise = QStringLiteral("no hay registros de ejercicio");

    std::vector<const StageRecord*> exercise;
    for (const StageRecord& r : recs)
        if (typeOf(p, r) == StageType::Ejercicio)
            exercise.push_back(&r);

    // Rest: the first record of a basal stage, else the first record.
    if (recs.empty()) {
        s.restHR = missing<int>(noRecords);
    } else {
        const auto basal = std::find_if(recs.begin(), recs.end(), [&](const StageRecord& r) {
            return typeOf(p, r) == StageType::Basal;
        });
        s.restHR.value = (basal != recs.end() ? *basal : recs.front()).heartRate;
    }

    if (exercise.empty()) {
        s.peakHR = missing<int>(noExercise);
    } else {
        s.peakHR.value = (*std::max_element(exercise.begin(), exercise.end(), [](auto* a, auto* b) {
                             return a->heartRate < b->heartRate;
                         }))->heartRate;
    }

    const int predicted = maxHeartRate(in.age, in.sex, in.formula, in.userMaxHR).maxHR;
    if (predicted > 0)
        s.predictedMaxHR.value = predicted;
    else
        s.predictedMaxHR = missing<int>(QStringLiteral("la fórmula elegida no da un valor"));

    if (s.peakHR.value && s.predictedMaxHR.value) {
        s.percentOfPredicted.value = 100.0 * *s.peakHR.value / *s.predictedMaxHR.value;
    } else {
        s.percentOfPredicted.why = s.peakHR.value ? s.predictedMaxHR.why : s.peakHR.why;
    }

    if (!s.peakHR.value || !s.restHR.value || !s.predictedMaxHR.value) {
        s.chronotropicIndex.why = !s.peakHR.value           ? s.peakHR.why
                                  : !s.predictedMaxHR.value ? s.predictedMaxHR.why
                                                            : s.restHR.why;
    } else if (*s.predictedMaxHR.value <= *s.restHR.value) {
        s.chronotropicIndex.why =
            QStringLiteral("la frecuencia de reposo alcanza la máxima prevista");
    } else {
        const int reserveUsed = *s.peakHR.value - *s.restHR.value;
        const int reserve = *s.predictedMaxHR.value - *s.restHR.value;
        s.chronotropicIndex.value = double(reserveUsed) / reserve;
        // Compared in integers so 0.8 itself is never flagged through a rounding error.
        s.chronotropicIncompetence = qint64(reserveUsed) * 10 < qint64(reserve) * kLowIndex;
    }

    // Recovery: the first record 60 ± 15 s after the last exercise record.
    if (exercise.empty()) {
        s.hrRecovery.why = noExercise;
    } else {
        const StageRecord* last = exercise.back();
        const auto after = recs.begin() + (last - recs.data()) + 1;
        const auto at = std::find_if(after, recs.end(), [&](const StageRecord& r) {
            const qint64 d = qint64(r.elapsed) - last->elapsed;
            return d >= 45 && d <= 75;
        });
        if (at == recs.end()) {
            s.hrRecovery.why = QStringLiteral("no hay registro entre 45 y 75 s de recuperación");
        } else {
            s.hrRecovery.value = *s.peakHR.value - at->heartRate;
            s.abnormalRecovery = *s.hrRecovery.value <= 12;
        }
    }

    // Pressures: only records where a pressure was entered.
    int runningMax = 0;
    for (const StageRecord* r : exercise) {
        if (r->systolic <= 0)
            continue;
        if (runningMax > 0 && r->systolic <= runningMax - 10)
            s.systolicDrop = true;
        runningMax = std::max(runningMax, int(r->systolic));
        const qint64 product = qint64(r->systolic) * r->heartRate;
        const int clipped = int(std::clamp<qint64>(product, 0, INT32_MAX));
        s.peakDoubleProduct.value = std::max(s.peakDoubleProduct.value.value_or(0), clipped);
    }
    if (runningMax > 0) {
        s.peakSystolic.value = runningMax;
    } else {
        s.peakSystolic.why =
            exercise.empty() ? noExercise : QStringLiteral("no hay presiones de ejercicio");
        s.peakDoubleProduct.why = s.peakSystolic.why;
    }

    // Exercise time: from the end of the basal stages to the last exercise record.
    if (exercise.empty()) {
        s.exerciseSeconds.why = noExercise;
        s.mets.why = noExercise;
    } else {
        std::int32_t basalEnd = 0;
        for (const StageRecord& r : recs)
            if (typeOf(p, r) == StageType::Basal && &r < exercise.front())
                basalEnd = std::max(basalEnd, r.elapsed);
        s.exerciseSeconds.value = std::max(0, exercise.back()->elapsed - basalEnd);

        const StageEntry& peak = p.stage(exercise.back()->stage);
        if (p.device == Device::Cinta)
            s.mets.value = treadmillMets(peak.speed, peak.slope);
        else if (p.device == Device::Bicicleta)
            s.mets.why = QStringLiteral("en bicicleta requiere el peso, que el archivo no tiene");
        else
            s.mets.why = QStringLiteral("el protocolo no indica el ergómetro");
    }

    std::optional<double> deepestMm;
    for (std::size_t lead = 0; lead < s.maxST.size(); ++lead) {
        for (const StageRecord& r : recs) {
            const float v = r.st[lead];
            if (v == kStNotMeasured || !std::isfinite(v))
                continue;
            auto& m = s.maxST[lead].value;
            if (!m || std::abs(v) > std::abs(*m))
                m = v;
        }
        if (s.maxST[lead].value)
            deepestMm = std::max(deepestMm.value_or(0.0), std::abs(*s.maxST[lead].value) * kStToMm);
        else
            s.maxST[lead].why = QStringLiteral("no se midió el ST");
    }

    const bool anyAngina =
        std::any_of(recs.begin(), recs.end(), [](const StageRecord& r) { return r.angina != 0; });
    s.anginaIndex = in.anginaIndex >= 0 && in.anginaIndex <= 2 ? in.anginaIndex : anyAngina;
    if (!isStandardBruce(p)) {
        s.dukeScore.why = QStringLiteral("sólo para el protocolo BRUCE con etapas de 3 minutos");
    } else if (!s.exerciseSeconds.value) {
        s.dukeScore.why = s.exerciseSeconds.why;
    } else if (!deepestMm) {
        s.dukeScore.why = QStringLiteral("no se midió el ST");
    } else {
        const double score =
            *s.exerciseSeconds.value / 60.0 - 5.0 * *deepestMm - 4.0 * s.anginaIndex;
        s.dukeScore.value = score;
        s.dukeRisk = dukeRisk(score);
    }
    return s;
}

SummaryInput readSummaryInput(const QString& studyPath, const PatientData& patient,
                              const QString& patientVersion, const QDate& today, int formula,
                              int userMaxHR)
{
    StudyTrend trend = readStudyTrend(studyPath, patientVersion);
    if (!trend.readable)
        throw FileError(studyPath, QStringLiteral("lectura"),
                        QStringLiteral("no se pudo leer la cabecera del estudio"));
    SummaryInput in;
    in.protocol = trend.protocol;
    in.records = std::move(trend.records);
    in.age = patientAge(patient.birthDate, today);
    in.sex = patient.sex != 0 ? 0 : 1; // the file keeps 1 for male, the formulas 0
    in.formula = formula;
    in.userMaxHR = userMaxHR;
    return in;
}

QList<SummaryRow> summaryRows(const ClinicalSummary& s, const QString& rateUnit,
                              const QString& pressureUnit)
{
    auto show = [](const auto& m, auto format) {
        return m.value ? format(*m.value) : kDash + QStringLiteral(" (") + m.why + u')';
    };
    auto withUnit = [](const QString& unit) {
        return [unit](int v) { return QString::number(v) + u' ' + unit; };
    };
    QList<SummaryRow> rows;
    rows
        << SummaryRow{QStringLiteral("FC de reposo"), show(s.restHR, withUnit(rateUnit)), {}}
        << SummaryRow{QStringLiteral("FC máxima alcanzada"), show(s.peakHR, withUnit(rateUnit)), {}}
        << SummaryRow{QStringLiteral("FC máxima prevista"),
                      show(s.predictedMaxHR, withUnit(rateUnit)),
                      {}}
        << SummaryRow{QStringLiteral("% de la FC máxima prevista"),
                      show(s.percentOfPredicted,
                           [](double v) { return oneDecimal(v) + QStringLiteral(" %"); }),
                      {}}
        << SummaryRow{QStringLiteral("Índice cronotrópico"),
                      show(s.chronotropicIndex,
                           [](double v) { return QString::number(v, 'f', 2); }),
                      s.chronotropicIncompetence ? QStringLiteral("Incompetencia cronotrópica")
                                                 : QString()}
        << SummaryRow{QStringLiteral("Recuperación de la FC al minuto"),
                      show(s.hrRecovery, withUnit(rateUnit)),
                      s.abnormalRecovery ? QStringLiteral("Recuperación de FC anormal") : QString()}
        << SummaryRow{QStringLiteral("PA sistólica máxima"),
                      show(s.peakSystolic, withUnit(pressureUnit)),
                      s.systolicDrop ? QStringLiteral("Caída de PA en ejercicio") : QString()}
        << SummaryRow{QStringLiteral("Doble producto máximo"),
                      show(s.peakDoubleProduct, [](int v) { return QString::number(v); }),
                      {}}
        << SummaryRow{QStringLiteral("Tiempo de ejercicio"),
                      show(s.exerciseSeconds, [](int v) { return formatStageTime(v); }),
                      {}}
        << SummaryRow{QStringLiteral("METs en la etapa máxima"),
                      show(s.mets, [](double v) { return oneDecimal(v); }),
                      {}};
    const std::array<QString, 3> leads = {QStringLiteral("D2"), QStringLiteral("V2"),
                                          QStringLiteral("V5")};
    for (std::size_t i = 0; i < leads.size(); ++i)
        rows << SummaryRow{QStringLiteral("Desnivel ST máximo ") + leads[i],
                           show(s.maxST[i],
                                [](double v) {
                                    return QString::number(v, 'f', 3) + QStringLiteral(" mV (") +
                                           oneDecimal(v * kStToMm) + QStringLiteral(" mm)");
                                }),
                           {}};
    rows << SummaryRow{QStringLiteral("Puntaje de Duke"),
                       show(s.dukeScore,
                            [&](double v) {
                                return oneDecimal(v) + QStringLiteral(" (") +
                                       dukeRiskText(*s.dukeRisk) + u')';
                            }),
                       {}};
    return rows;
}

} // namespace esf
