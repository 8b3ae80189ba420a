// The questionnaire page, offscreen: opening the demo questionnaire on a patient's open
// declaration (statements issued and time, on SQLite and, when VN_TEST_PG names a server, on
// PostgreSQL), building generated questionnaires of 150 and 450 questions (and the ratio of the
// two, which stays near 3 when building is linear), saving 150 answers, and the resident memory
// with the 450-question page open.
//
// Statements are counted twice: as the query layer issues them (opens of the journal queries
// and the page's answer-list statements), and as the driver receives them (SQLite's statement
// trace; libpq's protocol trace), which adds the layer's own look-ups and transaction commands.

#include "benchjournal.h"
#include "db/openquery.h"
#include "db/vnadoquery.h"
#include "db/vnconnection.h"
#include "demo/demojournal.h"
#include "questionnaire/answerbox.h"
#include "questionnaire/bettfyspanel.h"
#include "questionnaire/flowpanel.h"
#include "questionnaire/journalqueries.h"
#include "questionnaire/questionnairepage.h"
#include "toolkit/dialogs.h"
#include "toolkit/settings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QScrollArea>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QToolButton>
#include <QVBoxLayout>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <dlfcn.h>

namespace {

using namespace std::chrono_literals;

constexpr int kOpenDeclarationPatient = demojournal::kOpenDeclarationPatient;

// A dialog would wait for a user; the benchmark counts them and goes on.
class CountingPresenter final : public DialogPresenter
{
public:
    int showMessage(DialogKind, const QString &, const QString &text) override
    {
        ++shown;
        last = text;
        return mrNo;
    }
    void showBalloonHint(const QString &, const QString &, QWidget *) override { ++shown; }
    static inline int shown = 0;
    static inline QString last;
};

// --- statements as the driver receives them -----------------------------------------------------

// SQLite's statement trace, looked up in the library the driver plugin loaded.
using SqliteTrace = int (*)(void *, unsigned, int (*)(unsigned, void *, void *, void *), void *);
constexpr unsigned kSqliteTraceStmt = 0x01;
int g_driverStatements = 0;

int countSqliteStatement(unsigned, void *, void *, void *)
{
    ++g_driverStatements;
    return 0;
}

bool traceSqlite(const QSqlDatabase &db, bool on)
{
    void *library = dlopen("libsqlite3.so.0", RTLD_NOW | RTLD_NOLOAD);
    const auto trace =
        library ? reinterpret_cast<SqliteTrace>(dlsym(library, "sqlite3_trace_v2")) : nullptr;
    const QVariant handle = db.driver()->handle();
    if (!trace || !handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return false;
    void *connection = *static_cast<void *const *>(handle.data());
    trace(connection, on ? kSqliteTraceStmt : 0, on ? countSqliteStatement : nullptr, nullptr);
    return true;
}

// libpq's protocol trace: every Query (simple protocol) and Execute (extended protocol) message
// the client sends is one statement run by the server.
struct PgTrace
{
    using Trace = void (*)(void *, FILE *);
    using Untrace = void (*)(void *);
    using Flags = void (*)(void *, int);
    void *connection = nullptr;
    Untrace untrace = nullptr;
    FILE *stream = nullptr;
    char *buffer = nullptr;
    size_t size = 0;

    bool start(const QSqlDatabase &db)
    {
        void *library = dlopen("libpq.so.5", RTLD_NOW | RTLD_NOLOAD);
        const QVariant handle = db.driver()->handle();
        if (!library || !handle.isValid() || qstrcmp(handle.typeName(), "pg_conn*") != 0)
            return false;
        const auto trace = reinterpret_cast<Trace>(dlsym(library, "PQtrace"));
        const auto flags = reinterpret_cast<Flags>(dlsym(library, "PQsetTraceFlags"));
        untrace = reinterpret_cast<Untrace>(dlsym(library, "PQuntrace"));
        if (!trace || !flags || !untrace)
            return false;
        connection = *static_cast<void *const *>(handle.data());
        stream = open_memstream(&buffer, &size);
        trace(connection, stream);
        flags(connection, 1); // no time stamps
        return true;
    }

    int stop()
    {
        untrace(connection);
        std::fclose(stream);
        int statements = 0;
        for (const QByteArray &line : QByteArray(buffer, qsizetype(size)).split('\n')) {
            const QList<QByteArray> fields = line.split('\t');
            if (fields.size() > 2 && fields.at(0) == "F" &&
                (fields.at(2) == "Query" || fields.at(2) == "Execute"))
                ++statements;
        }
        std::free(buffer);
        return statements;
    }
};

// --- one workstation ---------------------------------------------------------------------------

// The parts of the main window the page works in, on one journal.
struct Workstation
{
    TVNConnection database1;
    TVNConnection lopnrDatabase;
    TVNAdoQuery shared;
    std::unique_ptr<JournalQueries> queries;
    QWidget window;
    QScrollArea *scrollBox = nullptr;
    std::unique_ptr<TQuestionnairePage> page;
    int layerStatements = 0;

    explicit Workstation(const QString &connectionString)
    {
        database1.Open(connectionString);
        lopnrDatabase.Open(connectionString);
        shared.SetConnection(&database1);
        SetSharedQuery(&shared);
        queries = std::make_unique<JournalQueries>(&database1, &lopnrDatabase);
        for (TVNAdoQuery *query : queries->findChildren<TVNAdoQuery *>())
            QObject::connect(query, &TVNAdoQuery::afterOpen, query, [this] { ++layerStatements; });

        window.resize(1366, 768);
        auto *label2 = new QLabel(&window);
        auto *save = new QToolButton(&window);
        auto *panel1 = new QLabel(QStringLiteral("Laddar hälsodeklarationsfrågorna"), &window);
        scrollBox = new QScrollArea(&window);
        scrollBox->setWidgetResizable(true);
        scrollBox->setWidget(new QWidget);
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(label2);
        layout->addWidget(save);
        layout->addWidget(scrollBox, 1);
        panel1->hide();
        window.show();
        QCoreApplication::processEvents();

        QuestionnaireWidgets widgets;
        widgets.ScrollBoxBettfys = scrollBox;
        widgets.Panel4 = &window;
        widgets.Panel1 = panel1;
        widgets.Label2 = label2;
        widgets.SpeedButton2 = save;
        page = std::make_unique<TQuestionnairePage>(widgets, &database1, queries.get());
    }

    ~Workstation()
    {
        page.reset();
        SetSharedQuery(nullptr);
    }

    // What the identification leaves: QKUNDER on the patient.
    void identify(int patientnr)
    {
        TVNAdoQuery *patient = queries->QKUNDER;
        patient->Close();
        patient->ParamByName(QStringLiteral("personnr")).SetAsString(personnrOf(patientnr));
        patient->Open();
    }

    void open(int patientnr)
    {
        identify(patientnr);
        page->PageControl1Change(demojournal::kStandardQuestionnaire);
    }

    QString personnrOf(int patientnr)
    {
        QSqlQuery q(database1.Database());
        q.exec(QStringLiteral("SELECT PERSONNR FROM KUNDER WHERE PATIENTNR = %1").arg(patientnr));
        return q.next() ? q.value(0).toString() : QString();
    }

    int rows() const
    {
        int count = 0;
        for (QWidget *group : page->GroupContainers())
            count += static_cast<int>(group->children().size());
        return count;
    }
};

QString g_sqliteConnection;
QString g_pgConnection;

// --- generated questionnaires --------------------------------------------------------------------

// Questionnaire `questions` (its number is its size) in groups of ten: a switch question that
// opens the group, then list and free-text questions in turn, groups open and closed in turn.
// Patient 30000 + size has an unsigned declaration of it without answers.
QStringList generatedQuestionnaire(int questions)
{
    const int halsonr = questions;
    const int patient = 30000 + questions;
    const int declaration = 90000 + questions;
    QStringList sql;
    sql << QStringLiteral(
               "INSERT INTO HALSOJOURNALER (HALSONR, NAMN, AKTIV) VALUES (%1, 'Generated %1', 'T')")
               .arg(halsonr);
    for (int g = 0; g < questions / 10; ++g) {
        const int grupp = halsonr * 1000 + g;
        const int first = grupp * 100;
        sql << QStringLiteral(
                   "INSERT INTO HALSOGRUPPER (GRUPPLOPNR, HALSONR, AKTIV, INDEXNR, NAMN, ANTALCOL, "
                   "COL1CHECKBOX, COL1CBOXACTION, COL2CBOXACTION, GRUPPSYNLIG) VALUES "
                   "(%1, %2, 'T', %3, 'Grupp %3', 1, 'T', %4, 521, '%5')")
                   .arg(grupp)
                   .arg(halsonr)
                   .arg(g)
                   .arg(first)
                   .arg(g % 2 ? QStringLiteral("F") : QStringLiteral("T"));
        for (int i = 0; i < 10; ++i) {
            const bool list = i == 0 || i % 2 == 1;
            const int lookup = i == 0 ? 2 : 1 + (i % 9);
            sql << QStringLiteral(
                       "INSERT INTO HALSOVALUES (LOPNR, GRUPPLOPNR, INDEXNR, OVERSKRIFT, ANTALCOL, "
                       "COL1TYP, COL2TYP, COL1LOOKUP, COL2LOOKUP) VALUES "
                       "(%1, %2, %3, 'Fråga %1 om hälsan, med en text av vanlig längd?', %4, %5, "
                       "0, %6, 0)")
                       .arg(first + i)
                       .arg(grupp)
                       .arg(i * 10)
                       .arg(i % 3 == 2 ? 2 : 1)
                       .arg(list ? 1 : 0)
                       .arg(list ? lookup : 0);
        }
    }
    sql << QStringLiteral(
               "INSERT INTO KUNDER (PATIENTNR, PERSONNR, F_RNAMN, EFTERNAMN, FODELSEDAG) VALUES "
               "(%1, '19700101-%1', 'Generated', 'Patient', '1970-01-01 00:00:00')")
               .arg(patient);
    sql << QStringLiteral("INSERT INTO PATREG (LOPNR, PATIENTNR, ORTODONTIST) VALUES (%1, %1, 11)")
               .arg(patient);
    sql << QStringLiteral(
               "INSERT INTO PATHALSODEK (LOPNR, PATIENTNR, REGNR, DATUM, VARDGIVARENR, HALSONR, "
               "SIGNERAD, PATDIGISIGN) VALUES (%1, %2, %2, '2026-01-01 09:00:00', 11, %3, 'F', "
               "'F')")
               .arg(declaration)
               .arg(patient)
               .arg(halsonr);
    return sql;
}

void loadJournal(QSqlDatabase &db, Dialect dialect)
{
    LoadDemoJournal(db, dialect);
    QSqlQuery q(db);
    db.transaction();
    for (int size : {150, 450}) {
        for (const QString &statement : generatedQuestionnaire(size)) {
            if (!q.exec(statement))
                qFatal("generated questionnaire: %s", qPrintable(q.lastError().text()));
        }
    }
    db.commit();
}

long residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// --- benchmarks --------------------------------------------------------------------------------

// The statements are counted on one opening before the timed ones, so that the traces cost
// the timed openings nothing.
void openDemo(benchmark::State &state, const QString &connection, bool postgres)
{
    Workstation ws(connection);
    ws.open(kOpenDeclarationPatient);

    // The page's own statements, without the identification's.
    ws.identify(kOpenDeclarationPatient);
    ws.layerStatements = 0;
    g_driverStatements = 0;
    PgTrace pg;
    const bool traced =
        postgres ? pg.start(ws.database1.Database()) : traceSqlite(ws.database1.Database(), true);
    ws.page->PageControl1Change(demojournal::kStandardQuestionnaire);
    const int driver = !traced ? -1 : postgres ? pg.stop() : g_driverStatements;
    if (traced && !postgres)
        traceSqlite(ws.database1.Database(), false);
    const int layer = ws.layerStatements + ws.page->AnswerListStatements();

    for (auto _ : state) {
        state.PauseTiming();
        ws.identify(kOpenDeclarationPatient);
        state.ResumeTiming();
        ws.page->PageControl1Change(demojournal::kStandardQuestionnaire);
    }
    state.counters["statements"] = layer;
    state.counters["driver_statements"] = driver;
    state.counters["rows"] = ws.rows();
    if (CountingPresenter::shown)
        state.SkipWithError(qPrintable(CountingPresenter::last));
}

void BM_OpenDemoQuestionnaireSqlite(benchmark::State &state)
{
    openDemo(state, g_sqliteConnection, false);
}

void BM_OpenDemoQuestionnairePostgres(benchmark::State &state)
{
    openDemo(state, g_pgConnection, true);
}

QHash<int, double> g_fastestBuildMs;

void BM_BuildGenerated(benchmark::State &state)
{
    const int questions = static_cast<int>(state.range(0));
    Workstation ws(g_sqliteConnection);
    ws.open(30000 + questions);
    double fastest = 1e9;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        ws.open(30000 + questions);
        fastest = std::min(fastest, timer.nsecsElapsed() / 1e6);
    }
    g_fastestBuildMs.insert(questions, fastest);
    state.counters["rows"] = ws.rows();
    state.counters["VmRSS_kB"] = static_cast<double>(residentKilobytes());
    if (CountingPresenter::shown)
        state.SkipWithError(qPrintable(CountingPresenter::last));
}

// Every answer changed before each save, so that each save writes all 150 rows.
void BM_Save150Answers(benchmark::State &state)
{
    TQuestionnairePage::SetSavePause(0ms);
    Workstation ws(g_sqliteConnection);
    ws.open(30150);
    ws.page->FModified = true;
    ws.page->SpeedButton2Click(); // the rows exist from here on: the saves update them
    int round = 0;
    int written = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString text = QStringLiteral("Svar %1").arg(++round);
        written = 0;
        for (QWidget *group : ws.page->GroupContainers()) {
            for (TBettFysPanel *row :
                 group->findChildren<TBettFysPanel *>(Qt::FindDirectChildrenOnly)) {
                if (!row->ShallBeSaved())
                    continue;
                row->LeftComboBox()->SetText(text);
                written += row->LeftComboBox()->Text() == text ? 1 : 0;
            }
        }
        state.ResumeTiming();
        ws.page->SpeedButton2Click();
    }
    // The answers that changed, and so were written, on each save.
    state.counters["answers"] = written;
    TQuestionnairePage::SetSavePause(TQuestionnairePage::kSavePause);
    if (CountingPresenter::shown)
        state.SkipWithError(qPrintable(CountingPresenter::last));
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    // Settings of the benchmark's own: no digital signature is asked for.
    qputenv("VN_REGISTRY_DIR", dir.filePath(QStringLiteral("registry")).toLocal8Bit());
    SetInstallationKey(InstallationKeyFromFolder(QStringLiteral("C:\\Bench\\")));
    SetDialogPresenter(std::make_unique<CountingPresenter>());

    const BenchJournals journals(QStringLiteral("page"), loadJournal);
    g_sqliteConnection = journals.sqliteConnection();
    g_pgConnection = journals.postgresConnection();
    benchmark::RegisterBenchmark("OpenDemoQuestionnaire/SQLite", BM_OpenDemoQuestionnaireSqlite)
        ->Unit(benchmark::kMillisecond);
    if (!g_pgConnection.isEmpty()) {
        benchmark::RegisterBenchmark("OpenDemoQuestionnaire/PostgreSQL",
                                     BM_OpenDemoQuestionnairePostgres)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("BuildGeneratedQuestionnaire/SQLite", BM_BuildGenerated)
        ->Arg(150)
        ->Arg(450)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Save150Answers/SQLite", BM_Save150Answers)
        ->Unit(benchmark::kMillisecond);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    if (g_fastestBuildMs.contains(150) && g_fastestBuildMs.contains(450))
        std::printf("build time 450/150 questions (fastest runs): %.2f ms / %.2f ms = %.2f\n",
                    g_fastestBuildMs.value(450), g_fastestBuildMs.value(150),
                    g_fastestBuildMs.value(450) / g_fastestBuildMs.value(150));

    return 0;
}
