// Opening a declaration's questionnaire on the demo journal as the questionnaire page will: the
// chain of journal queries, each group's questions, and the two answer-list statements of every
// answer box that offers a list. Reports the statements issued and the time, on SQLite and, when
// VN_TEST_PG names a server, on PostgreSQL.

#include "benchjournal.h"
#include "db/openquery.h"
#include "db/vnadoquery.h"
#include "db/vnconnection.h"
#include "demo/demojournal.h"
#include "questionnaire/journalqueries.h"

#include <QApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
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

QString g_sqliteConnection;
QString g_pgConnectionString;

void BM_OpenQuestionnaireSqlite(benchmark::State &state)
{
    runOpening(state, g_sqliteConnection);
}

void BM_OpenQuestionnairePostgres(benchmark::State &state)
{
    runOpening(state, g_pgConnectionString);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const BenchJournals journals(QStringLiteral("queries"), LoadDemoJournal);
    g_sqliteConnection = journals.sqliteConnection();
    g_pgConnectionString = journals.postgresConnection();
    benchmark::RegisterBenchmark("OpenQuestionnaire/SQLite", BM_OpenQuestionnaireSqlite)
        ->Unit(benchmark::kMillisecond);
    if (!g_pgConnectionString.isEmpty()) {
        benchmark::RegisterBenchmark("OpenQuestionnaire/PostgreSQL", BM_OpenQuestionnairePostgres)
            ->Unit(benchmark::kMillisecond);
    }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
