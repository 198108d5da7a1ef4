#include "FuzzTarget.h"
#include "app/ZirodIni.h"
#include "common/FileError.h"

using namespace esf;

int fuzzOne(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzz::writeInput(kZirodFileName, data, size);
    try {
        const ZirodConfig c = readZirod(path);
        fuzz::require(decodeZirod(encodeZirod(c), path) == c, "Zirod.ini does not read back");
    } catch (const FileError&) {
        fuzz::require(size < kZirodSize, "a whole Zirod.ini refused");
    }
    return 0;
}
