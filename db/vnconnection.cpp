#include "db/vnconnection.h"

#include "db/databaseerror.h"
#include "toolkit/settings.h"

#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <vector>

namespace {

// How long a SQLite statement waits for another process's write lock before it fails.
constexpr int kSqliteBusyTimeoutMs = 5000;

int nextConnectionNumber()
{
    static int number = 0;
    return ++number;
}

void execOrThrow(const QSqlDatabase &db, const QString &statement)
{
    QSqlQuery query(db);
    if (!query.exec(statement))
        throw DatabaseError(DatabaseErrorText(query.lastError()));
}

} // namespace

// One SQLite file as the process sees it: a single handle shared by every TVNConnection on the
// file, and the transactions of those connections on it.
class SqliteFileHandle
{
public:
    SqliteFileHandle(QString path, QString connectionName)
        : m_path(std::move(path)), m_connectionName(std::move(connectionName))
    {}

    ~SqliteFileHandle()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
        registry().remove(m_path);
    }

    static std::shared_ptr<SqliteFileHandle> acquire(const QString &path)
    {
        if (const auto existing = registry().value(path).lock())
            return existing;
        const QString name = QStringLiteral("vn_sqlite_%1").arg(nextConnectionNumber());
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(path);
            db.setConnectOptions(
                QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kSqliteBusyTimeoutMs));
            if (!db.open()) {
                const QString text = DatabaseErrorText(db.lastError());
                db = QSqlDatabase();
                QSqlDatabase::removeDatabase(name);
                throw DatabaseError(text);
            }
            // Readers then never block the writer nor the writer the readers. A file on a
            // medium that refuses it keeps its rollback journal, which works, only slower.
            QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        }
        auto handle = std::make_shared<SqliteFileHandle>(path, name);
        registry().insert(path, handle);
        return handle;
    }

    QSqlDatabase database() const { return QSqlDatabase::database(m_connectionName, false); }

    void begin(const TVNConnection *owner) { m_frames.push_back({owner, {}, false, false}); }

    void ensureWriting(const TVNConnection *owner)
    {
        Frame *frame = frameOf(owner);
        if (!frame || frame->writing)
            return;
        if (m_writers.empty()) {
            execOrThrow(database(), QStringLiteral("BEGIN IMMEDIATE"));
        } else {
            frame->savepoint = QStringLiteral("vn_sp_%1").arg(++m_savepointNumber);
            execOrThrow(database(), QStringLiteral("SAVEPOINT ") + frame->savepoint);
        }
        frame->writing = true;
        m_writers.push_back(owner);
    }

    void commit(const TVNConnection *owner)
    {
        Frame *frame = frameOf(owner);
        if (!frame)
            return;
        if (frame->aborted) {
            drop(owner);
            throw DatabaseError(QStringLiteral("The transaction was rolled back when another "
                                               "connection to the same database file closed"));
        }
        if (frame->writing) {
            checkInnermost(owner);
            execOrThrow(database(), frame->savepoint.isEmpty()
                                        ? QStringLiteral("COMMIT")
                                        : QStringLiteral("RELEASE SAVEPOINT ") + frame->savepoint);
            m_writers.pop_back();
        }
        drop(owner);
    }

    void rollback(const TVNConnection *owner)
    {
        Frame *frame = frameOf(owner);
        if (!frame)
            return;
        if (frame->writing) {
            checkInnermost(owner);
            if (frame->savepoint.isEmpty()) {
                execOrThrow(database(), QStringLiteral("ROLLBACK"));
            } else {
                execOrThrow(database(),
                            QStringLiteral("ROLLBACK TO SAVEPOINT ") + frame->savepoint);
                execOrThrow(database(), QStringLiteral("RELEASE SAVEPOINT ") + frame->savepoint);
            }
            m_writers.pop_back();
        }
        drop(owner);
    }

    // On close: whatever the connection still has open goes back, whatever the order.
    void abandon(const TVNConnection *owner)
    {
        Frame *frame = frameOf(owner);
        if (!frame)
            return;
        if (frame->writing && m_writers.back() != owner) {
            // Its writes lie under another connection's; only undoing all of them is safe.
            QSqlQuery(database()).exec(QStringLiteral("ROLLBACK"));
            m_writers.clear();
            for (Frame &f : m_frames) {
                f.aborted = f.aborted || f.writing;
                f.writing = false;
            }
            m_frames.erase(std::remove_if(m_frames.begin(), m_frames.end(),
                                          [owner](const Frame &f) { return f.owner == owner; }),
                           m_frames.end());
            return;
        }
        try {
            rollback(owner);
        } catch (const DatabaseError &) {
            drop(owner);
        }
    }

