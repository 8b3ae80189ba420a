#include "db/vnadoquery.h"
#include "db/vnconnection.h"
#include "dbtestutil.h"
#include "dialogrecorder.h"
#include "questionnaire/counters.h"
#include "questionnaire/journalqueries.h"
#include "testrunner.h"

#include <QProcess>
#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using dbtest::Backend;

namespace {

// The two connections and the queries of one workstation on a scratch journal.
struct Workstation
{
    explicit Workstation(const QString &initString)
    {
        database1.Open(initString);
        lopnrDatabase.Open(initString);
    }
    TVNConnection database1;
    TVNConnection lopnrDatabase;
    JournalQueries queries{&database1, &lopnrDatabase};
};

} // namespace

class TestCounters : public QObject
{
    Q_OBJECT

private slots:
    void init() { SetCounterRetryPause(1ms); }
    void cleanup() { SetCounterRetryPause(kCounterRetryPause); }
    void nextSequenceNumber_data();
    void nextSequenceNumber();
    void nextSequenceNumberGivesUp();
    void readCounterValue_data();
    void readCounterValue();
    void readCounterValueFailure();
    void manyWorkstationsAtOnce_data();
    void manyWorkstationsAtOnce();
};

void TestCounters::nextSequenceNumber_data()
{
    QTest::addColumn<Backend>("backend");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("rowsAfter");
    for (const Backend backend : {Backend::Sqlite, Backend::Postgres}) {
        const auto row = [backend](const char *name) -> QTestData & {
            return dbtest::NewBackendRow(name, backend);
        };
        row("no row: 1, and the row is made") << QString() << 1 << 1;
        row("one row: its counter plus one") << u"('PATHALSODEK', 'LOPNR', 41)"_s << 42 << 1;
        row("two rows: a third, and 1")
            << u"('PATHALSODEK', 'LOPNR', 5), ('PATHALSODEK', 'LOPNR', 9)"_s << 1 << 3;
        row("other counters are no match")
            << u"('PATHALSODEK', 'GRUPP', 5), ('KUNDER', 'LOPNR', 9)"_s << 1 << 3;
    }
}

void TestCounters::nextSequenceNumber()
{
    QFETCH(Backend, backend);
    QFETCH(QString, rows);
    QFETCH(int, expected);
    DBTEST_SCRATCH(db, backend);
    db.createJournalSchema();
    if (!rows.isEmpty())
        db.exec(u"INSERT INTO FIELDCOUNTERS VALUES "_s + rows);
    Workstation ws(db.initString());
    DialogRecorder dialogs;

    int attempts = 0;
    QCOMPARE(NextSequenceNumber(*ws.queries.lopnrQuery, u"PATHALSODEK"_s, u"LOPNR"_s, &attempts),
             expected);
    QCOMPARE(attempts, 1);
    QVERIFY(!ws.lopnrDatabase.InTransaction());
    QTEST(db.scalar(u"SELECT COUNT(*) FROM FIELDCOUNTERS"_s).toInt(), "rowsAfter");
    QCOMPARE(db.scalar(u"SELECT COUNT(*) FROM FIELDCOUNTERS WHERE TABLENAME = 'PATHALSODEK' "
                       "AND FIELDNAME = 'LOPNR' AND COUNTER = %1"_s.arg(expected))
                 .toInt(),
             1);
    QVERIFY(dialogs.shown.isEmpty());
}

// Three failed attempts, each followed by the pause, then -1; no message.
void TestCounters::nextSequenceNumberGivesUp()
{
    DBTEST_SCRATCH(db, Backend::Sqlite); // no FIELDCOUNTERS table
    Workstation ws(db.initString());
    DialogRecorder dialogs;
    int attempts = 0;
    QCOMPARE(NextSequenceNumber(*ws.queries.lopnrQuery, u"PATHALSODEK"_s, u"LOPNR"_s, &attempts),
             -1);
    QCOMPARE(attempts, kCounterAttempts);
    QVERIFY(!ws.lopnrDatabase.InTransaction());
    QVERIFY(dialogs.shown.isEmpty());
}

void TestCounters::readCounterValue_data()
{
    QTest::addColumn<Backend>("backend");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("expected");
    for (const Backend backend : {Backend::Sqlite, Backend::Postgres}) {
        const auto row = [backend](const char *name) -> QTestData & {
            return dbtest::NewBackendRow(name, backend);
        };
        row("standard questionnaire") << u"HALSODEKLARATION"_s << u"STANDARDPP"_s << 100;
        row("format code") << u"Personnummer"_s << u"Mask"_s << 1;
        row("absent signing age") << u"SIGNHALSO"_s << u"FROMOCHMED"_s << -1;
    }
}

