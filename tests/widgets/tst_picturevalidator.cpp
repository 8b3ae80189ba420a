#include "testrunner.h"
#include "widgets/picturevalidator.h"

#include <QTest>

namespace {

const QString twelveDigits = QStringLiteral("#[#][#][#][#][#][#][#]-[#,&][#,&][#][#,&]");
const QString tenDigits = QStringLiteral("#[#][#][#][#][#]-[#][#][#][#]");

// Nested each within the next: `depth` optional parts around one digit.
QString nestedOptional(int depth)
{
    return QString(depth, u'[') + u'#' + QString(depth, u']');
}

} // namespace

class TstPictureValidator : public QObject
{
    Q_OBJECT

private slots:
    void picture_data();
    void picture();
    void syntax_data();
    void syntax();
    void resultNames();
    void nestedRetriesEndInBoundedTime();
};

void TstPictureValidator::picture_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("autoFill");
    QTest::addColumn<PictureResult>("result");
    QTest::addColumn<QString>("text");

    using R = PictureResult;
    const auto row = [](const char *name, const QString &picture, const QString &input,
                        bool autoFill, R result, const QString &text) {
        QTest::newRow(name) << picture << input << autoFill << result << text;
    };
    const auto s = [](const char16_t *text) { return QString::fromUtf16(text); };

    // The personal-number pictures.
    row("12 digits: eight digits get the dash", twelveDigits, s(u"19121212"), true, R::Complete,
        s(u"19121212-"));
    row("12 digits: eight digits without fill", twelveDigits, s(u"19121212"), false, R::Incomplete,
        s(u"19121212"));
    row("12 digits: letter T and three digits", twelveDigits, s(u"19121212-T123"), true,
        R::Complete, s(u"19121212-T123"));
    row("12 digits: lower-case letter stored upper", twelveDigits, s(u"19121212-t12x"), true,
        R::Complete, s(u"19121212-T12X"));
    row("12 digits: ninth digit", twelveDigits, s(u"191212121"), true, R::Error, s(u"191212121"));
    row("12 digits: last positions optional", twelveDigits, s(u"19121212-12"), true, R::Complete,
        s(u"19121212-12"));
    row("12 digits: blank becomes the dash", twelveDigits, s(u"19121212 "), true, R::Complete,
        s(u"19121212-"));
    row("12 digits: a second blank", twelveDigits, s(u"19121212- "), true, R::Error,
        s(u"19121212- "));
    row("10 digits: six digits get the dash", tenDigits, s(u"121212"), true, R::Complete,
        s(u"121212-"));
    row("10 digits: five after the dash", tenDigits, s(u"121212-12345"), true, R::Error,
        s(u"121212-12345"));

    // Literals, blanks and auto-fill.
    row("three digits get the dash", s(u"###-##"), s(u"123"), true, R::Incomplete, s(u"123-"));
    row("blank before the end", s(u"###-##"), s(u"123 4"), true, R::Error, s(u"123 4"));
    row("blank at the end becomes the dash", s(u"###-##"), s(u"123 "), true, R::Incomplete,
        s(u"123-"));
    row("literal letters ignore case, stored as pictured", s(u"AB-#"), s(u"ab-1"), true,
        R::Complete, s(u"AB-1"));
    row("fill stops at a placeholder", s(u"#:-#"), s(u"1"), true, R::Incomplete, s(u"1:-"));
    row("blank fills one literal only", s(u"{a1,b}"), s(u" "), false, R::Incomplete, s(u"a"));
    row("blank, then the rest of that alternative filled", s(u"{a1,b}"), s(u" "), true, R::Complete,
        s(u"a1"));
    row("filled text that matches worse is taken back", s(u"&,a-&"), s(u" "), true, R::Incomplete,
        s(u"a"));
    row("empty text", s(u"###"), QString(), true, R::Empty, QString());

    // Placeholders.
    row("ampersands upper-case letters", s(u"&&&"), s(u"abc"), true, R::Complete, s(u"ABC"));
    row("ampersand refuses a digit", s(u"&&&"), s(u"ab1"), true, R::Error, s(u"ab1"));
    row("tilde lower-cases letters above 128 too", s(u"~~~"), s(u"ÅSA"), true, R::Complete,
        s(u"åsa"));
    row("question mark keeps the case", s(u"???"), s(u"aÖb"), true, R::Complete, s(u"aÖb"));
    row("question mark refuses a digit", s(u"??"), s(u"a1"), true, R::Error, s(u"a1"));
    row("exclamation upper-cases anything", s(u"!!!"), s(u"a1ö"), true, R::Complete, s(u"A1Ö"));
    row("at sign takes anything", s(u"@@"), s(u"-?"), true, R::Complete, s(u"-?"));

    // Repetition.
    row("star: any number of digits", s(u"*#"), s(u"20240101"), true, R::Complete, s(u"20240101"));
    row("star: a letter among the digits", s(u"*#"), s(u"12a4"), true, R::Error, s(u"12a4"));
    row("star 3: two digits", s(u"*3#"), s(u"12"), true, R::Incomplete, s(u"12"));
    row("star 3: three digits", s(u"*3#"), s(u"123"), true, R::Complete, s(u"123"));
    row("star 3: four digits", s(u"*3#"), s(u"1234"), true, R::Error, s(u"1234"));
    row("star 2 of a group, filled inside the group", s(u"*2{#-}"), s(u"1-2"), true, R::Complete,
        s(u"1-2-"));
    row("star of an optional part stops when nothing is taken", s(u"*[#]x"), s(u"12x"), true,
        R::Complete, s(u"12x"));
    row("star of an optional part before a mismatch", s(u"*[#]x"), s(u"x"), true, R::Complete,
        s(u"x"));
    row("star of alternatives", s(u"*{Ja,Nej}"), s(u"janejJA"), true, R::Complete, s(u"JaNejJa"));
    row("star of a star", s(u"**#"), s(u"123"), true, R::Complete, s(u"123"));
    row("huge count behaves as no limit on text", s(u"*99999999999999999999[#]"), s(u"123"), true,
        R::Complete, s(u"123"));
    row("count 0 repeats nothing", s(u"#*0#"), s(u"1"), true, R::Complete, s(u"1"));
    row("no fill after an open-ended repetition", s(u"*#-#"), s(u"12"), true, R::Incomplete,
        s(u"12"));

    // Groups, optional parts and alternatives.
    row("Ja/Nej: j filled to Ja", s(u"{Ja,Nej}"), s(u"j"), true, R::Complete, s(u"Ja"));
    row("Ja/Nej: n filled to Nej", s(u"{Ja,Nej}"), s(u"n"), true, R::Complete, s(u"Nej"));
    row("Ja/Nej: j without fill", s(u"{Ja,Nej}"), s(u"j"), false, R::Incomplete, s(u"J"));
    row("Ja/Nej: neither", s(u"{Ja,Nej}"), s(u"x"), true, R::Error, s(u"x"));
    row("first of two incomplete alternatives is filled", s(u"{Nej,Nu}"), s(u"n"), true,
        R::Complete, s(u"Nej"));
    row("first complete alternative is taken", s(u"{#,##}"), s(u"12"), true, R::Error, s(u"12"));
    row("complete alternative shorter than an incomplete one loses", s(u"{##-,#}"), s(u"12"), true,
        R::Complete, s(u"12-"));
    row("alternatives of the whole picture", s(u"##,&&&"), s(u"ab"), true, R::Incomplete, s(u"AB"));
    row("optional parts nested: one digit", s(u"#[#[#]]"), s(u"1"), true, R::Complete, s(u"1"));
    row("optional parts nested: three digits", s(u"#[#[#]]"), s(u"123"), true, R::Complete,
        s(u"123"));
    row("optional parts nested: four digits", s(u"#[#[#]]"), s(u"1234"), true, R::Error,
        s(u"1234"));
    row("optional part begun must be finished", s(u"##[-##]"), s(u"12-3"), true, R::Incomplete,
        s(u"12-3"));
    row("group inside a group", s(u"#{-{a,b},/}#"), s(u"1-B2"), true, R::Complete, s(u"1-b2"));
    row("group with a skippable alternative may be left out", s(u"#{[a],b}"), s(u"1"), true,
        R::Complete, s(u"1"));
    row("empty last alternative", s(u"{a,}b"), s(u"b"), true, R::Complete, s(u"b"));
    row("rejected alternative leaves the typed character", s(u"{!1,@2}"), s(u"a2"), true,
        R::Complete, s(u"a2"));
    row("incomplete alternative keeps its own normalisation", s(u"{~~~1,!!!2}"), s(u"ABC"), false,
        R::Incomplete, s(u"abc"));

    // Escapes.
    row("escaped dash filled", s(u"#;-#"), s(u"1"), true, R::Incomplete, s(u"1-"));
    row("escaped dash refuses a digit", s(u"#;-#"), s(u"12"), true, R::Error, s(u"12"));
    row("escaped star is a literal", s(u";*#"), s(u"*5"), true, R::Complete, s(u"*5"));
    row("escaped placeholder is filled as a literal", s(u"#;##"), s(u"1"), true, R::Incomplete,
        s(u"1#"));
    row("escaped brackets are literals", s(u";[#;]"), s(u"[5]"), true, R::Complete, s(u"[5]"));

    // Malformed pictures.
    row("picture ending in an escape", s(u"#;"), s(u"1"), true, R::Syntax, s(u"1"));
    row("unclosed optional part", s(u"#[#"), s(u"1"), true, R::Syntax, s(u"1"));
}

