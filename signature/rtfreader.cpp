#include "signature/rtfreader.h"

#include "toolkit/ansitext.h"

#include <QHash>
#include <QImage>
#include <QStringDecoder>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <QVariant>
#include <atomic>
#include <memory>
#include <vector>

namespace {

// Deeper nesting than this is read as skipped text: no real document comes near it, and the
// state stack stays bounded whatever the input.
constexpr int kMaxGroupDepth = 1024;
// A picture's encoded bytes, and the pixels of all decoded pictures of one read.
constexpr qsizetype kMaxPictureBytes = qsizetype(64) * 1024 * 1024;
constexpr qint64 kMaxPicturePixels = qint64(8192) * 8192;
constexpr qint64 kMaxDocumentPixels = qint64(4) * kMaxPicturePixels;
// Control words are at most 32 letters; a longer run is still consumed but never matches.
constexpr int kMaxWordLength = 32;
constexpr double kTwipsPerPixel = 15.0; // 1440 twips per inch at 96 pixels per inch

qint64 boundParam(qint64 low, qint64 value, qint64 high)
{
    return value < low ? low : value > high ? high : value;
}

int hexValue(uchar c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int codePageOfCharset(int charset, int ansiCodePage)
{
    switch (charset) {
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    default:
        return ansiCodePage;
    }
}

enum class Destination
{
    Text,
    Skip,
    FontTable,
    Picture
};

enum class PictureType
{
    None,
    Dib,
    Ddb,
    Png,
    Jpeg,
    Other
};

struct GroupState
{
    Destination destination = Destination::Text;
    QTextCharFormat format;
    int unicodeSkip = 1;
    int font = -1;
    Qt::Alignment alignment = Qt::AlignLeft;
    bool ignorable = false; // "\*" seen, waiting for the destination word
    bool firstWord = true;  // the next control word may name a destination
};

struct FontEntry
{
    QString family;
    int charset = 0;
};

struct Picture
{
    PictureType type = PictureType::None;
    QByteArray data;
    int highNibble = -1;
    bool overflow = false;
    qint64 picw = 0, pich = 0, goalw = 0, goalh = 0;
    qint64 scalex = 100, scaley = 100;
    qint64 bitsPixel = 1, planes = 1, widthBytes = 0;
};

std::atomic<quint64> g_imageSerial{0};

class RtfReader
{
public:
    RtfReader(QByteArrayView input, QTextCursor &cursor) : m_in(input), m_cursor(cursor) {}

    void run();

private:
    GroupState &state() { return m_stack.back(); }
    bool atEnd() const { return m_pos >= m_in.size(); }
    uchar peek() const { return uchar(m_in[m_pos]); }

    void openGroup();
    void closeGroup();
    void controlWord(QByteArrayView word, bool hasParam, qint64 param);
    void controlSymbol(uchar symbol);
    void hexByte(uchar byte);
    void textByte(uchar byte);
    void binary(qint64 length);
    bool consumeUnicodeSkip();

    // Output. Paragraph breaks and cell tabs wait for the next content, so that a document's
    // closing \par leaves no empty line behind.
    void appendText(const QString &text);
    void appendChar(QChar c) { appendText(QString(c)); }
    void flushBytes();
    void flushRun();
    void emitPending();
    void paragraph();
    void applyAlignment();

    void commitFont();
    void finishPicture();
    QImage decodePicture(const Picture &picture) const;
    QImage decodeDib(const QByteArray &dib) const;
    QImage decodeDdb(const Picture &picture) const;
    bool pixelsAllowed(qint64 width, qint64 height) const;

    QString decode(const QByteArray &bytes, int codePage);
    int currentCodePage();

    QByteArrayView m_in;
    qsizetype m_pos = 0;
    QTextCursor &m_cursor;
    std::vector<GroupState> m_stack{GroupState{}};
    int m_overflowDepth = 0; // groups past kMaxGroupDepth, read as skipped

    int m_ansiCodePage = 1252;
    int m_defaultFont = -1;
    QHash<int, FontEntry> m_fonts;
    int m_fontNumber = -1;
    int m_fontCharset = 0;
    QByteArray m_fontName;

    int m_skipChars = 0; // characters still to skip after \uN
    QByteArray m_bytes;  // \'hh bytes waiting to be decoded together
    int m_bytesCodePage = 1252;
    QString m_run;
    QTextCharFormat m_runFormat;
    int m_pendingBreaks = 0;
    bool m_pendingCellTab = false;
    bool m_blockTouched = false; // the current block already has its paragraph format

    std::unique_ptr<Picture> m_picture;
    size_t m_pictureDepth = 0;
    qint64 m_pixelsUsed = 0;

    QHash<int, std::shared_ptr<QStringDecoder>> m_decoders;
};

void RtfReader::run()
{
    while (!atEnd()) {
        const uchar c = peek();
        if (c == '{') {
            ++m_pos;
            openGroup();
        } else if (c == '}') {
            ++m_pos;
            closeGroup();
        } else if (c == '\\') {
            ++m_pos;
            if (atEnd())
                break;
            const uchar next = peek();
            if ((next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z')) {
                const qsizetype start = m_pos;
                while (!atEnd() &&
                       ((peek() >= 'a' && peek() <= 'z') || (peek() >= 'A' && peek() <= 'Z')))
                    ++m_pos;
                QByteArrayView word = m_in.sliced(start, m_pos - start);
                if (word.size() > kMaxWordLength)
                    word = QByteArrayView("?"); // cannot match any known word
                bool hasParam = false;
                bool negative = false;
                qint64 param = 0;
                if (!atEnd() && peek() == '-' && m_pos + 1 < m_in.size() &&
                    m_in[m_pos + 1] >= '0' && m_in[m_pos + 1] <= '9') {
                    negative = true;
                    ++m_pos;
                }
                while (!atEnd() && peek() >= '0' && peek() <= '9') {
                    hasParam = true;
                    if (param < (qint64(1) << 40)) // saturate: a silly number stays a big one
                        param = param * 10 + (peek() - '0');
                    ++m_pos;
                }
                if (negative)
                    param = -param;
                if (!atEnd() && peek() == ' ')
                    ++m_pos;
                controlWord(word, hasParam, param);
            } else if (next == '\'') {
                ++m_pos;
                int value = 0;
                int digits = 0;
                while (digits < 2 && !atEnd() && hexValue(peek()) >= 0) {
                    value = value * 16 + hexValue(peek());
                    ++digits;
                    ++m_pos;
                }
                if (digits == 2)
                    hexByte(uchar(value));
            } else {
                ++m_pos;
                controlSymbol(next);
            }
        } else {
            ++m_pos;
            textByte(c);
        }
    }
    // An unbalanced document: close what is open so pictures and fonts are finished.
    while (m_stack.size() > 1 || m_overflowDepth > 0)
        closeGroup();
    flushBytes();
    if (m_pendingBreaks > 0)
        --m_pendingBreaks; // the document's closing paragraph mark
    m_pendingCellTab = false;
    if (m_pendingBreaks > 0)
        emitPending();
    flushRun();
}

void RtfReader::openGroup()
{
    flushBytes();
    m_skipChars = 0;
    if (m_overflowDepth > 0 || m_stack.size() > size_t(kMaxGroupDepth)) {
        ++m_overflowDepth;
        return;
    }
    GroupState next = state();
    next.ignorable = false;
    next.firstWord = true;
    // Inside a picture or the font table a nested group is not text.
    if (next.destination == Destination::Picture)
        next.destination = Destination::Skip;
    m_stack.push_back(std::move(next));
}

void RtfReader::closeGroup()
{
    flushBytes();
    m_skipChars = 0;
    if (m_overflowDepth > 0) {
        --m_overflowDepth;
        return;
    }
    if (m_stack.size() <= 1)
        return; // a stray closing brace
    const Destination closing = state().destination;
    if (closing == Destination::FontTable)
        commitFont();
    if (m_picture && m_stack.size() == m_pictureDepth)
        finishPicture();
    m_stack.pop_back();
}

bool RtfReader::consumeUnicodeSkip()
{
    if (m_skipChars <= 0)
        return false;
    --m_skipChars;
    return true;
}

void RtfReader::controlSymbol(uchar symbol)
{
    if (m_overflowDepth > 0)
        return;
    // Waiting \'hh bytes come before whatever the symbol adds.
    flushBytes();
    if (symbol == '*') {
        state().ignorable = true;
        return;
    }
    if (consumeUnicodeSkip())
        return;
    if (state().destination != Destination::Text) {
        if (state().destination == Destination::FontTable &&
            (symbol == '\\' || symbol == '{' || symbol == '}'))
            m_fontName.append(char(symbol));
        return;
    }
    switch (symbol) {
    case '\\':
    case '{':
    case '}':
        appendChar(QLatin1Char(char(symbol)));
        break;
    case '~':
        appendChar(QChar(0x00A0));
        break;
    case '_':
        appendChar(QChar(0x2011));
        break;
    case '\n':
    case '\r':
        paragraph();
        break;
    default:
        break; // \- (optional hyphen), \: and others show nothing
    }
}

void RtfReader::hexByte(uchar byte)
{
    if (m_overflowDepth > 0)
        return;
    if (consumeUnicodeSkip())
        return;
    switch (state().destination) {
    case Destination::Text:
        if (!m_bytes.isEmpty() && m_bytesCodePage != currentCodePage())
            flushBytes();
        m_bytesCodePage = currentCodePage();
        m_bytes.append(char(byte));
        break;
    case Destination::FontTable:
        m_fontName.append(char(byte));
        break;
    default:
        break;
    }
}

void RtfReader::textByte(uchar byte)
{
    if (byte == '\r' || byte == '\n' || m_overflowDepth > 0)
        return;
    switch (state().destination) {
    case Destination::Skip:
        return;
    case Destination::Picture: {
        Picture &p = *m_picture;
        const int nibble = hexValue(byte);
        if (nibble < 0)
            return;
        if (p.highNibble < 0) {
            p.highNibble = nibble;
        } else {
            if (p.data.size() < kMaxPictureBytes)
                p.data.append(char(p.highNibble * 16 + nibble));
            else
                p.overflow = true;
            p.highNibble = -1;
        }
        return;
    }
    case Destination::FontTable:
        if (byte == ';')
            commitFont();
        else if (byte >= 0x20)
            m_fontName.append(char(byte));
        return;
    case Destination::Text:
        break;
    }
    if (consumeUnicodeSkip())
        return;
    if (byte == '\t') {
        flushBytes();
        appendChar(QLatin1Char('\t'));
        return;
    }
    if (byte < 0x20)
        return;
    if (byte >= 0x80) { // raw 8-bit text, as some writers leave it
        hexByte(byte);
        return;
    }
    flushBytes();
    appendChar(QLatin1Char(char(byte)));
}

void RtfReader::binary(qint64 length)
{
    const qint64 available = m_in.size() - m_pos;
    const qsizetype n = qsizetype(boundParam(0, length, available));
    if (m_overflowDepth == 0 && state().destination == Destination::Picture) {
        Picture &p = *m_picture;
        const qsizetype room = kMaxPictureBytes - p.data.size();
        if (n > room)
            p.overflow = true;
        p.data.append(m_in.sliced(m_pos, qMin(n, room)));
    }
    m_pos += n;
}

void RtfReader::controlWord(QByteArrayView word, bool hasParam, qint64 param)
{
    if (m_overflowDepth > 0) {
        if (word == "bin")
            binary(hasParam ? param : 0);
        return;
    }
    // Waiting \'hh bytes come before whatever the word adds; no word stands inside a character.
    flushBytes();
    GroupState &s = state();
    const bool first = s.firstWord;
    s.firstWord = false;

    if (word == "bin") {
        binary(hasParam ? param : 0);
        return;
    }
    if (word == "u") {
        if (consumeUnicodeSkip())
            return;
        if (s.destination == Destination::Text && hasParam) {
            int unit = int(param % 65536);
            if (unit < 0)
                unit += 65536;
            // Controls and the picture mark have a meaning in the document that text cannot take.
            if ((unit >= 0x20 || unit == '\t') && unit != QChar::ObjectReplacementCharacter)
                appendChar(QChar(char16_t(unit)));
        }
        m_skipChars = s.unicodeSkip;
        return;
    }
    if (consumeUnicodeSkip())
        return;

    if (s.destination == Destination::Skip)
        return;

    // Destinations.
    static const QByteArrayView skipped[] = {"colortbl",
                                             "stylesheet",
                                             "info",
                                             "header",
                                             "headerl",
                                             "headerr",
                                             "headerf",
                                             "footer",
                                             "footerl",
                                             "footerr",
                                             "footerf",
                                             "pntext",
                                             "pntxta",
                                             "pntxtb",
                                             "pn",
                                             "listtext",
                                             "footnote",
                                             "annotation",
                                             "atnid",
                                             "atnauthor",
                                             "atndate",
                                             "fldinst",
                                             "nonshppict",
                                             "objdata",
                                             "objclass",
                                             "objname",
                                             "listtable",
                                             "listoverridetable",
                                             "revtbl",
                                             "rsidtbl",
                                             "filetbl",
                                             "xe",
                                             "tc",
                                             "txe",
                                             "comment",
                                             "author",
                                             "operator",
                                             "title",
                                             "subject",
                                             "keywords",
                                             "doccomm",
                                             "creatim",
                                             "revtim",
                                             "printim",
                                             "buptim",
                                             "template",
                                             "private",
                                             "shpinst",
                                             "datafield",
                                             "themedata",
                                             "colorschememapping",
                                             "latentstyles",
                                             "pgdsctbl",
                                             "userprops",
                                             "docvar",
                                             "bkmkstart",
                                             "bkmkend",
                                             "xmlnstbl",
                                             "generator",
                                             "passwordhash",
                                             "background",
                                             "falt",
                                             "panose",
                                             "picprop",
                                             "blipuid",
                                             "fchars",
                                             "lchars",
                                             "company",
                                             "category",
                                             "manager",
                                             "hlinkbase",
                                             "mmathPr",
                                             "wgrffmtfilter",
                                             "ftnsep",
                                             "ftnsepc",
                                             "ftncn",
                                             "aftnsep",
                                             "aftnsepc",
                                             "aftncn",
                                             "do"};

    if (word == "fonttbl") {
        s.destination = Destination::FontTable;
        return;
    }
    if (word == "pict") {
        if (m_picture || s.destination == Destination::FontTable) {
            s.destination = Destination::Skip;
            return;
        }
        s.destination = Destination::Picture;
        m_picture = std::make_unique<Picture>();
        m_pictureDepth = m_stack.size();
        return;
    }
    if (word == "shppict" || word == "fldrslt" || word == "result" || word == "shprslt")
        return; // read as ordinary content
    for (const QByteArrayView d : skipped) {
        if (word == d) {
            s.destination = Destination::Skip;
            return;
        }
    }
    if (s.ignorable && first) {
        // {\*\unknown ...}: the writer says a reader that does not know it may skip it.
        s.destination = Destination::Skip;
        return;
    }

    if (s.destination == Destination::Picture) {
        Picture &p = *m_picture;
        if (word == "dibitmap")
            p.type = PictureType::Dib;
        else if (word == "wbitmap")
            p.type = PictureType::Ddb;
        else if (word == "pngblip")
            p.type = PictureType::Png;
        else if (word == "jpegblip")
            p.type = PictureType::Jpeg;
        else if (word == "wmetafile" || word == "emfblip" || word == "macpict" ||
                 word == "pmmetafile")
            p.type = PictureType::Other;
        else if (word == "picw")
            p.picw = param;
        else if (word == "pich")
            p.pich = param;
        else if (word == "picwgoal")
            p.goalw = param;
        else if (word == "pichgoal")
            p.goalh = param;
        else if (word == "picscalex")
            p.scalex = param;
        else if (word == "picscaley")
            p.scaley = param;
        else if (word == "wbmbitspixel")
            p.bitsPixel = param;
        else if (word == "wbmplanes")
            p.planes = param;
        else if (word == "wbmwidthbytes")
            p.widthBytes = param;
        return;
    }

    if (s.destination == Destination::FontTable) {
        if (word == "f") {
            commitFont();
            m_fontNumber = int(boundParam(-1, param, 1 << 20));
            m_fontCharset = 0;
        } else if (word == "fcharset") {
            m_fontCharset = int(boundParam(0, param, 255));
        }
        return;
    }

    // Document and character properties in text.
    if (word == "ansicpg") {
        if (hasParam && param > 0 && param < 100000)
            m_ansiCodePage = int(param);
    } else if (word == "deff") {
        m_defaultFont = int(boundParam(-1, param, 1 << 20));
    } else if (word == "uc") {
        s.unicodeSkip = int(boundParam(0, param, 16));
    } else if (word == "par" || word == "sect" || word == "page") {
        paragraph();
    } else if (word == "line") {
        appendChar(QChar::LineSeparator);
    } else if (word == "tab") {
        appendChar(QLatin1Char('\t'));
    } else if (word == "cell" || word == "nestcell") {
        m_pendingCellTab = true;
    } else if (word == "row" || word == "nestrow") {
        m_pendingCellTab = false;
        paragraph();
    } else if (word == "pard") {
        s.alignment = Qt::AlignLeft;
    } else if (word == "ql") {
        s.alignment = Qt::AlignLeft;
    } else if (word == "qc") {
        s.alignment = Qt::AlignHCenter;
    } else if (word == "qr") {
        s.alignment = Qt::AlignRight;
    } else if (word == "qj") {
        s.alignment = Qt::AlignJustify;
    } else if (word == "plain") {
        s.format = QTextCharFormat();
        s.font = -1;
        if (m_defaultFont >= 0 && m_fonts.contains(m_defaultFont)) {
            s.font = m_defaultFont;
            s.format.setFontFamilies({m_fonts.value(m_defaultFont).family});
        }
    } else if (word == "b") {
        s.format.setFontWeight(hasParam && param == 0 ? QFont::Normal : QFont::Bold);
    } else if (word == "i") {
        s.format.setFontItalic(!(hasParam && param == 0));
    } else if (word == "ul" || word == "uld" || word == "uldb" || word == "ulw" ||
               word == "uldash" || word == "ulth" || word == "ulwave" || word == "uldashd" ||
               word == "uldashdd") {
        s.format.setFontUnderline(!(hasParam && param == 0));
    } else if (word == "ulnone") {
        s.format.setFontUnderline(false);
    } else if (word == "strike") {
        s.format.setFontStrikeOut(!(hasParam && param == 0));
    } else if (word == "fs") {
        if (hasParam && param > 0)
            s.format.setFontPointSize(double(qMin<qint64>(param, 3276)) / 2.0);
    } else if (word == "f") {
        const int number = int(boundParam(-1, param, 1 << 20));
        s.font = number;
        const auto it = m_fonts.constFind(number);
        if (it != m_fonts.constEnd() && !it->family.isEmpty())
            s.format.setFontFamilies({it->family});
    } else if (word == "emdash") {
        appendChar(QChar(0x2014));
    } else if (word == "endash") {
        appendChar(QChar(0x2013));
    } else if (word == "bullet") {
        appendChar(QChar(0x2022));
    } else if (word == "lquote") {
        appendChar(QChar(0x2018));
    } else if (word == "rquote") {
        appendChar(QChar(0x2019));
    } else if (word == "ldblquote") {
        appendChar(QChar(0x201C));
    } else if (word == "rdblquote") {
        appendChar(QChar(0x201D));
    } else if (word == "emspace") {
        appendChar(QChar(0x2003));
    } else if (word == "enspace") {
        appendChar(QChar(0x2002));
    }
    // Anything else changes nothing this document shows.
}

void RtfReader::commitFont()
{
    if (m_fontNumber >= 0) {
        QString name =
            decode(m_fontName, codePageOfCharset(m_fontCharset, m_ansiCodePage)).trimmed();
        if (name.endsWith(QLatin1Char(';')))
            name.chop(1);
        if (!name.isEmpty() || !m_fonts.contains(m_fontNumber))
            m_fonts.insert(m_fontNumber, FontEntry{name, m_fontCharset});
    }
    m_fontNumber = -1;
    m_fontName.clear();
}

int RtfReader::currentCodePage()
{
    const int font = state().font;
    if (font >= 0) {
        const auto it = m_fonts.constFind(font);
        if (it != m_fonts.constEnd())
            return codePageOfCharset(it->charset, m_ansiCodePage);
    }
    return m_ansiCodePage;
}

QString RtfReader::decode(const QByteArray &bytes, int codePage)
{
    if (codePage != 1252 && codePage != 0) {
        std::shared_ptr<QStringDecoder> &decoder = m_decoders[codePage];
        if (!decoder) {
            const QByteArray name = codePage == 65001   ? QByteArray("UTF-8")
                                    : codePage == 10000 ? QByteArray("macintosh")
                                                        : "windows-" + QByteArray::number(codePage);
            decoder = std::make_shared<QStringDecoder>(name.constData());
        }
        if (decoder->isValid()) {
            decoder->resetState();
            return decoder->decode(bytes);
        }
    }
    return vn::FromAnsi(bytes);
}

void RtfReader::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    const QByteArray bytes = std::exchange(m_bytes, {});
    QString text = decode(bytes, m_bytesCodePage);
    text.removeIf([](QChar c) {
        return (c.unicode() < 0x20 && c != QLatin1Char('\t')) ||
               c == QChar::ObjectReplacementCharacter;
    });
    appendText(text);
}

void RtfReader::flushRun()
{
    if (m_run.isEmpty())
        return;
    m_cursor.insertText(m_run, m_runFormat);
    m_run.clear();
}

void RtfReader::applyAlignment()
{
    if (m_blockTouched)
        return;
    m_blockTouched = true;
    const Qt::Alignment alignment = state().alignment;
    if (alignment != Qt::AlignLeft) {
        QTextBlockFormat block = m_cursor.blockFormat();
        block.setAlignment(alignment);
        m_cursor.setBlockFormat(block);
    }
}

void RtfReader::emitPending()
{
    if (m_pendingBreaks > 0) {
        flushRun();
        for (; m_pendingBreaks > 0; --m_pendingBreaks) {
            m_cursor.insertBlock(QTextBlockFormat(), m_cursor.charFormat());
            m_blockTouched = false;
        }
    }
    if (m_pendingCellTab) {
        m_pendingCellTab = false;
        if (m_run.isEmpty())
            m_runFormat = state().format;
        m_run.append(QLatin1Char('\t'));
    }
}

void RtfReader::paragraph()
{
    m_pendingCellTab = false;
    if (m_pendingBreaks < INT_MAX)
        ++m_pendingBreaks;
}

void RtfReader::appendText(const QString &text)
{
    if (text.isEmpty())
        return;
    emitPending();
    if (!m_blockTouched) {
        flushRun();
        applyAlignment();
    }
    if (!m_run.isEmpty() && m_runFormat != state().format)
        flushRun();
    if (m_run.isEmpty())
        m_runFormat = state().format;
    m_run.append(text);
}

bool RtfReader::pixelsAllowed(qint64 width, qint64 height) const
{
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535)
        return false;
    const qint64 pixels = width * height;
    return pixels <= kMaxPicturePixels && m_pixelsUsed + pixels <= kMaxDocumentPixels;
}

QImage RtfReader::decodeDib(const QByteArray &dib) const
{
    // A packed DIB: BITMAPINFOHEADER (or a later, longer header), colour table, bits.
    if (dib.size() < 16)
        return {};
    const auto u32 = [&dib](int at) {
        return quint32(uchar(dib[at])) | quint32(uchar(dib[at + 1])) << 8 |
               quint32(uchar(dib[at + 2])) << 16 | quint32(uchar(dib[at + 3])) << 24;
    };
    const auto u16 = [&dib](int at) {
        return quint32(uchar(dib[at])) | quint32(uchar(dib[at + 1])) << 8;
    };
    const quint32 headerSize = u32(0);
    if (headerSize < 40 || headerSize > 124 || qsizetype(headerSize) > dib.size())
        return {};
    const qint64 width = qint32(u32(4));
    const qint64 height = qAbs(qint64(qint32(u32(8))));
    const quint32 bits = u16(14);
    const quint32 compression = u32(16);
    const quint32 used = u32(32);
    if (!pixelsAllowed(width, height))
        return {};
    qint64 colours = used;
    if (colours == 0 && bits <= 8)
        colours = qint64(1) << bits;
    if (colours > 256)
        return {};
    qint64 masks = (headerSize == 40 && (compression == 3 || compression == 6))
                       ? (compression == 3 ? 12 : 16)
                       : 0;
    const qint64 offset = 14 + headerSize + masks + colours * 4;
    if (offset > 14 + dib.size())
        return {};
    QByteArray file;
    file.reserve(14 + dib.size());
    const auto put32 = [&file](quint32 v) {
        for (int i = 0; i < 4; ++i)
            file.append(char((v >> (8 * i)) & 0xFF));
    };
    file.append("BM");
    put32(quint32(14 + dib.size()));
    put32(0);
    put32(quint32(offset));
    file.append(dib);
    return QImage::fromData(file, "BMP");
}

QImage RtfReader::decodeDdb(const Picture &p) const
{
    // Device-dependent bits: rows top-down, \wbmwidthbytes apart; 1 bit is white on black.
    if (!pixelsAllowed(p.picw, p.pich) || p.planes != 1)
        return {};
    QImage::Format format = QImage::Format_Invalid;
    switch (p.bitsPixel) {
    case 1:
        format = QImage::Format_Mono;
        break;
    case 16:
        format = QImage::Format_RGB555;
        break;
    case 24:
        format = QImage::Format_BGR888;
        break;
    case 32:
        format = QImage::Format_RGB32;
        break;
    default:
        return {};
    }
    const qint64 rowBytes = (p.picw * p.bitsPixel + 7) / 8;
    const qint64 stride = p.widthBytes > 0 ? p.widthBytes : (rowBytes + 1) / 2 * 2;
    if (stride < rowBytes || stride * p.pich > p.data.size())
        return {};
    QImage image(int(p.picw), int(p.pich), format);
    if (image.isNull())
        return {};
    if (format == QImage::Format_Mono)
        image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < image.height(); ++y)
        memcpy(image.scanLine(y), p.data.constData() + stride * y, size_t(rowBytes));
    return image;
}

