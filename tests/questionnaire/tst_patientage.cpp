#include "questionnaire/patientage.h"
#include "testrunner.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QDate kToday(2026, 12, 10);

} // namespace

class TestPatientAge : public QObject
{
    Q_OBJECT

private slots:
    void ageOf_data();
    void ageOf();
};

void TestPatientAge::ageOf_data()
{
    QTest::addColumn<QString>("personnr");
    QTest::addColumn<QDate>("birthDate");
    QTest::addColumn<int>("formatCode");
    QTest::addColumn<bool>("computable");
    QTest::addColumn<double>("age");

    // The birth date wins over the number whenever it is known.
    QTest::newRow("birth date: 17 years and 5 months")
        << u"xx"_s << QDate(2009, 7, 1) << 1 << true << 17.25;
    QTest::newRow("birth date one day short of the 18th birthday: 17 years and 11 months")
        << u"20081211-1234"_s << QDate(2008, 12, 11) << 0 << true << 17.31;
    QTest::newRow("birth date on the 18th birthday")
        << u""_s << QDate(2008, 12, 10) << 0 << true << 18.20;
    QTest::newRow("birth date late in January, today early in the month")
        << u""_s << QDate(1990, 1, 31) << 0 << true << 36.30;

    // YYYYMMDD-SSSS: the day plays no part.
    QTest::newRow("twelve digits with dash: turns 18 later this month, counted as 18")
        << u"20081228-1234"_s << QDate() << 0 << true << 18.20;
    QTest::newRow("twelve digits without dash, format code absent")
        << u"200812281234"_s << QDate() << -1 << true << 18.20;
    QTest::newRow("twelve digits, next month's birthday: 17 years 11 months")
        << u"20090115-1234"_s << QDate() << 2 << true << 17.31;
    QTest::newRow("ten characters in the twelve-digit format: 0")
        << u"850619-2932"_s << QDate() << 0 << true << 0.0;
    QTest::newRow("letters in the year: not computable")
        << u"19X50619-2932"_s << QDate() << 0 << false << 0.0;
    QTest::newRow("letters in the day: not computable")
        << u"198506AB-2932"_s << QDate() << 0 << false << 0.0;

    // DDMMYY-SSSS carries no century: the latest year not after this one, "+" for a hundred.
    QTest::newRow("DDMMYY of the 1900s") << u"190685-2932"_s << QDate() << 1 << true << 41.26;
    QTest::newRow("DDMMYY of the 2000s is a child, not a centenarian")
        << u"150315-1234"_s << QDate() << 1 << true << 11.29;
    QTest::newRow("DDMMYY with plus: a hundred years more")
        << u"150315+1234"_s << QDate() << 1 << true << 111.29;
    QTest::newRow("DDMMYY this year's two digits")
        << u"010126-1234"_s << QDate() << 1 << true << 0.31;

    // DDMMYYSSSSS: individual numbers from 500 belong to the 2000s.
    QTest::newRow("DDMMYYSSSSS individual below 500: 1900s")
        << u"01030812345"_s << QDate() << 3 << true << 118.29;
    QTest::newRow("DDMMYYSSSSS individual 500 or more: 2000s")
        << u"01030850045"_s << QDate() << 3 << true << 18.29;
    QTest::newRow("DDMMYYSSSSS individual not a number: 1900s")
        << u"010308X1234"_s << QDate() << 3 << true << 118.29;
    QTest::newRow("DDMMYY length does not fit: 0")
        << u"19850619-2932"_s << QDate() << 1 << true << 0.0;
    QTest::newRow("unknown format code: 0") << u"19850619-2932"_s << QDate() << 7 << true << 0.0;
}

void TestPatientAge::ageOf()
{
    QFETCH(QString, personnr);
    QFETCH(QDate, birthDate);
    QFETCH(int, formatCode);
    QFETCH(bool, computable);
    QFETCH(double, age);

    const auto result = PatientAgeOf(personnr, birthDate, kToday, formatCode);
    QCOMPARE(result.has_value(), computable);
    if (computable)
        QCOMPARE(*result, age);
}

VN_REGISTER_TEST(TestPatientAge)
#include "tst_patientage.moc"