void TstPictureValidator::picture()
{
    QFETCH(QString, picture);
    QFETCH(QString, input);
    QFETCH(bool, autoFill);
    QFETCH(PictureResult, result);
    QFETCH(QString, text);

    const TwwPictureValidator validator(picture);
    QString actual = input;
    QCOMPARE(PictureResultName(validator.Picture(actual, autoFill)), PictureResultName(result));
    QCOMPARE(actual, text);
    QCOMPARE(validator.IsValidInput(input), result != PictureResult::Error);
}

void TstPictureValidator::syntax_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<bool>("valid");

    QTest::newRow("personal number") << twelveDigits << true;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("escape at the end") << QStringLiteral("##;") << false;
    QTest::newRow("escaped escape at the end") << QStringLiteral("##;;") << false;
    QTest::newRow("escaped escape inside") << QStringLiteral("#;;#") << true;
    QTest::newRow("star at the end") << QStringLiteral("#*") << false;
    QTest::newRow("escaped star at the end") << QStringLiteral("#;*") << true;
    QTest::newRow("count without a token") << QStringLiteral("#*3") << false;
    QTest::newRow("star before a comma") << QStringLiteral("{*,#}") << false;
    QTest::newRow("star before a closer") << QStringLiteral("[#*]") << false;
    QTest::newRow("unclosed optional part") << QStringLiteral("#[#") << false;
    QTest::newRow("unclosed group") << QStringLiteral("{Ja,Nej") << false;
    QTest::newRow("closer without opener") << QStringLiteral("#]") << false;
    QTest::newRow("closers in the wrong order") << QStringLiteral("{[#}]") << false;
    QTest::newRow("balanced only in number") << QStringLiteral("]#[") << false;
    QTest::newRow("escaped brackets do not count") << QStringLiteral(";[#;}") << true;
    QTest::newRow("nested to the limit")
        << nestedOptional(TwwPictureValidator::kMaxNesting) << true;
    QTest::newRow("nested beyond the limit")
        << nestedOptional(TwwPictureValidator::kMaxNesting + 1) << false;
    QTest::newRow("stars chained beyond the limit")
        << QString(TwwPictureValidator::kMaxNesting + 1, u'*') + u'#' << false;
}

