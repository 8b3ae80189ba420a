#pragma once

#include "db/providermapping.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <memory>

class QSqlError;
class SqliteFileHandle;

// One database connection of the program (`Database1`, `lopnrDatabase`), opened from an OLE DB
// init string and owning one Qt SQL connection. Failures throw DatabaseError.
//
// SQLite (the demo journal) is single-writer, and the program keeps a long transaction open on
// `Database1` while it draws counter numbers on `lopnrDatabase`. So on SQLite all connections of
// the process to one file share one handle; a transaction reads in autocommit (seeing what is
// committed, as the servers' read-committed level does) and takes the file's write lock only
// before its first write ("BEGIN IMMEDIATE"). A transaction that starts writing while another
// one on the same file already writes becomes a savepoint inside it.
class TVNConnection final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TVNConnection)

public:
    explicit TVNConnection(QObject *parent = nullptr);
    ~TVNConnection() override;

    // Closes any open connection first. For SQL Server the ODBC driver name comes from the
    // setting DataProvider/OdbcDriver.
    void Open(const QString &connectionString);
    // Rolls back an open transaction and disconnects; never throws.
    void Close();
    // False after Close, and after a failure that showed the server connection to be lost.
    bool Connected() const;
    QString ConnectionString() const { return m_connectionString; }
    ProviderKind Kind() const { return m_kind; }

    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    bool InTransaction() const { return m_inTransaction; }

    // Free for the owner's use (the sleep handling marks connections it closed with 666).
    int Tag() const { return m_tag; }
    void SetTag(int tag) { m_tag = tag; }

    // For the query class: the Qt connection (invalid when not connected).
    QSqlDatabase Database() const;
    // For the query class: called before a statement that writes. On SQLite it takes the
    // file's write lock for the open transaction; elsewhere it does nothing.
    void EnsureWriteTransaction();
    // For the query class: called after a statement failed. Finds out whether the server
    // connection was lost, and if so marks the connection as not connected.
    void NoteFailure(const QSqlError &error);

Q_SIGNALS:
    // Before the connection closes, so that queries on it close too.
    void beforeDisconnect();

private:
    void openSqlite(const ConnectionTarget &target);
    void openServer(const ConnectionTarget &target);

    QString m_connectionName; // the Qt connection of a server connection
    std::shared_ptr<SqliteFileHandle> m_sqlite;
    QString m_connectionString;
    ProviderKind m_kind = ProviderKind::Unknown;
    bool m_inTransaction = false;
    bool m_lost = false;
    int m_tag = 0;
};

// The message of a Qt SQL error: the server's text where there is one, else the driver's.
QString DatabaseErrorText(const QSqlError &error);
