#include "protocol/StageRun.h"

#include "common/NumberFormat.h"
#include "common/Rounding.h"

namespace esf {

void stopProtocol(RunState& run, const ProtocolRecord& protocol)
{
    run.currentStage = 1;
    run.stageRemaining = protocol.stage(1).duration;
}

void resetStudyState(RunState& run, StudySession& session)
{
    session.studyFileName.clear();
    session.studyDate.clear();
    session.newStudyPending = false;
    run.printSelection.reset();
    run.currentStage = 1;
}

StagePanel stagePanel(const RunState& run, const ProtocolRecord& protocol, bool clockRunning)
{
    StagePanel panel;
    const StageEntry& stage = protocol.stage(run.currentStage);
    panel.stageLabel = clockRunning ? QStringLiteral("Etapa nº %1").arg(run.currentStage)
                                    : QStringLiteral("Prot. detenido");
    const QString type = stageTypeName(stage.type);
    if (!type.isEmpty())
        panel.typeText = type;
    if (protocol.device == Device::Cinta) {
        panel.loadCaption = QStringLiteral("Velocidad");
        panel.loadText = formatPicture(stage.speed, QStringLiteral("##0.0"));
        panel.slopeEnabled = true;
        panel.slopeText = formatPicture(stage.slope, QStringLiteral("#0.0"));
    } else if (protocol.device == Device::Bicicleta) {
        panel.loadCaption = QStringLiteral("Carga");
        panel.loadText = formatPicture(stage.load, QStringLiteral("###0.0"));
        panel.slopeEnabled = false;
        panel.slopeText = QStringLiteral("----");
    }
    if (stage.duration < 1) {
        panel.progress = 0;
        panel.gaugeToNavy = true;
    } else {
        panel.progress = static_cast<int>(
            roundHalfEvenRatio(std::int64_t(run.stageRemaining) * 100, stage.duration));
    }
    return panel;
}

} // namespace esf
