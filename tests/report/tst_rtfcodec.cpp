#include "TestFiles.h"
#include "report/RtfCodec.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

using namespace esf;
using namespace esf::test;
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
        const std::pair<const char*, double> spaces[] = {{"li", bf.leftMargin()},
                                                         {"ri", bf.rightMargin()},
                                                         {"fi", bf.textIndent()},
                                                         {"sb", bf.topMargin()},
                                                         {"sa", bf.bottomMargin()}};
        for (const auto& [name, px] : spaces) {
            if (px != 0)
                p += u' ' + QLatin1String(name) + u'=' + QString::number(px);
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

QString read(const QByteArray& rtf)
{
    QTextDocument doc;
    readRtf(rtf, doc);
    return summary(doc);
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
        row("plain paragraphs", "Hola\\par Mundo\\par", u"L Arial/12:Hola ¶ L Arial/12:Mundo"_s);
        row("hex escapes", "\\'e1rbol \\'80 \\'d1", u"L Arial/12:árbol € Ñ"_s);
        row("unicode, one fallback", "\\uc1\\u8805?x", u"L Arial/12:≥x"_s);
        row("unicode, two fallbacks", "\\uc2\\u8805\\'3f\\'3fy", u"L Arial/12:≥y"_s);
        row("unicode, no fallback", "\\uc0\\u946 z", u"L Arial/12:βz"_s);
        row("unicode surrogate pair", "\\u-10179?\\u-8701?", u"L Arial/12:😃"_s);
        row("fallback ends with its group", "{\\uc3\\u8805 a}b", u"L Arial/12:≥b"_s);
        row("fonts and sizes", "\\f1\\fs20 a\\f0\\fs30 b", u"L Times New Roman/10:a|Arial/15:b"_s);
        row("styles", "\\b a\\b0\\i b\\i0\\ul c\\ulnone\\strike d\\strike0 e",
            u"L Arial/12b:a|Arial/12i:b|Arial/12u:c|Arial/12s:d|Arial/12:e"_s);
        row("underline forms", "\\uldb a\\ul0 b", u"L Arial/12u:a|Arial/12:b"_s);
        row("colour", "\\cf1 r\\cf0 a\\cf9 z", u"L Arial/12/#ff0000:r|Arial/12:az"_s);
        row("plain", "\\b\\i\\fs40\\f1 a\\plain b", u"L Times New Roman/20bi:a|Arial/12:b"_s);
        row("groups scope formats", "{\\b a}b", u"L Arial/12b:a|Arial/12:b"_s);
        row("line and tab", "a\\line b\\tab c", u"L Arial/12:a\nb\tc"_s);
        row("symbols", "\\{\\}\\\\\\~\\-\\emdash\\bullet\\lquote\\rdblquote",
            u"L Arial/12:{}\\\u00a0—•‘”"_s);
        row("alignment lasts until pard", "\\qc a\\par b\\par\\pard c",
            u"C Arial/12:a ¶ C Arial/12:b ¶ L Arial/12:c"_s);
        row("alignments", "\\qr a\\par\\qj b", u"R Arial/12:a ¶ J Arial/12:b"_s);
        row("indents and spacing", "\\li720\\ri360\\fi-360\\sb120\\sa60 a",
            u"L li=48 ri=24 fi=-24 sb=8 sa=4 Arial/12:a"_s);
        row("page", "a\\page b", u"L Arial/12:a ¶ L ^ Arial/12:b"_s);
        row("tab stops", "\\tx1440\\tx-5\\tx2880 a\\tab b\\par\\pard c",
            u"L tx=96,0,192 Arial/12:a\tb ¶ L Arial/12:c"_s);
        row("ignorable destinations", "{\\*\\generator W;}{\\*\\unknown x}a", u"L Arial/12:a"_s);
        row("skipped destinations",
            "{\\info{\\title T}}{\\stylesheet{\\s0 Normal;}}{\\header H}{\\footer F}a",
            u"L Arial/12:a"_s);
        row("unknown control words", "\\foo12 a\\zzz b", u"L Arial/12:ab"_s);
        row("field result", "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt enlace}}",
            u"L Arial/12:enlace"_s);
        row("table rows", "\\trowd\\cellx100\\cellx200\\intbl a\\cell\\cell c\\cell\\row d",
            u"L Arial/12:a\t\tc ¶ L Arial/12:d"_s);
        row("picture without a reader", "a{\\pict\\wmetafile8 0100ff}b", u"L Arial/12:ab"_s);
        row("damaged png", "a{\\pict\\pngblip 89504e47}b", u"L Arial/12:ab"_s);
        row("binary data", "a{\\*\\blob\\bin3 {}x}b", u"L Arial/12:ab"_s);
        row("binary count past the end", "a\\bin999999 b}", u"L Arial/12:a"_s);
        row("unclosed groups", "a{\\b b", u"L Arial/12:a|Arial/12b:b"_s);
        row("text after the end", "a}}b", u"L Arial/12:a"_s);
        row("truncated escape", "a\\'e", u"L Arial/12:a"_s);
        row("trailing backslash", "a\\", u"L Arial/12:a"_s);
        row("escaped closing brace", "a\\}", u"L Arial/12:a}"_s);
        row("huge numbers", "\\fs99999999999999 a\\li-99999999 b", u"L li=-2112 Arial/1638:ab"_s);
        row("control bytes", QByteArray("a\0\x01\x7f b", 7), u"L Arial/12:a\x7f b"_s);
    }
    void reads()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        QCOMPARE(read(kHead + body), expected);
    }
    void deepNestingAndJunkLoadWhatIsReadable()
    {
        QCOMPARE(read(kHead + QByteArray(1 << 20, '{') + "\\b x"), u"L Arial/12b:x"_s);
        QCOMPARE(read(kHead + QByteArray(1 << 20, '{') + "x" + QByteArray(1 << 20, '}') + "y}"),
                 u"L Arial/12:xy"_s);
        QByteArray junk(1 << 20, 0);
        quint32 seed = 12345;
        for (char& c : junk) {
            seed = seed * 1103515245u + 12345u;
            c = static_cast<char>(seed >> 24);
        }
        QTextDocument doc;
        readRtf(kHead + junk, doc);
        QVERIFY(doc.characterCount() > 1);
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
    void libreOfficeFilesLoadWithTheirFormatting()
    {
        // The shipped template, saved again by LibreOffice Writer, reads as the template does;
        // Writer keeps runs of spaces apart with six-per-em spaces.
        QString fromWriter =
            read(readFile(QStringLiteral(ESF_TEST_DATA "/libreoffice-informe.rtf")));
        fromWriter.remove(QChar(0x2006));
        QCOMPARE(fromWriter, read(readFile(QStringLiteral(ESF_SOURCE_DIR "/data/informe.rtf"))));

        // Converted by Writer from an HTML page with a table and a picture.
        const QStringList p =
            read(readFile(QStringLiteral(ESF_TEST_DATA "/libreoffice-tabla.rtf"))).split(u" ¶ "_s);
        QCOMPARE(p.size(), 6);
        QCOMPARE(p[0], u"C sa=9.33333 Liberation Serif/16b:Informe ergométrico"_s);
        QVERIFY2(p[1].startsWith(u"R "_s) && p[1].endsWith(u"i:Córdoba, 6 de diciembre"_s),
                 qPrintable(p[1]));
        QVERIFY2(p[2].startsWith(u"J "_s) && p[2].contains(u"|Liberation Sans/11u:≥ 2 mm|"_s) &&
                     p[2].contains(u"|Liberation Sans/11/#c00000:angor típico|"_s) &&
                     p[2].contains(u"|Liberation Sans/11s:β-bloqueantes|"_s),
                 qPrintable(p[2]));
        QVERIFY2(p[3].endsWith(u":Etapa\tFC\tTA"_s), qPrintable(p[3]));
        QVERIFY2(p[4].endsWith(u":Basal\t72\t120/80"_s), qPrintable(p[4]));
        QVERIFY2(p[5].endsWith(u":Imagen: |[img 32x16]"_s), qPrintable(p[5]));
    }
    void wordPadFileLoadsWithItsFormatting()
    {
        // Header, fonts and colours, \info and \*\pn skipped, \pntext kept, a metafile dropped.
        QCOMPARE(read(readFile(QStringLiteral(ESF_TEST_DATA "/wordpad-informe.rtf"))),
                 u"C Arial/14b:Informe de Ergometría ¶ "
                 "L li=48 ri=24 fi=-24 sb=8 sa=4 Arial/10:Paciente: |Arial/10i:Pérez, José|"
                 "Arial/10:\t|Arial/10u:Conclusión|Arial/10:\nsegunda línea ¶ "
                 "L li=48 fi=-24 Symbol/10:·\t|Times New Roman/12/#c00000:ST ≥ 2 mm ¶ "
                 "R Times New Roman/12s/#0000ff:tachado|Times New Roman/12: β-bloqueantes fin ¶ "
                 "J Arial/10:Conclusiones."_s);
    }
    void unrtfReadsWhatIsWritten()
    {
        const QString unrtf = QStandardPaths::findExecutable(u"unrtf"_s);
        if (unrtf.isEmpty())
            QSKIP("unrtf is not installed");
        QTextDocument doc;
        readRtf(kHead + "\\b Conclusi\\'f3n:\\b0  ergom\\'e9trica negativa, se\\'f1al \\'fc\\par"
                        "\\qc{\\i \\'bfTensi\\'f3n?} 120/80 mmHg, 1\\'ba\\par}",
                doc);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"0012_003.INF"_s);
        saveReportFile(path, doc);
        QProcess p;
        p.start(unrtf, {u"--text"_s, path});
        QVERIFY(p.waitForFinished(30000));
        QStringList lines;
        for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
            if (!line.startsWith("###") && !line.startsWith("-----"))
                lines << QString::fromLatin1(line).simplified(); // unrtf writes Latin-1
        }
        lines.removeAll(QString());
        QCOMPARE(lines, QStringList({u"Conclusión: ergométrica negativa, señal ü"_s,
                                     u"¿Tensión? 120/80 mmHg, 1º"_s}));
    }
};

QTEST_MAIN(TestRtfCodec)
#include "tst_rtfcodec.moc"
