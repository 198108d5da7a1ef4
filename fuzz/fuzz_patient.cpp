#include "FuzzTarget.h"
#include "backup/Backup.h"
#include "common/FileError.h"
#include "records/PatientFile.h"
#include "records/StudyFile.h"

using namespace esf;

int fuzzOne(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzz::writeInput(QStringLiteral("00000001.DAT"), data, size);
    const QDir dir(fuzz::inputFolder());
    const QList<PatientListing> patients = listPatients(dir);
    fuzz::require(patients.size() == 1, "the patient is not listed");
    fuzz::require(patients.front().corrupt == (size < kPatientHeaderSize), "corrupt mark wrong");
    const StudyListing studies = listStudies(path);
    fuzz::require(studies.lines.size() == studies.files.size(), "chooser lines and files differ");
    try {
        const PatientHeader h = readPatientHeader(path);
        const StudyList counted = readStudyList(path);
        fuzz::require(counted.entries.size() <= h.studyCount, "more studies than the count");
        fuzz::require(counted.complete == (counted.entries.size() == h.studyCount),
                      "a short list not reported");
        const QList<StudyEntry> all = readStudyEntries(path);
        fuzz::require(all.size() <= kMaxStudies, "more than 255 studies");
        fuzz::require(all.mid(0, counted.entries.size()) == counted.entries, "lists disagree");
        (void)patientFileSet(dir, path.section(u'/', -1), false);
    } catch (const FileError&) {
        fuzz::require(size < kPatientHeaderSize, "a whole header refused");
    }
    return 0;
}