void TestCounters::readCounterValue()
{
    QFETCH(Backend, backend);
    QFETCH(QString, table);
    QFETCH(QString, field);
    DBTEST_SCRATCH(db, backend);
    db.createJournalSchema();
    db.exec(u"INSERT INTO FIELDCOUNTERS VALUES ('HALSODEKLARATION', 'STANDARDPP', 100), "
            "('Personnummer', 'Mask', 1), ('PATHALSODEK', 'LOPNR', 7)"_s);
    Workstation ws(db.initString());
    DialogRecorder dialogs;

    QTEST(ReadCounterValue(*ws.queries.IniData, table, field), "expected");
    QVERIFY(!ws.lopnrDatabase.InTransaction());
    QVERIFY(dialogs.shown.isEmpty());
    QCOMPARE(
        db.scalar(u"SELECT COUNTER FROM FIELDCOUNTERS WHERE TABLENAME = 'PATHALSODEK'"_s).toInt(),
        7);
}

void TestCounters::readCounterValueFailure()
{
    DBTEST_SCRATCH(db, Backend::Sqlite); // no FIELDCOUNTERS table
    Workstation ws(db.initString());
    DialogRecorder dialogs;
    QCOMPARE(ReadCounterValue(*ws.queries.IniData, u"Personnummer"_s, u"Mask"_s), -1);
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown.at(0).kind, DialogKind::Error);
    QVERIFY2(dialogs.shown.at(0).text.startsWith(u"Det gick inte att hämta värdet!\r\r"_s),
             qPrintable(dialogs.shown.at(0).text));
    QVERIFY(dialogs.shown.at(0).text.contains(u"FIELDCOUNTERS"_s, Qt::CaseInsensitive));
    QVERIFY(!ws.lopnrDatabase.InTransaction());
}

void TestCounters::manyWorkstationsAtOnce_data()
{
    QTest::addColumn<Backend>("backend");
    dbtest::AddBackendRows();
}

// Six workstations, each a process with its own connections, draw 50 numbers each at the same
// time: no number is handed out twice and the counter ends at the number of numbers handed out.
void TestCounters::manyWorkstationsAtOnce()
{
    QFETCH(Backend, backend);
    DBTEST_SCRATCH(db, backend);
    db.createJournalSchema();
    // Seeded: on an empty table two first draws at once would each add a row (see the
    // duplicates case above), as the journal system's own clients would too.
    db.exec(u"INSERT INTO FIELDCOUNTERS VALUES ('PATHALSODEK', 'LOPNR', 0)"_s);
    constexpr int kProcesses = 6;
    constexpr int kDraws = 50;

    std::vector<std::unique_ptr<QProcess>> processes;
    for (int p = 0; p < kProcesses; ++p) {
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::SeparateChannels);
        process->start(QStringLiteral(VN_COUNTERDRAW), {db.initString(), QString::number(kDraws)});
        processes.push_back(std::move(process));
    }
    QList<int> numbers;
    int retries = 0;
    int failures = 0;
    for (auto &process : processes) {
        QVERIFY(process->waitForFinished(240000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QVERIFY2(process->exitCode() == 0, process->readAllStandardError().constData());
        const QList<QByteArray> lines = process->readAllStandardOutput().split('\n');
        int drawn = 0;
        for (const QByteArray &line : lines) {
            const QList<QByteArray> parts = line.trimmed().split(' ');
            if (parts.size() != 2)
                continue;
            ++drawn;
            const int number = parts.at(0).toInt();
            retries += parts.at(1).toInt() - 1;
            if (number == -1)
                ++failures;
            else
                numbers.append(number);
        }
        QCOMPARE(drawn, kDraws);
    }
    const QSet<int> unique(numbers.cbegin(), numbers.cend());
    qInfo("%d processes x %d draws: %lld numbers, %d retries, %d results of -1", kProcesses, kDraws,
          static_cast<long long>(numbers.size()), retries, failures);
    QCOMPARE(unique.size(), numbers.size());
    QCOMPARE(db.scalar(u"SELECT COUNT(*) FROM FIELDCOUNTERS"_s).toInt(), 1);
    QCOMPARE(db.scalar(u"SELECT COUNTER FROM FIELDCOUNTERS"_s).toInt(), numbers.size());
    QCOMPARE(*std::max_element(numbers.cbegin(), numbers.cend()), numbers.size());
}

VN_REGISTER_TEST(TestCounters)
#include "tst_counters.moc"
