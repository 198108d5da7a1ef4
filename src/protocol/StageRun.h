#pragma once

#include "protocol/ProtocolRecord.h"

#include <QString>
#include <bitset>
#include <cstdint>
#include <optional>

namespace esf {

inline constexpr int kPrintSelectionSize = 51;

// The run of a study through the current protocol.
struct RunState {
    std::uint8_t currentStage = 1;
    std::int32_t stageRemaining = 0;
    std::int32_t studyElapsed = 0;
    std::bitset<kPrintSelectionSize> printSelection;
};

// The patient and study that records go to, owned by the main window.
struct StudySession {
    QString patientFile; // e.g. 00000012.DAT; empty when no patient is open
    std::uint8_t studyCount = 0;
    QString patientVersion;
    bool newStudyPending = false;
    QString studyFileName;
    QString studyDate;
};

// Back to stage 1 with its full time. The caller stops the clock and resets the controls.
void stopProtocol(RunState& run, const ProtocolRecord& protocol);
// A patient change forgets the study in hand.
void resetStudyState(RunState& run, StudySession& session);

// What the stage panel shows. Fields left empty keep what the panel already shows, as a
// stage without a known type or device does.
struct StagePanel {
    QString stageLabel;
    std::optional<QString> typeText;
    std::optional<QString> loadCaption;
    std::optional<QString> loadText;
    std::optional<QString> slopeText;
    std::optional<bool> slopeEnabled;
    int progress = 0;         // bar and gauge, 0..100
    bool gaugeToNavy = false; // a stage without duration resets the warning colour
};

StagePanel stagePanel(const RunState& run, const ProtocolRecord& protocol, bool clockRunning);

} // namespace esf
