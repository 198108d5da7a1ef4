#include "FuzzTarget.h"
#include "common/FileError.h"
#include "report/GeneralData.h"

using namespace esf;

int fuzzOne(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzz::writeInput(kGeneralDataFileName, data, size);
    const GeneralData d = readGeneralData(path);
    for (const QString* line : {&d.institution, &d.address, &d.telephone, &d.physician, &d.loadUnit,
                                &d.pressureUnit, &d.speedUnit, &d.rateUnit, &d.slopeUnit, &d.logo})
        fuzz::require(line->size() <= kGeneralDataLineBytes && !line->contains(u'\n'),
                      "a line longer than allowed or not split");
    UnitTexts units;
    loadUnits(path, units);
    fuzz::require(units.slope == d.slopeUnit, "units differ from the lines");
    return 0;
}
