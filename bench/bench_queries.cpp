// Opening a declaration's questionnaire on the demo journal as the questionnaire page will: the
// chain of journal queries, each group's questions, and the two answer-list statements of every
// answer box that offers a list. Reports the statements issued and the time, on SQLite and, when
// VN_TEST_PG names a server, on PostgreSQL.

#include "db/openquery.h"
#include "db/vnadoquery.h"
#include "db/vnconnection.h"
#include "demo/demojournal.h"
#include "demo/pgconninfo.h"
#include "questionnaire/journalqueries.h"

#include <QApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

int g_statements = 0;

void countOpens(TVNAdoQuery *query)
{
    QObject::connect(query, &TVNAdoQuery::afterOpen, query, [] { ++g_statements; });
}

void openAnswerList(int listNumber)
{
    for (const QString &sql : {AnswerListStatement(listNumber), ListAnswersStatement(listNumber)}) {
        auto query = OpenQuery(sql, false);
        ++g_statements;
        benchmark::DoNotOptimize(query && query->RecordCount());
    }
}

// One opening of the open declaration's questionnaire.
void openQuestionnaire(JournalQueries &q)
{
    q.QKUNDER->ParamByName(QStringLiteral("personnr"))
        .SetAsString(demojournal::kOpenDeclarationPersonnr.toString());
    q.QKUNDER->Open();
    q.PATREG->Open();
    q.QPATHALSODEK->Open();
    q.QPATHALSODEK->Last();
    q.QPATHALSODEKVALUES->Open();
    q.QHALSOJOURNALER->Open();
    q.QHALSOGRUPPER->Open();
    q.QHALSOVALUES->Open();
    for (q.QHALSOGRUPPER->First(); !q.QHALSOGRUPPER->Eof(); q.QHALSOGRUPPER->Next()) {
        for (q.QHALSOVALUES->First(); !q.QHALSOVALUES->Eof(); q.QHALSOVALUES->Next()) {
            const int boxes =
                q.QHALSOVALUES->FieldByName(QStringLiteral("ANTALCOL")).AsInteger() == 2 ? 2 : 1;
            for (int box = 1; box <= boxes; ++box) {
                const QString column = QStringLiteral("COL%1").arg(box);
                if (q.QHALSOVALUES->FieldByName(column + QStringLiteral("TYP")).AsInteger() != 0)
                    openAnswerList(
                        q.QHALSOVALUES->FieldByName(column + QStringLiteral("LOOKUP")).AsInteger());
            }
        }
    }
    for (TVNAdoQuery *query : {q.QHALSOVALUES, q.QHALSOGRUPPER, q.QHALSOJOURNALER,
                               q.QPATHALSODEKVALUES, q.QPATHALSODEK, q.PATREG, q.QKUNDER})
        query->Close();
}

void runOpening(benchmark::State &state, const QString &connectionString)
{
    TVNConnection database1;
    TVNConnection lopnrDatabase;
    database1.Open(connectionString);
    lopnrDatabase.Open(connectionString);
    database1.BeginTrans();
    TVNAdoQuery shared;
    shared.SetConnection(&database1);
    SetSharedQuery(&shared);
    JournalQueries queries(&database1, &lopnrDatabase);
    for (TVNAdoQuery *query : queries.findChildren<TVNAdoQuery *>())
        countOpens(query);

    int statementsPerOpening = 0;
    for (auto _ : state) {
        g_statements = 0;
        openQuestionnaire(queries);
        statementsPerOpening = g_statements;
    }
    state.counters["statements"] = statementsPerOpening;
    SetSharedQuery(nullptr);
    database1.RollbackTrans();
}

QString g_sqliteFile;
QString g_pgConnectionString;

void BM_OpenQuestionnaireSqlite(benchmark::State &state)
{
    runOpening(state, QStringLiteral("Provider=SQLite;Data Source=") + g_sqliteFile);
}

void BM_OpenQuestionnairePostgres(benchmark::State &state)
{
    runOpening(state, g_pgConnectionString);
}

bool loadDemo(QSqlDatabase db, Dialect dialect)
{
    QString error;
    const bool loaded = db.open() && CreateDemoJournal(db, dialect, &error);
    if (!loaded)
        qFatal("demo journal: %s %s", qPrintable(db.lastError().text()), qPrintable(error));
    db.close();
    return loaded;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    g_sqliteFile = dir.filePath(QStringLiteral("demo.sqlite"));
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("load"));
        db.setDatabaseName(g_sqliteFile);
        loadDemo(db, Dialect::SQLite);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("load"));
    benchmark::RegisterBenchmark("OpenQuestionnaire/SQLite", BM_OpenQuestionnaireSqlite)
        ->Unit(benchmark::kMillisecond);

    const QString databaseName =
        QStringLiteral("vnbench_%1").arg(QCoreApplication::applicationPid());
    const QString pgServer = qEnvironmentVariable("VN_TEST_PG");
    std::optional<PgConnInfo> pg;
    if (!pgServer.trimmed().isEmpty())
        pg = ParsePgConnInfo(pgServer);
    if (pg) {
        {
            QSqlDatabase admin =
                QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("admin"));
            ApplyPgConnInfo(admin, *pg);
            if (admin.open())
                QSqlQuery(admin).exec(QStringLiteral("CREATE DATABASE ") + databaseName);
            PgConnInfo target = *pg;
            target.dbname = databaseName;
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("load"));
            ApplyPgConnInfo(db, target);
            loadDemo(db, Dialect::PostgreSQL);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("load"));
        g_pgConnectionString =
            QStringLiteral(
                "Provider=PostgreSQL;Data Source=%1:%2;Initial Catalog=%3;User ID=%4;Password=%5")
                .arg(pg->host, QString::number(pg->port == -1 ? 5432 : pg->port), databaseName,
                     pg->user, pg->password);
        benchmark::RegisterBenchmark("OpenQuestionnaire/PostgreSQL", BM_OpenQuestionnairePostgres)
            ->Unit(benchmark::kMillisecond);
    }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    if (pg) {
        QSqlDatabase admin = QSqlDatabase::database(QStringLiteral("admin"));
        QSqlQuery(admin).exec(QStringLiteral("DROP DATABASE IF EXISTS ") + databaseName +
                              QStringLiteral(" WITH (FORCE)"));
        admin.close();
    }
    return 0;
}
