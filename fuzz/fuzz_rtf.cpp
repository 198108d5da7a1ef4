#include "FuzzTarget.h"
#include "report/RtfCodec.h"

#include <QTextDocument>

using namespace esf;

int fuzzOne(const std::uint8_t* data, std::size_t size)
{
    QTextDocument doc;
    readRtf(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), doc);
    // What was read must survive its own writer and reader unchanged.
    const QString text = doc.toPlainText();
    QTextDocument again;
    readRtf(writeRtf(doc), again);
    fuzz::require(again.toPlainText() == text, "report text changes when saved and read");
    (void)documentJson(doc);
    return 0;
}
