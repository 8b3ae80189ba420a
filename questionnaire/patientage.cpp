#include "questionnaire/patientage.h"

#include "questionnaire/counters.h"
#include "toolkit/dialogs.h"

namespace {

struct YearsAndMonths
{
    int years = 0;
    int months = 0;
};

// The whole years, a decimal point and the months plus 20: the form the signing rule and the
// stored data have always used.
double AgeValue(YearsAndMonths age)
{
    return age.years + (age.months + 20) / 100.0;
}

std::optional<int> NumberAt(const QString &text, qsizetype from, qsizetype length)
{
    bool ok = false;
    const int value = text.mid(from, length).toInt(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

YearsAndMonths FromBirthDate(const QDate &birth, const QDate &today)
{
    int year = today.year();
    int month = today.month();
    // Before the birthday's day of the month, this month is not yet a whole one.
    if (today.day() < birth.day())
        --month;
    int months = month - birth.month();
    if (months < 0) {
        month += 12;
        --year;
        months = month - birth.month();
    }
    return {year - birth.year(), months};
}

YearsAndMonths FromBirthYearAndMonth(int birthYear, int birthMonth, const QDate &today)
{
    YearsAndMonths age{today.year() - birthYear, today.month() - birthMonth};
    if (age.months < 0) {
        age.months += 12;
        --age.years;
    }
    return age;
}

// A ten-digit number carries no century. Reading every such number as 19xx made children born
// in the 2000s over a hundred years old, so that they signed without their guardian. The year
// is the latest one with these two digits that is not after this year; the separator "+" marks
// a patient of a hundred years or more, as in the Swedish personal number.
int CenturyOfShortNumber(const QString &personnr, int twoDigitYear, const QDate &today)
{
    int century = today.year() / 100 * 100;
    if (century + twoDigitYear > today.year())
        century -= 100;
    if (personnr.size() == 11 && personnr.at(6) == u'+')
        century -= 100;
    return century;
}

} // namespace

std::optional<double> PatientAgeOf(const QString &personnr, const QDate &birthDate,
                                   const QDate &today, int formatCode)
{
    if (!today.isValid())
        return std::nullopt;
    if (birthDate.isValid())
        return AgeValue(FromBirthDate(birthDate, today));

    const qsizetype length = personnr.size();
    switch (formatCode) {
    case -1:
    case 0:
    case 2: { // YYYYMMDD-SSSS
        if (length != 12 && length != 13)
            return 0.0;
        const auto year = NumberAt(personnr, 0, 4);
        const auto month = NumberAt(personnr, 4, 2);
        const auto day = NumberAt(personnr, 6, 2);
        if (!year || !month || !day)
            return std::nullopt;
        return AgeValue(FromBirthYearAndMonth(*year, *month, today));
    }
    case 1:   // DDMMYY-SSSS
    case 3: { // DDMMYYSSSSS
        if (length != 10 && length != 11)
            return 0.0;
        const auto day = NumberAt(personnr, 0, 2);
        const auto month = NumberAt(personnr, 2, 2);
        const auto year = NumberAt(personnr, 4, 2);
        if (!day || !month || !year)
            return std::nullopt;
        int century = 0;
        if (formatCode == 1) {
            century = CenturyOfShortNumber(personnr, *year, today);
        } else {
            // This format's own rule: individual numbers from 500 belong to the 2000s.
            const int individual = NumberAt(personnr, 6, 3).value_or(0);
            century = individual >= 500 ? 2000 : 1900;
        }
        return AgeValue(FromBirthYearAndMonth(century + *year, *month, today));
    }
    default:
        return 0.0;
    }
}

double ComputePatientAge(TVNAdoQuery &iniData, const QString &personnr, const QDate &birthDate,
                         const QDate &today)
{
    const int formatCode =
        birthDate.isValid()
            ? 0
            : ReadCounterValue(iniData, QStringLiteral("Personnummer"), QStringLiteral("Mask"));
    if (const auto age = PatientAgeOf(personnr, birthDate, today, formatCode))
        return *age;
    ShowInfo(QStringLiteral("Det gick inte att räkna ut patientens ålder!\r\rKontrollera att "
                            "personnumret är giltigt, eller att födelsedag är ifyllt!"));
    return 0;
}
