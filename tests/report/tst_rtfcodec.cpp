#include "report/RtfCodec.h"

#include <QImage>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

using namespace esf;
using namespace Qt::StringLiterals;

namespace {

// One line per document: paragraphs split by " ¶ ", each its alignment (L C R J), its
// indents and spacing in pixels when set, "^" for a page break before, then its runs as
// font/size[b][i][u][s][/colour]:text, images as [img WxH].
QString summary(const QTextDocument& doc)
{
    QStringList paragraphs;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QTextBlockFormat bf = b.blockFormat();
        const Qt::Alignment a = bf.alignment() & Qt::AlignHorizontal_Mask;
        QString p = a & Qt::AlignHCenter   ? u"C"_s
                    : a & Qt::AlignRight   ? u"R"_s
                    : a & Qt::AlignJustify ? u"J"_s
                                           : u"L"_s;
        const QList<qreal> px{bf.leftMargin(), bf.rightMargin(), bf.textIndent(), bf.topMargin(),
                              bf.bottomMargin()};
        for (qsizetype i = 0; i < px.size(); ++i) {
            if (px[i] != 0)
                p += u' ' + u"li ri fi sb sa"_s.split(u' ')[i] + u'=' + QString::number(px[i]);
        }
        if (bf.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
            p += u" ^"_s;
        QStringList tabs;
        for (const QTextOption::Tab& t : bf.tabPositions())
            tabs << QString::number(t.position);
        if (!tabs.isEmpty())
            p += u" tx="_s + tabs.join(u',');
        QStringList runs;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (f.isImageFormat()) {
                const QTextImageFormat i = f.toImageFormat();
                runs << u"[img %1x%2]"_s.arg(i.width()).arg(i.height());
                continue;
            }
            QString r = f.fontFamilies().toStringList().value(0) + u'/' +
                        QString::number(f.fontPointSize());
            r += QString(f.fontWeight() > QFont::Medium ? u"b"_s : QString()) +
                 (f.fontItalic() ? u"i"_s : QString()) + (f.fontUnderline() ? u"u"_s : QString()) +
                 (f.fontStrikeOut() ? u"s"_s : QString());
            if (f.foreground().style() != Qt::NoBrush)
                r += u'/' + f.foreground().color().name();
            runs << r + u':' + it.fragment().text().replace(QChar(0x2028), u'\n');
        }
        paragraphs << (runs.isEmpty() ? p : p + u' ' + runs.join(u'|'));
    }
    return paragraphs.join(u" ¶ "_s);
}

const QByteArray kHead = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}"
                         "{\\f1\\froman{\\*\\panose 0203}Times New Roman;}}"
                         "{\\colortbl ;\\red255\\green0\\blue0;}";

} // namespace

class TestRtfCodec : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void reads_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const QByteArray& body, const QString& expected) {
            QTest::newRow(name) << body << expected;
        };
        row("8-bit text and hex escapes", "\xe1rbol \x80 \\'80 \\'d1", u"L Arial/12:árbol € € Ñ"_s);
        // Groups nested past the limit are read as one.
        row("deep nesting closed", QByteArray(1 << 20, '{') + "x" + QByteArray(1 << 20, '}') + "y}",
            u"L Arial/12:xy"_s);
        row("unicode, two fallbacks", "\\uc2\\u8805\\'3f\\'3fy", u"L Arial/12:≥y"_s);
        row("symbols", "\\{\\}\\\\\\~\\-\\emdash\\bullet\\lquote\\rdblquote",
            u"L Arial/12:{}\\\u00a0—•‘”"_s);
        row("table rows", "\\trowd\\cellx100\\cellx200\\intbl a\\cell\\cell c\\cell\\row d",
            u"L Arial/12:a\t\tc ¶ L Arial/12:d"_s);
        row("damaged png", "a{\\pict\\pngblip 89504e47}b", u"L Arial/12:ab"_s);
        row("binary count past the end", "a\\bin999999 b}", u"L Arial/12:a"_s);
        row("trailing backslash", "a\\", u"L Arial/12:a"_s);
        row("control bytes", QByteArray("a\0\x01\x7f b", 7), u"L Arial/12:a\x7f b"_s);
    }
    void reads()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        QTextDocument doc;
        readRtf(kHead + body, doc);
        QCOMPARE(summary(doc), expected);
    }
    void writtenReportsReadBackTheSame()
    {
        QTextDocument doc;
        readRtf(kHead + "\\qc\\b\\fs28 Informe {\\i it\\'e1lico} \\u8805? 2 mm \\u946?\\par"
                        "\\pard\\qj\\li720\\fi-360\\sb120\\sa60\\tx3000\\f1\\fs20 a\\tab b\\line c "
                        "{\\ul u}{\\strike s}{\\cf1 rojo} \\{\\\\\\}\\u-10179?\\u-8701?\\par"
                        "\\pard\\par\\page\\qr fin\\par}",
                doc);
        // A picture keeps its shown size and its pixels.
        QImage image(6, 3, QImage::Format_RGB32);
        image.fill(Qt::red);
        doc.addResource(QTextDocument::ImageResource, QUrl(u"x:1"_s), image);
        QTextCursor end(&doc);
        end.movePosition(QTextCursor::End);
        QTextImageFormat f;
        f.setName(u"x:1"_s);
        f.setWidth(60);
        f.setHeight(30);
        end.insertImage(f);
        const QString before = summary(doc);
        QVERIFY(before.endsWith(u"[img 60x30]"_s));
        const QByteArray written = writeRtf(doc);
        QVERIFY(written.startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0"));
        QVERIFY(written.contains("\\u8805?") && written.contains("it\\'e1lico"));
        for (const char c : written)
            QVERIFY(static_cast<unsigned char>(c) < 0x80); // 7-bit, as RTF readers expect
        QTextDocument back;
        readRtf(written, back);
        QCOMPARE(summary(back), before);
        QCOMPARE(writeRtf(back), written);
        QTextCursor at(&back);
        at.movePosition(QTextCursor::End);
        const QImage loaded = back.resource(QTextDocument::ImageResource,
                                            QUrl(at.charFormat().toImageFormat().name()))
                                  .value<QImage>();
        QCOMPARE(loaded.size(), QSize(6, 3));
        QCOMPARE(loaded.pixelColor(5, 2), QColor(Qt::red));
    }
};

QTEST_MAIN(TestRtfCodec)
#include "tst_rtfcodec.moc"
