#pragma once

#include <QString>
#include <vector>

// Outcome of matching a text against a picture, in the order the staff tool lists them.
enum class PictureResult
{
    Complete,
    Incomplete,
    Empty,
    Error,
    Syntax
};

// "complete", "incomplete", "empty", "error" or "syntax".
QString PictureResultName(PictureResult result);

// Matches texts against a picture mask: placeholders (# ? & ~ @ !), literals, optional parts
// [..], groups {..}, alternatives separated by commas, repetitions *n and *, and the escape ;.
// Matching normalises the text (case conversion, literals written as the picture has them) and
// can fill in the literals that must follow what was typed.
class TwwPictureValidator
{
public:
    explicit TwwPictureValidator(const QString &picture);

    QString picture() const { return m_picture; }

    // Matches `text`, normalising it in place; with `autoFill`, an incomplete text is extended
    // by the literals that must come next, as long as the longer text still matches. On error
    // the text is left as it came.
    PictureResult Picture(QString &text, bool autoFill) const;

    // True when the picture is empty or `text` is not an error against it.
    bool IsValidInput(const QString &text) const;

    // Well formed: not empty, brackets and braces properly nested (escaped ones aside), no
    // semicolon at the very end (escaped or not), every * followed by a token inside its own
    // alternative, and nested no deeper than kMaxNesting.
    static bool IsSyntaxValid(const QString &picture);

    // Groups, optional parts and repetitions inside one another; the matcher recurses once per
    // level, so the depth is bounded. Real pictures use two or three.
    static constexpr int kMaxNesting = 32;

private:
    friend class PictureMatcher;

    bool analyse();
    void layoutRange(int from, int to);
    void layoutToken(int at);

    QString m_picture;
    bool m_valid = false;
    // Indexed by picture position; meaningful where a token starts.
    std::vector<int> m_tokenEnd;      // one past the token (a *'s own token included)
    std::vector<int> m_repeatCount;   // for *: the count, or -1 without one
    std::vector<int> m_repeatToken;   // for *: where the repeated token starts
    std::vector<char> m_optional;     // the token can match nothing at all
    std::vector<char> m_restOptional; // so can it and every token after it in its alternative
};
