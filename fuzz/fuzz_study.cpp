#include "FuzzTarget.h"
#include "common/FileError.h"
#include "records/StudyFile.h"
#include "records/StudyReview.h"

using namespace esf;

// The first byte picks the patient version: old header, current header without ST, with ST.
int fuzzOne(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const QString versions[] = {QStringLiteral("2003.1.0"), QStringLiteral("2006.1.0"),
                                       QStringLiteral("2007.1.1")};
    const QString& version = versions[data[0] % 3];
    const QString path = fuzz::writeInput(QStringLiteral("0001_001.est"), data + 1, size - 1);
    const qint64 body = qint64(size) - 1 - kProtocolRecordSize;
    const qint64 recordSize = recordsHaveST(version) ? kStageRecordSize : kOldStageRecordSize;
    const StudyTrend trend = readStudyTrend(path, version);
    fuzz::require(trend.readable == (body >= 0), "header readability wrong");
    if (trend.readable) {
        fuzz::require(qint64(trend.records.size()) == body / recordSize, "records lost or made up");
        fuzz::require(trend.tornTail == (body % recordSize != 0), "torn tail not seen");
    }
    for (int n : {1, 2, 3, 1000}) {
        const StudyRead r = readStudyRecord(path, n, version);
        fuzz::require(r.recordsRead <= n, "read past the record asked for");
    }
    StudyReview review;
    if (review.open(path, version)) {
        review.next();
        review.previous();
    }
    return 0;
}
