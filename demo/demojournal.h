#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

class QSqlDatabase;

// The demo journal: the journal tables with a realistic Swedish health questionnaire, patients
// and counters, for the demo and the tests. The program itself never creates tables.

enum class Dialect
{
    SQLite,
    PostgreSQL,
    SqlServer
};

// The dialect of a Qt SQL driver name ("QSQLITE", "QPSQL", "QODBC"), or nothing.
std::optional<Dialect> DialectOfDriver(const QString &driverName);

// The two SQL sources as embedded: the schema with its {DATETIME} and {BLOB} placeholders, and
// the data.
QString DemoSchemaSource();
QString DemoDataSource();

// The schema with the placeholders replaced by the dialect's types.
QString DemoSchemaSql(Dialect dialect);

// Splits a script at the semicolons that end statements. Semicolons inside quoted strings,
// quoted identifiers and comments do not split; comments are dropped and empty statements
// are left out.
QStringList SplitSqlStatements(QStringView script);

// Creates the tables and loads the data into `db` (open, and holding none of the tables) in one
// transaction. On failure everything is rolled back and `error`, when given, tells which
// statement failed and why.
bool CreateDemoJournal(QSqlDatabase &db, Dialect dialect, QString *error = nullptr);

// Creates the demo journal as the SQLite file `path`, replacing a file that is there. The journal
// is built beside it and moved over it only when complete, so that a failed or interrupted run
// leaves what was there. On failure `error`, when given, says why in a sentence for the user.
bool CreateDemoJournalFile(const QString &path, QString *error = nullptr);

// Facts of the demo data that tests build on.
namespace demojournal {

inline constexpr int kStandardQuestionnaire = 1; // FIELDCOUNTERS (HALSODEKLARATION, STANDARDPP)
inline constexpr int kRetiredQuestionnaire = 2;  // AKTIV 'F'
inline constexpr int kLastDeclaration = 47;      // FIELDCOUNTERS (PATHALSODEK, LOPNR)

// Registered adult without any declaration.
inline constexpr int kAdultPatient = 10001;
inline constexpr QStringView kAdultPersonnr = u"19780412-2385";
// Child (born 2014) with BTEXT and MALSMAN2; newest declaration signed.
inline constexpr int kMinorPatient = 10002;
inline constexpr QStringView kMinorPersonnr = u"20140921-0422";
// No PATREG row.
inline constexpr int kUnregisteredPatient = 10003;
inline constexpr QStringView kUnregisteredPersonnr = u"19520703-7150";
// Newest declaration (46) signed by the clinic; an older one (43) never was.
inline constexpr int kSignedPatient = 10004;
inline constexpr QStringView kSignedPersonnr = u"19610228-3469";
inline constexpr int kSignedPatientRegistration = 307; // current PATREG.LOPNR, ORTODONTIST 13
// Newest declaration (47) unsigned, with answers for every question.
inline constexpr int kOpenDeclarationPatient = 10005;
inline constexpr QStringView kOpenDeclarationPersonnr = u"19850619-2932";
inline constexpr int kOpenDeclaration = 47;
// Two patients whose stored numbers both contain the ten-digit form with a dash.
inline constexpr int kPartialNumberPatient1 = 10006; // "19641103-2482"
inline constexpr int kPartialNumberPatient2 = 10007; // "641103-2482"
inline constexpr QStringView kSharedPartialNumber = u"641103-2482";
// Numbers stored without a dash.
inline constexpr int kTwelveDigitsNoDashPatient = 10008; // "194807125176", no birth date
inline constexpr int kTenDigitsNoDashPatient = 10009;    // "0103156824"
// Child without birth date and with one guardian.
inline constexpr int kMinorWithoutBirthDatePatient = 10010; // "20170405-5316"

} // namespace demojournal