QImage RtfReader::decodePicture(const Picture &p) const
{
    switch (p.type) {
    case PictureType::Dib:
        return decodeDib(p.data);
    case PictureType::Ddb:
        return decodeDdb(p);
    case PictureType::Png:
    case PictureType::Jpeg: {
        QImage image = QImage::fromData(p.data, p.type == PictureType::Png ? "PNG" : "JPEG");
        if (!image.isNull() && !pixelsAllowed(image.width(), image.height()))
            return {};
        return image;
    }
    case PictureType::None:
    case PictureType::Other:
        break;
    }
    return {};
}

void RtfReader::finishPicture()
{
    const std::unique_ptr<Picture> picture = std::move(m_picture);
    m_pictureDepth = 0;
    if (picture->overflow)
        return;
    // Pictures within pictures and other destinations never reach here: only text shows them.
    if (m_stack.size() < 2 || m_stack[m_stack.size() - 2].destination != Destination::Text)
        return;
    QImage image = decodePicture(*picture);
    if (image.isNull())
        return;
    m_pixelsUsed += qint64(image.width()) * image.height();

    double width = image.width();
    double height = image.height();
    if (picture->goalw > 0 && picture->goalw < 20000000)
        width = double(picture->goalw) / kTwipsPerPixel;
    if (picture->goalh > 0 && picture->goalh < 20000000)
        height = double(picture->goalh) / kTwipsPerPixel;
    if (picture->scalex > 0 && picture->scalex < 100000)
        width = width * double(picture->scalex) / 100.0;
    if (picture->scaley > 0 && picture->scaley < 100000)
        height = height * double(picture->scaley) / 100.0;

    const QString name = QStringLiteral("rtfpicture:%1").arg(g_imageSerial.fetch_add(1));
    m_cursor.document()->addResource(QTextDocument::ImageResource, QUrl(name), QVariant(image));
    QTextImageFormat format;
    format.setName(name);
    if (qRound(width) != image.width() || qRound(height) != image.height()) {
        format.setWidth(width);
        format.setHeight(height);
    }
    emitPending();
    flushRun();
    applyAlignment();
    m_cursor.insertImage(format);
}

} // namespace

void ReadRtf(QByteArrayView rtf, QTextCursor &cursor)
{
    if (cursor.isNull())
        return;
    cursor.beginEditBlock();
    RtfReader reader(rtf, cursor);
    reader.run();
    cursor.endEditBlock();
}

void ReadRtf(QByteArrayView rtf, QTextDocument &document)
{
    document.clear();
    QTextCursor cursor(&document);
    ReadRtf(rtf, cursor);
}
