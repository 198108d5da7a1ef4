#include "report/RtfCodec.h"

#include "common/Cp1252.h"
#include "common/FileError.h"
#include "common/FileNames.h"

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QJsonArray>
#include <QPixmap>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <string_view>
#include <utility>
#include <vector>

namespace esf {
namespace {

using namespace std::string_view_literals;

// Deeper groups are read with the state of the deepest one kept, so hostile nesting costs
// neither memory nor stack.
constexpr int kMaxDepth = 256;
constexpr int kMaxWordLetters = 32;
constexpr int kMaxFontNameLength = 256;
// 1440 twips an inch, 96 document pixels an inch.
constexpr int kTwipsPerPixel = 15;
constexpr int kMaxTwips = 31680; // 22 inches, the widest page RTF knows
constexpr std::size_t kMaxTabStops = 32;
constexpr int kDefaultHalfPoints = 24;
constexpr int kMaxHalfPoints = 3276;
constexpr QChar kLineSeparator(0x2028);

enum class Dest { Text, Skip, FontTable, ColorTable, Picture };
enum class PictureType { None, Png, Jpeg, Other };

struct CharState {
    int font = -1; // -1: the document's default font
    int halfPoints = kDefaultHalfPoints;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    int color = 0; // 0: automatic
    bool operator==(const CharState&) const = default;
};

struct ParaState {
    Qt::Alignment align = Qt::AlignLeft;
    int left = 0; // twips
    int right = 0;
    int first = 0;
    int before = 0;
    int after = 0;
    bool inTable = false;
    bool pageBreakBefore = false;
    std::vector<int> tabStops; // twips; \tx, a handful at most
};

struct GroupState {
    Dest dest = Dest::Text;
    CharState chr;
    ParaState para;
    int ucSkip = 1;
};

struct Picture {
    PictureType type = PictureType::None;
    QByteArray data;
    int nibble = -1; // high half of a byte waiting for its low half
    int widthGoal = 0;
    int heightGoal = 0;
    int scaleX = 100;
    int scaleY = 100;
};

// Destinations whose content is not part of the text even without "\*".
bool isSkippedDestination(std::string_view w)
{
    static constexpr std::string_view kSkipped[] = {
        "info"sv,      "stylesheet"sv, "header"sv,    "headerl"sv,
        "headerr"sv,   "headerf"sv,    "footer"sv,    "footerl"sv,
        "footerr"sv,   "footerf"sv,    "footnote"sv,  "annotation"sv,
        "fldinst"sv,   "nonshppict"sv, "xe"sv,        "tc"sv,
        "txe"sv,       "listtable"sv,  "revtbl"sv,    "rsidtbl"sv,
        "filetbl"sv,   "author"sv,     "operator"sv,  "title"sv,
        "subject"sv,   "keywords"sv,   "comment"sv,   "doccomm"sv,
        "pn"sv,        "pntxta"sv,     "pntxtb"sv,    "objdata"sv,
        "objclass"sv,  "themedata"sv,  "generator"sv, "do"sv,
        "ftnsep"sv,    "ftnsepc"sv,    "aftnsep"sv,   "aftnsepc"sv,
        "bkmkstart"sv, "bkmkend"sv,    "template"sv,  "listoverridetable"sv};
    return std::find(std::begin(kSkipped), std::end(kSkipped), w) != std::end(kSkipped);
}

class RtfReader {
public:
    RtfReader(const QByteArray& in, QTextDocument& doc) : m_in(in), m_doc(doc), m_cursor(&doc)
    {
        m_stack.reserve(kMaxDepth + 1);
        m_stack.push_back(GroupState());
    }

    void run()
    {
        const qsizetype n = m_in.size();
        while (m_pos < n && !m_ended) {
            const char c = m_in[m_pos];
            if (c == '{') {
                ++m_pos;
                openGroup();
            } else if (c == '}') {
                ++m_pos;
                closeGroup();
            } else if (c == '\\') {
                controlSequence();
            } else {
                ++m_pos;
                if (c != '\r' && c != '\n')
                    textByte(static_cast<unsigned char>(c));
            }
        }
        if (!m_ended)
            finish();
    }

private:
    GroupState& top() { return m_stack.back(); }

