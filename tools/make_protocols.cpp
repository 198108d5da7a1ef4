// Writes the standard protocols shipped with the workstation: "BRUCE", "BRUCE MODIFICADO"
// (treadmill) and "OMS 25W" (bicycle), as NAME.pro files in the folder given (default data/).
// Deterministic: running it again gives the same bytes.

#include "common/FileError.h"
#include "protocol/ProtocolRecord.h"

#include <QDir>
#include <QString>

#include <cstdio>
#include <vector>

namespace {

using namespace esf;

struct Step {
    std::int32_t type;
    std::int32_t seconds;
    float first;  // speed (treadmill) or load (bicycle)
    float second; // slope (treadmill)
};

ProtocolRecord makeProtocol(const QString& name, std::int32_t device,
                            const std::vector<Step>& steps)
{
    ProtocolRecord p = ProtocolRecord::cleared();
    p.name = name;
    p.device = device;
    p.stageCount = static_cast<std::uint8_t>(steps.size());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        StageEntry& s = p.stage(static_cast<int>(i) + 1);
        s.number = static_cast<std::uint8_t>(i + 1);
        s.type = steps[i].type;
        s.duration = steps[i].seconds;
        if (device == Device::Cinta) {
            s.speed = steps[i].first;
            s.slope = steps[i].second;
        } else {
            s.load = steps[i].first;
        }
    }
    return p;
}

// Bruce's exercise stages: 3 minutes each, km/h and %.
const std::vector<Step> kBruceExercise = {
    {StageType::Ejercicio, 180, 2.7f, 10.0f}, {StageType::Ejercicio, 180, 4.0f, 12.0f},
    {StageType::Ejercicio, 180, 5.5f, 14.0f}, {StageType::Ejercicio, 180, 6.8f, 16.0f},
    {StageType::Ejercicio, 180, 8.0f, 18.0f}, {StageType::Ejercicio, 180, 8.8f, 20.0f},
    {StageType::Ejercicio, 180, 9.7f, 22.0f}};

std::vector<Step> bruce()
{
    std::vector<Step> steps = {{StageType::Basal, 180, 0.0f, 0.0f}};
    steps.insert(steps.end(), kBruceExercise.begin(), kBruceExercise.end());
    steps.push_back({StageType::Recuperacion, 120, 2.7f, 0.0f});
    steps.push_back({StageType::Recuperacion, 120, 2.0f, 0.0f});
    steps.push_back({StageType::Recuperacion, 120, 1.5f, 0.0f});
    return steps;
}

std::vector<Step> modifiedBruce()
{
    std::vector<Step> steps = {{StageType::Basal, 180, 0.0f, 0.0f},
                               {StageType::Ejercicio, 180, 2.7f, 0.0f},
                               {StageType::Ejercicio, 180, 2.7f, 5.0f}};
    steps.insert(steps.end(), kBruceExercise.begin(), kBruceExercise.end());
    steps.push_back({StageType::Recuperacion, 120, 2.7f, 0.0f});
    steps.push_back({StageType::Recuperacion, 120, 2.0f, 0.0f});
    return steps;
}

std::vector<Step> oms25()
{
    std::vector<Step> steps = {{StageType::Basal, 120, 0.0f, 0.0f}};
    for (int watts = 25; watts <= 200; watts += 25)
        steps.push_back({StageType::Ejercicio, 120, static_cast<float>(watts), 0.0f});
    steps.push_back({StageType::Recuperacion, 120, 25.0f, 0.0f});
    steps.push_back({StageType::Recuperacion, 120, 0.0f, 0.0f});
    steps.push_back({StageType::Recuperacion, 120, 0.0f, 0.0f});
    return steps;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 2) {
        std::fprintf(stderr, "usage: make-protocols [FOLDER]\n");
        return 2;
    }
    const QDir folder(argc == 2 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("data"));
    struct Definition {
        QString name;
        std::int32_t device;
        std::vector<Step> steps;
    };
    const std::vector<Definition> definitions = {
        {QStringLiteral("BRUCE"), Device::Cinta, bruce()},
        {QStringLiteral("BRUCE MODIFICADO"), Device::Cinta, modifiedBruce()},
        {QStringLiteral("OMS 25W"), Device::Bicicleta, oms25()}};
    try {
        for (const Definition& d : definitions) {
            if (d.steps.size() > static_cast<std::size_t>(kMaxStages)) {
                std::fprintf(stderr, "make-protocols: %s has more than %d stages\n",
                             d.name.toLocal8Bit().constData(), kMaxStages);
                return 1;
            }
            const ProtocolRecord p = makeProtocol(d.name, d.device, d.steps);
            const QString path = saveProtocolFile(folder, p);
            std::printf("%s: %d stages\n", path.toLocal8Bit().constData(), p.stageCount);
        }
    } catch (const FileError& e) {
        std::fprintf(stderr, "make-protocols: %s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
