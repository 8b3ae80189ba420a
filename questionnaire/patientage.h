#pragma once

#include <QDate>
#include <QString>
#include <optional>

class TVNAdoQuery;

// The patient's age for the signing rule: whole years, and the months plus 20 after the decimal
// point (17 years and 5 months give 17.25). Only the whole years count.
//
// From the birth date when it is known (valid); otherwise from the personal number read by the
// journal's format code (FIELDCOUNTERS "Personnummer"/"Mask": -1, 0, 2 "YYYYMMDD-SSSS",
// 1 "DDMMYY-SSSS", 3 "DDMMYYSSSSS"); a number whose length does not fit its format, or an
// unknown format code, gives 0. Empty when a part of the number is not a number.
std::optional<double> PatientAgeOf(const QString &personnr, const QDate &birthDate,
                                   const QDate &today, int formatCode);

// As above with the format code read on `iniData`; a failure tells the user and gives 0, which
// is below any age limit, so that the guardian signs.
double ComputePatientAge(TVNAdoQuery &iniData, const QString &personnr, const QDate &birthDate,
                         const QDate &today);