private:
    struct Frame
    {
        const TVNConnection *owner;
        QString savepoint; // empty for the transaction that holds the write lock
        bool writing;
        bool aborted; // its writes were undone when another connection closed
    };

    static QHash<QString, std::weak_ptr<SqliteFileHandle>> &registry()
    {
        static QHash<QString, std::weak_ptr<SqliteFileHandle>> files;
        return files;
    }

    Frame *frameOf(const TVNConnection *owner)
    {
        const auto it = std::find_if(m_frames.begin(), m_frames.end(),
                                     [owner](const Frame &f) { return f.owner == owner; });
        return it == m_frames.end() ? nullptr : &*it;
    }

    void drop(const TVNConnection *owner)
    {
        if (!m_writers.empty() && m_writers.back() == owner)
            m_writers.pop_back();
        m_frames.erase(std::remove_if(m_frames.begin(), m_frames.end(),
                                      [owner](const Frame &f) { return f.owner == owner; }),
                       m_frames.end());
    }

    // Ending a transaction would end the ones that started writing inside it too.
    void checkInnermost(const TVNConnection *owner) const
    {
        if (m_writers.empty() || m_writers.back() != owner)
            throw DatabaseError(QStringLiteral(
                "Another connection to the same database file has a transaction open inside this "
                "one; it must end first"));
    }

    QString m_path;
    QString m_connectionName;
    std::vector<Frame> m_frames;
    std::vector<const TVNConnection *> m_writers; // innermost last
    int m_savepointNumber = 0;
};

QString DatabaseErrorText(const QSqlError &error)
{
    QString server = error.databaseText().trimmed();
    // The PostgreSQL driver appends the SQLSTATE in parentheses, empty when the link is gone.
    if (server.endsWith(QLatin1String("()")))
        server = server.chopped(2).trimmed();
    return server.isEmpty() ? error.driverText().trimmed() : server;
}

TVNConnection::TVNConnection(QObject *parent) : QObject(parent) {}

TVNConnection::~TVNConnection()
{
    Close();
}

void TVNConnection::Open(const QString &connectionString)
{
    Close();
    const InitStringPairs pairs = ParseInitString(connectionString);
    QString odbcDriver;
    if (ProviderKindOf(InitStringValue(pairs, QStringLiteral("Provider"))) ==
        ProviderKind::SqlServer)
        odbcDriver = ReadSettingDef(QStringLiteral("DataProvider"), QStringLiteral("OdbcDriver"),
                                    kDefaultOdbcDriver);
    const ConnectionTarget target = MapInitString(connectionString, odbcDriver);
    if (!QSqlDatabase::isDriverAvailable(target.driver))
        throw DatabaseError(
            QStringLiteral("Databasdrivrutinen %1 är inte installerad.").arg(target.driver));
    if (target.kind == ProviderKind::Sqlite)
        openSqlite(target);
    else
        openServer(target);
    m_connectionString = connectionString;
    m_kind = target.kind;
    m_lost = false;
}

void TVNConnection::openSqlite(const ConnectionTarget &target)
{
    const QString file = target.databaseName.trimmed();
    if (file.isEmpty())
        throw DatabaseError(QStringLiteral("Ingen databasfil är angiven (Data Source)."));
    // Opening a missing file would quietly create an empty journal.
    const QFileInfo info(file);
    if (!info.isFile())
        throw DatabaseError(QStringLiteral("Databasfilen \"%1\" finns inte.").arg(file));
    m_sqlite = SqliteFileHandle::acquire(info.canonicalFilePath());
}

void TVNConnection::openServer(const ConnectionTarget &target)
{
    const QString name = QStringLiteral("vn_connection_%1").arg(nextConnectionNumber());
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(target.driver, name);
        db.setDatabaseName(target.databaseName);
        db.setHostName(target.hostName);
        if (target.port > 0)
            db.setPort(target.port);
        db.setUserName(target.userName);
        db.setPassword(target.password);
        db.setConnectOptions(target.connectOptions);
        if (!db.open())
            failure = DatabaseErrorText(db.lastError());
    }
    if (!failure.isNull()) {
        QSqlDatabase::removeDatabase(name);
        throw DatabaseError(failure.isEmpty() ? QStringLiteral("Unable to connect") : failure);
    }
    m_connectionName = name;
}