    void openGroup()
    {
        m_skipChars = 0;
        m_starPending = false;
        if (m_stack.size() > kMaxDepth) {
            ++m_overflow;
            return;
        }
        m_stack.push_back(m_stack.back());
    }

    void closeGroup()
    {
        m_skipChars = 0;
        m_starPending = false;
        if (m_overflow > 0) {
            --m_overflow;
            return;
        }
        if (m_stack.size() <= 1)
            return; // a stray brace outside the document
        const Dest closing = top().dest;
        const Dest parent = m_stack[m_stack.size() - 2].dest;
        if (closing == Dest::Picture && parent != Dest::Picture)
            finishPicture();
        if (closing == Dest::FontTable)
            commitFont();
        if (m_stack.size() == 2) {
            // The document's own group ends here; anything after it is not RTF.
            finish();
            m_ended = true;
            return;
        }
        m_stack.pop_back();
    }

    static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    static int hexValue(char c)
    {
        if (isDigit(c))
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    void controlSequence()
    {
        const qsizetype n = m_in.size();
        ++m_pos; // the backslash
        if (m_pos >= n)
            return;
        const char c = m_in[m_pos];
        if (isLetter(c)) {
            const qsizetype start = m_pos;
            while (m_pos < n && isLetter(m_in[m_pos]))
                ++m_pos;
            const qsizetype letters = std::min<qsizetype>(m_pos - start, kMaxWordLetters);
            const std::string_view word(m_in.constData() + start, static_cast<size_t>(letters));
            bool hasParam = false;
            bool negative = false;
            qint64 value = 0;
            if (m_pos < n && m_in[m_pos] == '-' && m_pos + 1 < n && isDigit(m_in[m_pos + 1])) {
                negative = true;
                ++m_pos;
            }
            while (m_pos < n && isDigit(m_in[m_pos])) {
                hasParam = true;
                if (value < 100000000000LL)
                    value = value * 10 + (m_in[m_pos] - '0');
                ++m_pos;
            }
            if (m_pos < n && m_in[m_pos] == ' ')
                ++m_pos;
            value = std::clamp<qint64>(negative ? -value : value, -2147483647LL, 2147483647LL);
            controlWord(word, hasParam, static_cast<int>(value));
            return;
        }
        ++m_pos;
        if (c == '\'') {
            // A broken escape takes what hex digits it has and gives no character.
            int byte = -1;
            if (m_pos < n && hexValue(m_in[m_pos]) >= 0) {
                ++m_pos;
                if (m_pos < n && hexValue(m_in[m_pos]) >= 0) {
                    byte = hexValue(m_in[m_pos - 1]) * 16 + hexValue(m_in[m_pos]);
                    ++m_pos;
                }
            }
            if (consumeSkip() || byte < 0)
                return;
            encodedByte(static_cast<unsigned char>(byte));
            return;
        }
        controlSymbol(c);
    }

    // Characters of the fallback that follows a \uN are not read.
    bool consumeSkip()
    {
        if (m_skipChars <= 0)
            return false;
        --m_skipChars;
        return true;
    }

    void controlSymbol(char c)
    {
        if (c == '*') {
            m_starPending = true;
            return;
        }
        if (consumeSkip())
            return;
        switch (c) {
        case '\\':
        case '{':
        case '}':
            addText(QString(QLatin1Char(c)));
            break;
        case '~':
            addText(QString(QChar::Nbsp));
            break;
        case '_':
            addText(QString(QChar(0x2011)));
            break;
        case '\n':
        case '\r':
            if (top().dest == Dest::Text)
                endParagraph(false);
            break;
        default:
            break; // optional hyphen, index marks and the like
        }
    }

    void controlWord(std::string_view w, bool hasParam, int p)
    {
        GroupState& g = top();
        if (w == "bin"sv) {
            binary(hasParam ? p : 0);
            return;
        }
        if (g.dest == Dest::Skip)
            return;
        if (m_starPending) {
            m_starPending = false;
            // Word keeps its PNG or JPEG picture in an ignorable group of its own.
            if (w != "shppict"sv && w != "pict"sv)
                g.dest = Dest::Skip;
            else if (w == "pict"sv)
                startPicture();
            return;
        }
        if (isSkippedDestination(w)) {
            g.dest = Dest::Skip;
            return;
        }
        if (w == "fonttbl"sv) {
            g.dest = Dest::FontTable;
            m_fontNumber = -1;
            m_fontName.clear();
            return;
        }
        if (w == "colortbl"sv) {
            g.dest = Dest::ColorTable;
            return;
        }
        if (w == "pict"sv) {
            startPicture();
            return;
        }
        if (w == "u"sv) {
            if (consumeSkip())
                return;
            addText(QString(QChar(static_cast<char16_t>(static_cast<quint16>(p)))));
            m_skipChars = g.ucSkip;
            return;
        }
        if (consumeSkip())
            return;
        switch (g.dest) {
        case Dest::FontTable:
            if (w == "f"sv)
                m_fontNumber = p;
            return;
        case Dest::ColorTable:
            colorWord(w, p);
            return;
        case Dest::Picture:
            pictureWord(w, p);
            return;
        default:
            break;
        }
        if (w == "uc"sv)
            g.ucSkip = std::clamp(p, 0, 16);
        else if (w == "deff"sv)
            m_defaultFont = p;
        else if (!characterWord(w, hasParam, p, g.chr) && !paragraphWord(w, p, g.para))
            textWord(w);
    }

    static bool on(bool hasParam, int p) { return !hasParam || p != 0; }

    bool characterWord(std::string_view w, bool hasParam, int p, CharState& c)
    {
        if (w == "plain"sv) {
            c = CharState();
        } else if (w == "f"sv) {
            c.font = p;
        } else if (w == "fs"sv) {
            c.halfPoints = p > 0 ? std::min(p, kMaxHalfPoints) : kDefaultHalfPoints;
        } else if (w == "b"sv) {
            c.bold = on(hasParam, p);
        } else if (w == "i"sv) {
            c.italic = on(hasParam, p);
        } else if (w == "strike"sv || w == "strikedl"sv) {
            c.strike = on(hasParam, p);
        } else if (w == "ulnone"sv) {
            c.underline = false;
        } else if (w.substr(0, 2) == "ul"sv && w != "ulc"sv) {
            // \ul and its dotted, double, wave ... forms
            c.underline = on(hasParam, p);
        } else if (w == "cf"sv) {
            c.color = std::max(p, 0);
        } else {
            return false;
        }
        return true;
    }

    static int twips(int p) { return std::clamp(p, -kMaxTwips, kMaxTwips); }

    bool paragraphWord(std::string_view w, int p, ParaState& a)
    {
        if (w == "pard"sv)
            a = ParaState();
        else if (w == "ql"sv)
            a.align = Qt::AlignLeft;
        else if (w == "qc"sv)
            a.align = Qt::AlignHCenter;
        else if (w == "qr"sv)
            a.align = Qt::AlignRight;
        else if (w == "qj"sv || w == "qd"sv)
            a.align = Qt::AlignJustify;
        else if (w == "li"sv)
            a.left = twips(p);
        else if (w == "ri"sv)
            a.right = twips(p);
        else if (w == "fi"sv)
            a.first = twips(p);
        else if (w == "sb"sv)
            a.before = twips(p);
        else if (w == "sa"sv)
            a.after = twips(p);
        else if (w == "intbl"sv)
            a.inTable = true;
        else if (w == "pagebb"sv)
            a.pageBreakBefore = true;
        else if (w == "tx"sv && a.tabStops.size() < kMaxTabStops)
            a.tabStops.push_back(std::clamp(p, 0, kMaxTwips));
        else if (w == "tx"sv)
            return true; // further stops are dropped, never an unbounded list
        else
            return false;
        return true;
    }

    void textWord(std::string_view w)
    {
        if (w == "par"sv || w == "sect"sv) {
            // Paragraphs inside a table cell join the row's one paragraph.
            if (top().para.inTable)
                addText(QStringLiteral(" "));
            else
                endParagraph(false);
        } else if (w == "page"sv) {
            endParagraph(true);
        } else if (w == "line"sv) {
            addText(QString(kLineSeparator));
        } else if (w == "tab"sv) {
            addText(QStringLiteral("\t"));
        } else if (w == "cell"sv || w == "nestcell"sv) {
            // The tab between two cells is added when the next cell's text comes, so a
            // row does not end in one.
            if (m_cellPending) {
                m_cellPending = false;
                addText(QStringLiteral("\t"));
            }
            m_cellPending = true;
        } else if (w == "row"sv) {
            top().para.inTable = false;
            endParagraph(false);
        } else if (w == "emdash"sv) {
            addText(QString(QChar(0x2014)));
        } else if (w == "endash"sv) {
            addText(QString(QChar(0x2013)));
        } else if (w == "bullet"sv) {
            addText(QString(QChar(0x2022)));
        } else if (w == "lquote"sv) {
            addText(QString(QChar(0x2018)));
        } else if (w == "rquote"sv) {
            addText(QString(QChar(0x2019)));
        } else if (w == "ldblquote"sv) {
            addText(QString(QChar(0x201C)));
        } else if (w == "rdblquote"sv) {
            addText(QString(QChar(0x201D)));
        } else if (w == "emspace"sv || w == "enspace"sv || w == "qmspace"sv) {
            addText(QStringLiteral(" "));
        }
    }

    void colorWord(std::string_view w, int p)
    {
        const int v = std::clamp(p, 0, 255);
        if (w == "red"sv)
            m_color.setRed(v);
        else if (w == "green"sv)
            m_color.setGreen(v);
        else if (w == "blue"sv)
            m_color.setBlue(v);
        else
            return;
        m_colorGiven = true;
    }

    void startPicture()
    {
        top().dest = Dest::Picture;
        m_picture = Picture();
    }

    void pictureWord(std::string_view w, int p)
    {
        if (w == "pngblip"sv)
            m_picture.type = PictureType::Png;
        else if (w == "jpegblip"sv)
            m_picture.type = PictureType::Jpeg;
        else if (w == "wmetafile"sv || w == "emfblip"sv || w == "macpict"sv || w == "dibitmap"sv ||
                 w == "wbitmap"sv || w == "pmmetafile"sv)
            m_picture.type = PictureType::Other;
        else if (w == "picwgoal"sv)
            m_picture.widthGoal = std::clamp(p, 0, kMaxTwips);
        else if (w == "pichgoal"sv)
            m_picture.heightGoal = std::clamp(p, 0, kMaxTwips);
        else if (w == "picscalex"sv)
            m_picture.scaleX = std::clamp(p, 1, 1000);
        else if (w == "picscaley"sv)
            m_picture.scaleY = std::clamp(p, 1, 1000);
    }

    void binary(int count)
    {
        const qsizetype n = std::min<qsizetype>(std::max(count, 0), m_in.size() - m_pos);
        if (top().dest == Dest::Picture)
            m_picture.data.append(m_in.constData() + m_pos, n);
        m_pos += n;
    }

    void textByte(unsigned char b)
    {
        const Dest d = top().dest;
        if (d == Dest::Skip)
            return;
        if (d == Dest::Picture) {
            const int v = hexValue(static_cast<char>(b));
            if (v < 0)
                return;
            if (m_picture.nibble < 0) {
                m_picture.nibble = v;
            } else {
                m_picture.data.append(static_cast<char>(m_picture.nibble * 16 + v));
                m_picture.nibble = -1;
            }
            return;
        }
        if (d == Dest::ColorTable) {
            if (b == ';')
                commitColor();
            return;
        }
        if (d == Dest::FontTable && b == ';') {
            commitFont();
            return;
        }
        if (consumeSkip())
            return;
        if (b < 0x20 && b != '\t')
            return; // stray control bytes
        if (b < 0x80)
            addText(QString(QLatin1Char(static_cast<char>(b))));
        else
            encodedByte(b);
    }

    // Reports are written in Windows-1252; other code pages are read as if they were.
    void encodedByte(unsigned char b) { addText(QString(cp1252::decodeChar(b))); }

    void commitColor()
    {
        m_colors.push_back(m_colorGiven ? m_color : QColor());
        m_color = QColor(0, 0, 0);
        m_colorGiven = false;
    }

    void commitFont()
    {
        const QString name = m_fontName.trimmed();
        if (m_fontNumber >= 0 && !name.isEmpty() && !m_fonts.contains(m_fontNumber))
            m_fonts.insert(m_fontNumber, name);
        m_fontName.clear();
    }

    void addText(QString s)
    {
        // Control characters, however encoded (\u0, \'01), are never report text.
        s.removeIf([](QChar c) { return c.unicode() < 0x20 && c != u'\t'; });
        const GroupState& g = top();
        if (g.dest == Dest::FontTable) {
            if (m_fontName.size() < kMaxFontNameLength)
                m_fontName += s;
            return;
        }
        if (g.dest != Dest::Text || s.isEmpty())
            return;
        if (m_cellPending) {
            m_cellPending = false;
            addText(QStringLiteral("\t"));
        }
        if (!(g.chr == m_runState)) {
            flushRun();
            m_runState = g.chr;
        }
        m_run += s;
        m_blockStartedByPar = false;
    }

    QTextCharFormat charFormat(const CharState& c) const
    {
        QTextCharFormat f;
        const QString family = m_fonts.value(c.font < 0 ? m_defaultFont : c.font);
        if (!family.isEmpty())
            f.setFontFamilies(QStringList{family});
        f.setFontPointSize(c.halfPoints / 2.0);
        f.setFontWeight(c.bold ? QFont::Bold : QFont::Normal);
        f.setFontItalic(c.italic);
        f.setFontUnderline(c.underline);
        f.setFontStrikeOut(c.strike);
        if (c.color > 0 && c.color < static_cast<int>(m_colors.size()) &&
            m_colors[static_cast<size_t>(c.color)].isValid())
            f.setForeground(m_colors[static_cast<size_t>(c.color)]);
        return f;
    }

    QTextBlockFormat blockFormat(const ParaState& a) const
    {
        QTextBlockFormat f;
        f.setAlignment(a.align);
        f.setLeftMargin(a.left / double(kTwipsPerPixel));
        f.setRightMargin(a.right / double(kTwipsPerPixel));
        f.setTextIndent(a.first / double(kTwipsPerPixel));
        f.setTopMargin(a.before / double(kTwipsPerPixel));
        f.setBottomMargin(a.after / double(kTwipsPerPixel));
        if (a.pageBreakBefore || m_pageBreakNext)
            f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        QList<QTextOption::Tab> tabs;
        for (int t : a.tabStops)
            tabs.append(QTextOption::Tab(t / double(kTwipsPerPixel), QTextOption::LeftTab));
        if (!tabs.isEmpty())
            f.setTabPositions(tabs);
        return f;
    }

    void flushRun()
    {
        if (m_run.isEmpty())
            return;
        m_cursor.insertText(m_run, charFormat(m_runState));
        m_run.clear();
    }

    void applyBlock()
    {
        m_cursor.setBlockFormat(blockFormat(top().para));
        // An empty paragraph keeps its size, so blank lines stay as high as they were.
        m_cursor.setBlockCharFormat(charFormat(top().chr));
    }

    void endParagraph(bool pageBreakAfter)
    {
        flushRun();
        m_cellPending = false;
        applyBlock();
        m_cursor.insertBlock();
        m_pageBreakNext = pageBreakAfter;
        m_blockStartedByPar = true;
    }

    void finishPicture()
    {
        const Picture pic = std::exchange(m_picture, Picture());
        if (pic.type != PictureType::Png && pic.type != PictureType::Jpeg)
            return; // metafiles and device bitmaps have no reader here
        QImage image;
        if (!image.loadFromData(pic.data, pic.type == PictureType::Png ? "PNG" : "JPG"))
            return;
        const QString name = QStringLiteral("rtfimage:%1").arg(++m_imageCount);
        m_doc.addResource(QTextDocument::ImageResource, QUrl(name), image);
        QTextImageFormat f;
        f.setName(name);
        const double w = pic.widthGoal > 0 ? pic.widthGoal / double(kTwipsPerPixel) : image.width();
        const double h =
            pic.heightGoal > 0 ? pic.heightGoal / double(kTwipsPerPixel) : image.height();
        f.setWidth(w * pic.scaleX / 100.0);
        f.setHeight(h * pic.scaleY / 100.0);
        flushRun();
        // The picture lives in the group that held it: its text position is the parent's.
        m_stack.pop_back();
        if (top().dest == Dest::Text) {
            if (m_cellPending) {
                m_cellPending = false;
                addText(QStringLiteral("\t"));
                flushRun();
            }
            m_cursor.insertImage(f);
            m_blockStartedByPar = false;
        }
        m_stack.push_back(m_stack.back());
        m_stack.back().dest = Dest::Picture;
    }

    void finish()
    {
        flushRun();
        if (m_blockStartedByPar && m_cursor.block().length() <= 1 && m_doc.blockCount() > 1) {
            // The closing \par of the last paragraph opens no paragraph of its own.
            m_cursor.deletePreviousChar();
        } else {
            applyBlock();
        }
    }

    const QByteArray& m_in;
    QTextDocument& m_doc;
    QTextCursor m_cursor;
    qsizetype m_pos = 0;
    std::vector<GroupState> m_stack;
    int m_overflow = 0;
    bool m_ended = false;
    bool m_starPending = false;
    int m_skipChars = 0;

    QHash<int, QString> m_fonts;
    int m_defaultFont = 0;
    int m_fontNumber = -1;
    QString m_fontName;
    std::vector<QColor> m_colors;
    QColor m_color = QColor(0, 0, 0);
    bool m_colorGiven = false;
    Picture m_picture;
    int m_imageCount = 0;

    QString m_run;
    CharState m_runState;
    bool m_cellPending = false;
    bool m_pageBreakNext = false;
    bool m_blockStartedByPar = false;
};

// ---------------------------------------------------------------- writing

QString familyOf(const QTextCharFormat& f)
{
    const QStringList families = f.fontFamilies().toStringList();
    return families.isEmpty() ? f.stringProperty(QTextFormat::FontFamily) : families.front();
}

struct WriterTables {
    QStringList fonts;
    QList<QColor> colors;