void TstPictureValidator::syntax()
{
    QFETCH(QString, picture);
    QFETCH(bool, valid);

    QCOMPARE(TwwPictureValidator::IsSyntaxValid(picture), valid);
    QString text = QStringLiteral("1");
    const PictureResult result = TwwPictureValidator(picture).Picture(text, true);
    QCOMPARE(result == PictureResult::Syntax, !valid);
    if (!valid) // a malformed picture restricts nothing
        QVERIFY(TwwPictureValidator(picture).IsValidInput(QStringLiteral("x")));
}

void TstPictureValidator::resultNames()
{
    const QStringList names = {
        PictureResultName(PictureResult::Complete), PictureResultName(PictureResult::Incomplete),
        PictureResultName(PictureResult::Empty), PictureResultName(PictureResult::Error),
        PictureResultName(PictureResult::Syntax)};
    QCOMPARE(names, QStringList({QStringLiteral("complete"), QStringLiteral("incomplete"),
                                 QStringLiteral("empty"), QStringLiteral("error"),
                                 QStringLiteral("syntax")}));
}

// Each level retries the level inside it from every position of the text; unbounded, this
// text would take on the order of 200^5 steps.
void TstPictureValidator::nestedRetriesEndInBoundedTime()
{
    const TwwPictureValidator validator(QStringLiteral("*{*{*{*{*{*#a,#}b,#}c,#}d,#}e,#}"));
    QString text = QString(200, u'1') + u'!';
    QCOMPARE(validator.Picture(text, true), PictureResult::Error);
}

VN_REGISTER_TEST(TstPictureValidator)
#include "tst_picturevalidator.moc"