void TVNConnection::Close()
{
    if (!m_sqlite && m_connectionName.isEmpty())
        return;
    Q_EMIT beforeDisconnect();
    if (m_sqlite) {
        if (m_inTransaction)
            m_sqlite->abandon(this);
        m_sqlite.reset();
    } else {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            if (m_inTransaction && !m_lost)
                db.rollback();
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
        m_connectionName.clear();
    }
    m_inTransaction = false;
    m_lost = false;
}

bool TVNConnection::Connected() const
{
    if (m_sqlite)
        return true;
    return !m_connectionName.isEmpty() && !m_lost &&
           QSqlDatabase::database(m_connectionName, false).isOpen();
}

QSqlDatabase TVNConnection::Database() const
{
    if (m_sqlite)
        return m_sqlite->database();
    if (m_connectionName.isEmpty())
        return {};
    return QSqlDatabase::database(m_connectionName, false);
}

namespace {

void requireConnected(const TVNConnection &connection)
{
    if (!connection.Connected())
        throw DatabaseError(QStringLiteral("Connection is not open"));
}

void requireTransaction(bool inTransaction)
{
    if (!inTransaction)
        throw DatabaseError(QStringLiteral("No transaction is active"));
}

} // namespace

void TVNConnection::BeginTrans()
{
    requireConnected(*this);
    if (m_inTransaction)
        throw DatabaseError(QStringLiteral("The connection already has an open transaction"));
    if (m_sqlite) {
        m_sqlite->begin(this);
    } else {
        QSqlDatabase db = Database();
        if (!db.transaction()) {
            const QSqlError error = db.lastError();
            NoteFailure(error);
            throw DatabaseError(DatabaseErrorText(error));
        }
    }
    m_inTransaction = true;
}

void TVNConnection::CommitTrans()
{
    requireTransaction(m_inTransaction);
    if (m_sqlite) {
        // A failed COMMIT (the lock could not be had) leaves the transaction open to roll back.
        m_sqlite->commit(this);
        m_inTransaction = false;
        return;
    }
    requireConnected(*this);
    QSqlDatabase db = Database();
    const bool committed = db.commit();
    // The servers end a transaction whose commit failed; nothing is left to roll back.
    m_inTransaction = false;
    if (!committed) {
        const QSqlError error = db.lastError();
        NoteFailure(error);
        throw DatabaseError(DatabaseErrorText(error));
    }
}

void TVNConnection::RollbackTrans()
{
    requireTransaction(m_inTransaction);
    if (m_sqlite) {
        m_sqlite->rollback(this);
        m_inTransaction = false;
        return;
    }
    m_inTransaction = false;
    requireConnected(*this);
    QSqlDatabase db = Database();
    if (!db.rollback()) {
        const QSqlError error = db.lastError();
        NoteFailure(error);
        throw DatabaseError(DatabaseErrorText(error));
    }
}

void TVNConnection::EnsureWriteTransaction()
{
    if (m_sqlite && m_inTransaction)
        m_sqlite->ensureWriting(this);
}

void TVNConnection::NoteFailure(const QSqlError &error)
{
    if (m_lost || m_connectionName.isEmpty())
        return;
    const QString state = error.nativeErrorCode();
    if (m_kind == ProviderKind::SqlServer) {
        // SQLSTATE class 08: the link to the server is gone.
        if (state.startsWith(QLatin1String("08")) || state.contains(QLatin1String(";08")))
            m_lost = true;
        return;
    }
    if (m_kind != ProviderKind::PostgreSql)
        return;
    // Errors the server reports carry their SQLSTATE; a lost link shows none, or class 08, or
    // 57P01..57P03 (terminated by the administrator, shut down, cannot connect now).
    if (!state.isEmpty() && !state.startsWith(QLatin1String("08")) &&
        !state.startsWith(QLatin1String("57P")))
        return;
    const QSqlDatabase db = Database();
    if (!db.isOpen()) {
        m_lost = true;
        return;
    }
    QSqlQuery probe(db);
    if (probe.exec(QStringLiteral("SELECT 1")))
        return;
    // An aborted transaction refuses the probe too, yet the connection is alive.
    if (probe.lastError().nativeErrorCode() == QLatin1String("25P02"))
        return;
    m_lost = true;
}
