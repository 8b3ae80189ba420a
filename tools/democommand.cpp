#include "tools/democommand.h"

#include "demo/demojournal.h"
#include "demo/pgconninfo.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QTextStream>
#include <QUuid>

using namespace Qt::StringLiterals;

const QString kDemoJournalCommand = u"demo-journal"_s;
const QString kDemoJournalSynopsis = u"demo-journal FIL [--force] | --pg ANSLUTNING"_s;
const QString kDemoJournalHelp =
    u"Skapar demojournalen: journalens tabeller med ett standardformulär för\n"
    "hälsodeklaration, patienter, tidigare deklarationer och räknare.\n"
    "\n"
    "FIL: skriver en ny SQLite-databas. En befintlig fil skrivs bara över med\n"
    "--force, och ersätts först när den nya databasen är färdig.\n"
    "\n"
    "--pg ANSLUTNING: läser in demojournalen i en befintlig PostgreSQL-databas\n"
    "som inte redan har tabellerna. ANSLUTNING skrivs som för libpq, till exempel\n"
    "\"host=localhost port=5432 user=postgres dbname=demo\"."_s;

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

const QString kForceOption = u"--force"_s;
const QString kPgOption = u"--pg"_s;

// A connection of its own, removed again however the load ends.
class ScopedConnection
{
public:
    explicit ScopedConnection(const QString &driver)
        : m_name(u"vnadmin-demo-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces))
    {
        QSqlDatabase::addDatabase(driver, m_name);
    }
    ~ScopedConnection()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    Q_DISABLE_COPY_MOVE(ScopedConnection)

    QSqlDatabase database() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
};

int createSqliteFile(const QString &path, bool force, QTextStream &out, QTextStream &err)
{
    const QFileInfo target(path);
    if (target.isDir()) {
        err << u"%1 är en katalog.\n"_s.arg(path);
        return kFailed;
    }
    if (target.exists() && !force) {
        err << u"Filen %1 finns redan. Använd --force för att skriva över den.\n"_s.arg(path);
        return kFailed;
    }
    if (!target.absoluteDir().exists()) {
        err << u"Katalogen %1 finns inte.\n"_s.arg(QDir::toNativeSeparators(target.absolutePath()));
        return kFailed;
    }

    QString error;
    if (!CreateDemoJournalFile(target.absoluteFilePath(), &error)) {
        err << error << u"\n"_s;
        return kFailed;
    }
    out << u"Demojournalen skapades i %1.\n"_s.arg(path);
    return kDone;
}

int loadIntoPostgres(const QString &conninfo, QTextStream &out, QTextStream &err)
{
    QString error;
    const std::optional<PgConnInfo> info = ParsePgConnInfo(conninfo, &error);
    if (!info) {
        err << error << u"\n"_s;
        return kFailed;
    }
    if (!QSqlDatabase::isDriverAvailable(u"QPSQL"_s)) {
        err << u"Qt:s PostgreSQL-drivrutin (QPSQL) är inte installerad.\n"_s;
        return kFailed;
    }
    ScopedConnection connection(u"QPSQL"_s);
    QSqlDatabase db = connection.database();
    ApplyPgConnInfo(db, *info);
    if (!db.open()) {
        err << u"Kan inte ansluta till PostgreSQL: %1\n"_s.arg(db.lastError().text());
        return kFailed;
    }
    if (!CreateDemoJournal(db, Dialect::PostgreSQL, &error)) {
        err << u"Demojournalen kunde inte läsas in: %1\n"_s.arg(error);
        return kFailed;
    }
    out << u"Demojournalen lästes in i databasen %1.\n"_s.arg(
        info->dbname.isEmpty() ? info->user : info->dbname);
    return kDone;
}

} // namespace

int RunDemoJournalCommand(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.contains(kPgOption)) {
        if (args.size() != 2 || args.first() != kPgOption) {
            err << u"--pg ska följas av anslutningen och inget annat.\n"_s;
            return kUsage;
        }
        return loadIntoPostgres(args[1], out, err);
    }

    QStringList files = args;
    const bool force = files.removeAll(kForceOption) > 0;
    for (const QString &arg : std::as_const(files)) {
        if (arg.startsWith(u"--")) {
            err << u"Okänd flagga: %1\n"_s.arg(arg);
            return kUsage;
        }
    }
    if (files.size() != 1) {
        err << u"Ange en fil.\n"_s;
        return kUsage;
    }
    return createSqliteFile(files.first(), force, out, err);
}