    int font(const QString& family) const
    {
        return family.isEmpty() ? 0 : std::max<int>(0, static_cast<int>(fonts.indexOf(family)));
    }
    int color(const QTextCharFormat& f) const
    {
        if (f.foreground().style() == Qt::NoBrush)
            return 0;
        return static_cast<int>(colors.indexOf(QColor::fromRgb(f.foreground().color().rgb()))) + 1;
    }
    void add(const QTextCharFormat& f)
    {
        const QString family = familyOf(f);
        if (!family.isEmpty() && !fonts.contains(family))
            fonts << family;
        if (f.foreground().style() != Qt::NoBrush) {
            const QColor c = QColor::fromRgb(f.foreground().color().rgb());
            if (!colors.contains(c))
                colors << c;
        }
    }
};

void escapeText(QByteArray& out, QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            out += '\\';
            out += static_cast<char>(u);
        } else if (u == '\t') {
            out += "\\tab ";
        } else if (u == kLineSeparator.unicode() || u == QChar::ParagraphSeparator) {
            out += "\\line ";
        } else if (u == QChar::Nbsp) {
            out += "\\~";
        } else if (u < 0x20 || u == QChar::ObjectReplacementCharacter) {
            continue;
        } else if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (const char b = cp1252::encodeChar(c); b != '?') {
            out += "\\'" +
                   QByteArray::number(static_cast<unsigned char>(b), 16).rightJustified(2, '0');
        } else {
            out += "\\u" + QByteArray::number(static_cast<qint16>(u)) + '?';
        }
    }
}

int pointsToHalf(double points)
{
    return std::clamp(static_cast<int>(std::lround(points * 2)), 1, kMaxHalfPoints);
}

QByteArray charWords(const QTextCharFormat& f, const WriterTables& t, double defaultPoints)
{
    QByteArray w = "\\plain\\f" + QByteArray::number(t.font(familyOf(f)));
    const double points = f.fontPointSize() > 0 ? f.fontPointSize() : defaultPoints;
    w += "\\fs" + QByteArray::number(pointsToHalf(points));
    if (f.fontWeight() > QFont::Medium)
        w += "\\b";
    if (f.fontItalic())
        w += "\\i";
    if (f.fontUnderline())
        w += "\\ul";
    if (f.fontStrikeOut())
        w += "\\strike";
    if (const int c = t.color(f); c > 0)
        w += "\\cf" + QByteArray::number(c);
    return w + ' ';
}

QByteArray paragraphWords(const QTextBlockFormat& f)
{
    QByteArray w = "\\pard";
    const Qt::Alignment a = f.alignment() & Qt::AlignHorizontal_Mask;
    if (a & Qt::AlignHCenter)
        w += "\\qc";
    else if (a & Qt::AlignRight)
        w += "\\qr";
    else if (a & Qt::AlignJustify)
        w += "\\qj";
    else
        w += "\\ql";
    auto twips = [&](const char* word, double px) {
        const int v =
            std::clamp(static_cast<int>(std::lround(px * kTwipsPerPixel)), -kMaxTwips, kMaxTwips);
        if (v != 0)
            w += word + QByteArray::number(v);
    };
    twips("\\li", f.leftMargin());
    twips("\\ri", f.rightMargin());
    twips("\\fi", f.textIndent());
    twips("\\sb", f.topMargin());
    twips("\\sa", f.bottomMargin());
    if (f.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
        w += "\\pagebb";
    for (const QTextOption::Tab& t : f.tabPositions())
        twips("\\tx", t.position);
    return w + ' ';
}

QImage imageOf(const QTextDocument& doc, const QString& name)
{
    const QVariant v = doc.resource(QTextDocument::ImageResource, QUrl(name));
    if (v.typeId() == QMetaType::QImage)
        return v.value<QImage>();
    if (v.typeId() == QMetaType::QPixmap)
        return v.value<QPixmap>().toImage();
    if (v.typeId() == QMetaType::QByteArray)
        return QImage::fromData(v.toByteArray());
    return {};
}

void writePicture(QByteArray& out, const QTextDocument& doc, const QTextImageFormat& f)
{
    const QImage image = imageOf(doc, f.name());
    if (image.isNull())
        return;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return;
    const double w = f.width() > 0 ? f.width() : image.width();
    const double h = f.height() > 0 ? f.height() : image.height();
    out += "{\\pict\\pngblip\\picw" + QByteArray::number(image.width()) + "\\pich" +
           QByteArray::number(image.height()) + "\\picwgoal" +
           QByteArray::number(std::lround(w * kTwipsPerPixel)) + "\\pichgoal" +
           QByteArray::number(std::lround(h * kTwipsPerPixel)) + '\n';
    const QByteArray hex = png.toHex();
    for (qsizetype i = 0; i < hex.size(); i += 128)
        out += hex.mid(i, 128) + '\n';
    out += '}';
}

QString alignmentName(Qt::Alignment a)
{
    a &= Qt::AlignHorizontal_Mask;
    if (a & Qt::AlignHCenter)
        return QStringLiteral("center");
    if (a & Qt::AlignRight)
        return QStringLiteral("right");
    if (a & Qt::AlignJustify)
        return QStringLiteral("justify");
    return QStringLiteral("left");
}

} // namespace

void readRtf(const QByteArray& rtf, QTextDocument& doc)
{
    doc.clear();
    RtfReader reader(rtf, doc);
    reader.run();
}

QByteArray writeRtf(const QTextDocument& doc)
{
    WriterTables tables;
    tables.fonts << doc.defaultFont().family();
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        tables.add(b.charFormat());
        for (auto it = b.begin(); !it.atEnd(); ++it)
            tables.add(it.fragment().charFormat());
    }
    const double defaultPoints = doc.defaultFont().pointSizeF();

    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang3082\n{\\fonttbl";
    for (qsizetype i = 0; i < tables.fonts.size(); ++i) {
        out += "{\\f" + QByteArray::number(i) + "\\fnil\\fcharset0 ";
        QString name = tables.fonts[i];
        escapeText(out, name.remove(u';'));
        out += ";}";
    }
    out += "}\n{\\colortbl ;";
    for (const QColor& c : std::as_const(tables.colors))
        out += "\\red" + QByteArray::number(c.red()) + "\\green" + QByteArray::number(c.green()) +
               "\\blue" + QByteArray::number(c.blue()) + ';';
    out += "}\n\\viewkind4\\uc1\n";

    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        out += paragraphWords(b.blockFormat());
        QByteArray current;
        if (b.length() <= 1)
            out += charWords(b.charFormat(), tables, defaultPoints);
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            const QTextCharFormat f = frag.charFormat();
            const QByteArray words = charWords(f, tables, defaultPoints);
            if (words != current) {
                out += words;
                current = words;
            }
            if (f.isImageFormat()) {
                for (qsizetype i = 0; i < frag.length(); ++i)
                    writePicture(out, doc, f.toImageFormat());
            } else {
                escapeText(out, frag.text());
            }
        }
        out += "\\par\n";
    }
    out += "}\n";
    return out;
}

