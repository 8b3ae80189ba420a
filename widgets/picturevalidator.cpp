#include "widgets/picturevalidator.h"

#include <QStringView>
#include <algorithm>

namespace {

// Results while matching (a malformed picture never gets this far): ambiguous is a match that could
// also go on (reported as complete), incomplete-without-fill a valid beginning whose next literals
// must not be filled in because an open-ended part comes first (reported as incomplete).
enum class Res
{
    Complete,
    Incomplete,
    Empty,
    Error,
    Ambiguous,
    IncompleteNoFill
};

bool isComplete(Res r)
{
    return r == Res::Complete || r == Res::Ambiguous;
}

bool isIncomplete(Res r)
{
    return r == Res::Incomplete || r == Res::IncompleteNoFill;
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isLetter(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c.unicode() > 128;
}

bool isAsciiLetter(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool sameLiteral(QChar picture, QChar typed)
{
    if (picture == typed)
        return true;
    return isAsciiLetter(picture) && isAsciiLetter(typed) &&
           (picture.unicode() | 0x20) == (typed.unicode() | 0x20);
}

// Auto-fill copies literals up to the first of these.
bool stopsFill(QChar c)
{
    return QStringView(u"#?&~!@*{}[],").contains(c);
}

// Nested repetitions over alternatives retry the same stretch of text again and again, at a
// cost that grows with the text length to the power of the nesting. A match that would take
// more steps than this (a few milliseconds' work) is refused as an error; the personal-number
// picture takes about 25.
constexpr int kStepBudget = 1 << 20;

// Counts beyond this behave alike: a pass that consumes nothing ends the repetition, so no
// text can need more passes than it has characters.
constexpr int kCountCap = 100'000'000;

} // namespace

// One match of a text against the picture: the picture cursor i, the text cursor j. Characters
// are tested as typed (from `in`) and stored normalised into `out`, so a rejected alternative
// cannot change what a later one sees.
class PictureMatcher
{
public:
    PictureMatcher(const TwwPictureValidator &v, const QChar *in, QChar *out, qsizetype length)
        : m_v(v), m_pic(v.m_picture.constData()), m_in(in), m_out(out), m_length(length)
    {}

    // Matches the whole text; `pictureEnd` receives where the matched part of the picture ends.
    Res run(int *pictureEnd)
    {
        Res r = process(int(m_v.m_picture.size()));
        if (m_exhausted)
            return Res::Error;
        if (r != Res::Error && m_j < m_length)
            r = Res::Error;
        *pictureEnd = m_i;
        return r;
    }

private:
    bool tick()
    {
        if (++m_steps > kStepBudget)
            m_exhausted = true;
        return !m_exhausted;
    }

    void consume(QChar c)
    {
        m_out[m_j++] = c;
        ++m_i;
    }

    // Moves i from the start of an alternative past the next comma of its level.
    bool skipToNextAlternative(int end)
    {
        while (m_i < end && m_pic[m_i] != u',')
            m_i = m_v.m_tokenEnd[size_t(m_i)];
        if (m_i >= end)
            return false;
        ++m_i;
        return true;
    }

    // The alternatives of the range [i, end), first to last.
    Res process(int end)
    {
        const qsizetype startJ = m_j;
        bool incomplete = false;
        int incompleteI = 0;
        qsizetype incompleteJ = 0;
        bool saved = false;
        QString incompleteText; // what the first incomplete alternative stored
        Res last = Res::Error;
        for (;;) {
            const int alternative = m_i;
            Res r = scan(end);
            if (m_exhausted)
                return Res::Error;
            // A complete alternative that stops short of an incomplete one loses to it.
            if (isComplete(r) && incomplete && m_j < incompleteJ)
                r = Res::Incomplete;
            if (r != Res::Error && r != Res::Incomplete)
                return (r == Res::Complete && incomplete) ? Res::Ambiguous : r;
            if (r == Res::Incomplete && !incomplete) {
                incomplete = true;
                incompleteI = m_i;
                incompleteJ = m_j;
            }
            last = r;
            m_i = alternative;
            m_j = startJ;
            if (!skipToNextAlternative(end))
                break;
            if (incomplete && !saved) {
                // The next alternatives store over the same characters.
                incompleteText = QString(m_out + startJ, incompleteJ - startJ);
                saved = true;
            }
        }
        if (!incomplete)
            return last;
        m_i = incompleteI;
        m_j = incompleteJ;
        if (saved)
            std::copy(incompleteText.cbegin(), incompleteText.cend(), m_out + startJ);
        return Res::Incomplete;
    }

    // The tokens of one alternative, up to `end` or a comma.
    Res scan(int end)
    {
        Res r = Res::Empty;
        while (m_i < end && m_pic[m_i] != u',') {
            if (!tick())
                return Res::Error;
            if (m_j >= m_length) {
                // Only what may be left out remains: complete as far as needed.
                if (isIncomplete(r) && m_v.m_restOptional[size_t(m_i)])
                    return Res::Ambiguous;
                return r;
            }
            const QChar c = m_in[m_j];
            switch (m_pic[m_i].unicode()) {
            case u'#':
                if (!isDigit(c))
                    return Res::Error;
                consume(c);
                break;
            case u'?':
                if (!isLetter(c))
                    return Res::Error;
                consume(c);
                break;
            case u'&':
                if (!isLetter(c))
                    return Res::Error;
                consume(c.toUpper());
                break;
            case u'~':
                if (!isLetter(c))
                    return Res::Error;
                consume(c.toLower());
                break;
            case u'!':
                consume(c.toUpper());
                break;
            case u'@':
                consume(c);
                break;
            case u'*':
                r = repetition();
                if (!isComplete(r))
                    return r;
                break;
            case u'{':
                r = group();
                if (!isComplete(r))
                    return r;
                break;
            case u'[':
                r = group();
                if (isIncomplete(r))
                    return r;
                if (r == Res::Error) // the optional part is left out
                    r = Res::Ambiguous;
                break;
            default:
                if (!literal(c))
                    return Res::Error;
                break;
            }
            r = r == Res::Ambiguous ? Res::IncompleteNoFill : Res::Incomplete;
        }
        return r == Res::IncompleteNoFill ? Res::Ambiguous : Res::Complete;
    }

    // A blank typed last stands for the literal (the quick way to get the dash of a personal
    // number), but for one literal only: once a literal has taken the trailing blank, even in an
    // alternative that lost, no other literal takes it.
    bool literal(QChar c)
    {
        const int at = m_pic[m_i] == u';' ? m_i + 1 : m_i;
        const QChar expected = m_pic[at];
        const bool blankLast = c == u' ' && m_j == m_length - 1;
        if (!sameLiteral(expected, c) && (!blankLast || m_blankUsed))
            return false;
        if (blankLast)
            m_blankUsed = true;
        m_out[m_j++] = expected;
        m_i = at + 1;
        return true;
    }

    Res group()
    {
        const int close = m_v.m_tokenEnd[size_t(m_i)] - 1;
        ++m_i;
        const Res r = process(close);
        // An incomplete part leaves i inside it, where auto-fill continues.
        if (!isIncomplete(r))
            m_i = close + 1;
        return r;
    }

    Res repetition()
    {
        const auto star = size_t(m_i);
        const int count = m_v.m_repeatCount[star];
        const int token = m_v.m_repeatToken[star];
        const int tokenEnd = m_v.m_tokenEnd[star];
        Res r = Res::Complete;
        if (count >= 0) {
            const bool optionalToken = m_pic[token] == u'[';
            for (int pass = 0; pass < count; ++pass) {
                if (!tick())
                    return Res::Error;
                const qsizetype before = m_j;
                m_i = token;
                r = process(tokenEnd);
                if (m_exhausted)
                    return Res::Error;
                if (r == Res::Empty)
                    r = optionalToken ? Res::Complete : Res::Incomplete;
                if (!isComplete(r))
                    return r;
                // Nothing consumed: the remaining passes would repeat this one exactly.
                if (m_j == before)
                    break;
            }
        } else {
            for (;;) {
                if (!tick())
                    return Res::Error;
                const qsizetype before = m_j;
                m_i = token;
                r = process(tokenEnd);
                if (m_exhausted)
                    return Res::Error;
                if (!isComplete(r) || m_j == before)
                    break;
            }
            if (r == Res::Empty || r == Res::Error)
                r = Res::Ambiguous;
            else if (isIncomplete(r))
                return r;
        }
        m_i = tokenEnd;
        return r;
    }

    const TwwPictureValidator &m_v;
    const QChar *m_pic;
    const QChar *m_in;
    QChar *m_out;
    qsizetype m_length;
    int m_i = 0;
    qsizetype m_j = 0;
    bool m_blankUsed = false;
    int m_steps = 0;
    bool m_exhausted = false;
};

QString PictureResultName(PictureResult result)
{
    switch (result) {
    case PictureResult::Complete:
        return QStringLiteral("complete");
    case PictureResult::Incomplete:
        return QStringLiteral("incomplete");
    case PictureResult::Empty:
        return QStringLiteral("empty");
    case PictureResult::Error:
        return QStringLiteral("error");
    case PictureResult::Syntax:
        break;
    }
    return QStringLiteral("syntax");
}

TwwPictureValidator::TwwPictureValidator(const QString &picture) : m_picture(picture)
{
    m_valid = analyse();
    if (m_valid)
        layoutRange(0, int(m_picture.size()));
}

bool TwwPictureValidator::IsSyntaxValid(const QString &picture)
{
    return TwwPictureValidator(picture).m_valid;
}

bool TwwPictureValidator::analyse()
{
    if (m_picture.isEmpty() || m_picture.size() > kCountCap)
        return false;
    const int length = int(m_picture.size());
    const QChar *pic = m_picture.constData();
    // Even an escaped semicolon may not end a picture.
    if (pic[length - 1] == u';')
        return false;
    m_tokenEnd.assign(size_t(length), 0);
    m_repeatCount.assign(size_t(length), -1);
    m_repeatToken.assign(size_t(length), 0);
    m_optional.assign(size_t(length), 0);
    m_restOptional.assign(size_t(length), 0);

    struct Open
    {
        int at;
        int depth; // of the tokens inside
    };
    std::vector<Open> open;
    std::vector<int> stars;
    int pendingStars = 0; // stars waiting for their token
    int p = 0;
    while (p < length) {
        const QChar c = pic[p];
        const int depth = (open.empty() ? 0 : open.back().depth) + pendingStars;
        if (c == u']' || c == u'}' || c == u',') {
            // A star right before one of these has no token in its own alternative.
            if (pendingStars > 0)
                return false;
            if (c != u',') {
                if (open.empty() || pic[open.back().at] != (c == u']' ? u'[' : u'{'))
                    return false;
                m_tokenEnd[size_t(open.back().at)] = p + 1;
                open.pop_back();
            }
            ++p;
            continue;
        }
        if (c == u'*') {
            int q = p + 1;
            int count = -1;
            while (q < length && isDigit(pic[q])) {
                count = std::min(std::max(count, 0) * 10 + (pic[q].unicode() - u'0'), kCountCap);
                ++q;
            }
            if (q >= length || depth + 1 > kMaxNesting)
                return false;
            m_repeatCount[size_t(p)] = count;
            m_repeatToken[size_t(p)] = q;
            stars.push_back(p);
            ++pendingStars;
            p = q;
            continue;
        }
        pendingStars = 0;
        if (c == u';') {
            if (p + 1 >= length)
                return false;
            m_tokenEnd[size_t(p)] = p + 2;
            p += 2;
            continue;
        }
        if (c == u'[' || c == u'{') {
            if (depth + 1 > kMaxNesting)
                return false;
            open.push_back({p, depth + 1});
        } else {
            m_tokenEnd[size_t(p)] = p + 1;
        }
        ++p;
    }
    if (!open.empty())
        return false;
    // A star's token ends further right, so right to left settles chains of stars too.
    for (auto it = stars.rbegin(); it != stars.rend(); ++it)
        m_tokenEnd[size_t(*it)] = m_tokenEnd[size_t(m_repeatToken[size_t(*it)])];
    return true;
}

void TwwPictureValidator::layoutRange(int from, int to)
{
    const QChar *pic = m_picture.constData();
    std::vector<int> tokens;
    int p = from;
    for (;;) {
        tokens.clear();
        while (p < to && pic[p] != u',') {
            layoutToken(p);
            tokens.push_back(p);
            p = m_tokenEnd[size_t(p)];
        }
        bool rest = true;
        for (auto it = tokens.rbegin(); it != tokens.rend(); ++it) {
            rest = rest && m_optional[size_t(*it)];
            m_restOptional[size_t(*it)] = rest;
        }
        if (p >= to)
            break;
        ++p;
    }
}

void TwwPictureValidator::layoutToken(int at)
{
    const QChar *pic = m_picture.constData();
    const auto i = size_t(at);
    switch (pic[at].unicode()) {
    case u'[':
        layoutRange(at + 1, m_tokenEnd[i] - 1);
        m_optional[i] = 1;
        break;
    case u'{': {
        const int close = m_tokenEnd[i] - 1;
        layoutRange(at + 1, close);
        // Optional when one alternative can match nothing.
        int q = at + 1;
        for (;;) {
            if (q >= close || pic[q] == u',' || m_restOptional[size_t(q)]) {
                m_optional[i] = 1;
                break;
            }
            while (q < close && pic[q] != u',')
                q = m_tokenEnd[size_t(q)];
            if (q >= close)
                break;
            ++q;
        }
        break;
    }
    case u'*': {
        // The repeated token is a range of its own: matching runs it as one.
        const int token = m_repeatToken[i];
        layoutRange(token, m_tokenEnd[size_t(token)]);
        m_optional[i] = m_repeatCount[i] <= 0 || pic[token] == u'[';
        break;
    }
    default:
        break;
    }
}

PictureResult TwwPictureValidator::Picture(QString &text, bool autoFill) const
{
    if (!m_valid)
        return PictureResult::Syntax;
    if (text.isEmpty())
        return PictureResult::Empty;

    const auto match = [this](QString &t, int *pictureEnd) {
        const QString typed = t;
        PictureMatcher matcher(*this, typed.constData(), t.data(), t.size());
        const Res r = matcher.run(pictureEnd);
        if (r == Res::Error)
            t = typed;
        return r;
    };

    int pictureEnd = 0;
    Res r = match(text, &pictureEnd);
    if (r == Res::Incomplete && autoFill) {
        QString fill;
        const QChar *pic = m_picture.constData();
        for (int p = pictureEnd; p < m_picture.size() && !stopsFill(pic[p]); ++p) {
            if (pic[p] == u';')
                ++p; // never the last character of a well-formed picture
            fill += pic[p];
        }
        if (!fill.isEmpty()) {
            const QString typed = text;
            text += fill;
            int ignored = 0;
            const Res filled = match(text, &ignored);
            if (filled == Res::Error)
                text = typed;
            else
                r = filled;
        }
    }

    switch (r) {
    case Res::Complete:
    case Res::Ambiguous:
        return PictureResult::Complete;
    case Res::Incomplete:
    case Res::IncompleteNoFill:
        return PictureResult::Incomplete;
    case Res::Empty:
        return PictureResult::Empty;
    case Res::Error:
        break;
    }
    return PictureResult::Error;
}

bool TwwPictureValidator::IsValidInput(const QString &text) const
{
    if (m_picture.isEmpty())
        return true;
    QString copy = text;
    return Picture(copy, false) != PictureResult::Error;
}
