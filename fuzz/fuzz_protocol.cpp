#include "FuzzTarget.h"
#include "common/FileError.h"
#include "protocol/ProtocolRecord.h"

using namespace esf;

int fuzzOne(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzz::writeInput(QStringLiteral("PRUEBA.pro"), data, size);
    try {
        const ProtocolRecord p = loadProtocolFile(path);
        fuzz::require(p.usableStageCount() >= 0 && p.usableStageCount() <= kMaxStages,
                      "stage count out of range");
        for (int n = 0; n <= p.usableStageCount() + 1; ++n)
            (void)p.stage(n);
        const QByteArray bytes = encodeProtocol(p);
        fuzz::require(encodeProtocol(decodeProtocol(bytes, path)) == bytes,
                      "protocol does not read back");
    } catch (const FileError&) {
        fuzz::require(size < kProtocolRecordSize, "a whole protocol refused");
    }
    return 0;
}