void loadReportFile(const QString& path, QTextDocument& doc)
{
    QFile f(path);
    openRegularFile(f, QIODevice::ReadOnly, QStringLiteral("apertura"));
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw FileError(path, QStringLiteral("lectura"), f.errorString());
    if (bytes.trimmed().startsWith("{\\rtf"))
        readRtf(bytes, doc);
    else
        doc.setPlainText(cp1252::decode(bytes));
}

void saveReportFile(const QString& path, const QTextDocument& doc)
{
    const QByteArray bytes = writeRtf(doc);
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw FileError(path, QStringLiteral("creación"), f.errorString());
    if (f.write(bytes) != bytes.size() || !commitWhole(f))
        throw FileError(path, QStringLiteral("escritura"), f.errorString());
}

QJsonObject documentJson(const QTextDocument& doc)
{
    QJsonArray paragraphs;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        QJsonArray runs;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            const QTextCharFormat f = frag.charFormat();
            QJsonObject run;
            if (f.isImageFormat()) {
                const QTextImageFormat img = f.toImageFormat();
                run.insert(QStringLiteral("image"), true);
                run.insert(QStringLiteral("width"), std::round(img.width()));
                run.insert(QStringLiteral("height"), std::round(img.height()));
                runs.append(run);
                continue;
            }
            const QString family = familyOf(f);
            run.insert(QStringLiteral("text"), frag.text().replace(kLineSeparator, u'\n'));
            run.insert(QStringLiteral("font"), family.isEmpty() ? QJsonValue() : family);
            run.insert(QStringLiteral("size"),
                       f.fontPointSize() > 0 ? QJsonValue(f.fontPointSize()) : QJsonValue());
            run.insert(QStringLiteral("bold"), f.fontWeight() > QFont::Medium);
            run.insert(QStringLiteral("italic"), f.fontItalic());
            run.insert(QStringLiteral("underline"), f.fontUnderline());
            run.insert(QStringLiteral("strike"), f.fontStrikeOut());
            run.insert(QStringLiteral("color"), f.foreground().style() == Qt::NoBrush
                                                    ? QJsonValue()
                                                    : f.foreground().color().name());
            runs.append(run);
        }
        QJsonObject p;
        p.insert(QStringLiteral("alignment"), alignmentName(b.blockFormat().alignment()));
        p.insert(QStringLiteral("runs"), runs);
        paragraphs.append(p);
    }
    QJsonObject o;
    o.insert(QStringLiteral("paragraphs"), paragraphs);
    return o;
}

} // namespace esf
