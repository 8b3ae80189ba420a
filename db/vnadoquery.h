#pragma once

#include "db/vnconnection.h"

#include <QFlags>
#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <vector>

class QDateTime;
class QSqlError;
class QSqlQuery;
class TVNAdoQuery;

enum class LockType
{
    Optimistic,
    ReadOnly
};
enum class DataSetState
{
    Inactive,
    Browse,
    Edit,
    Insert
};
enum class LocateOption
{
    CaseInsensitive = 0x1,
    PartialKey = 0x2
};
Q_DECLARE_FLAGS(LocateOptions, LocateOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(LocateOptions)

// The message of a failed optimistic update; the dialogs reword it into advice for the user.
inline const QString kRowConflictMessage = QStringLiteral(
    "Row cannot be located for updating. Some values may have been changed since it was last read");

// A column of the current row, found by name. Reading a null gives "", 0 or an invalid date;
// writing needs the query in Edit or Insert state.
class TVNField
{
public:
    TVNField(TVNAdoQuery *query, int index) : m_query(query), m_index(index) {}

    QString FieldName() const;
    QVariant Value() const;
    bool IsNull() const;
    QString AsString() const;
    int AsInteger() const;
    double AsFloat() const;
    QDateTime AsDateTime() const;
    QByteArray AsBytes() const;
    // See TVNAdoQuery::FieldDataSize.
    int DataSize() const;

    void SetValue(const QVariant &value);
    void SetAsString(const QString &value);
    void SetAsInteger(int value);
    void SetAsFloat(double value);
    void SetAsDateTime(const QDateTime &value);
    void SetAsBytes(const QByteArray &value);
    void Clear();

private:
    TVNAdoQuery *m_query;
    int m_index;
};

// A named parameter of the statement (":name"); a query with a master takes it from the
// master's current row instead when the master has a column of that name.
class TVNParam
{
public:
    TVNParam(TVNAdoQuery *query, int index) : m_query(query), m_index(index) {}

    QString Name() const;
    QVariant Value() const;
    QString AsString() const;
    int AsInteger() const;
    void SetValue(const QVariant &value);
    void SetAsString(const QString &value);
    void SetAsInteger(int value);
    void Clear();

private:
    TVNAdoQuery *m_query;
    int m_index;
};

// The program's query: a statement kept as lines, named parameters, and a dataset that Open
// fetches whole into a client-side snapshot (a static cursor) with navigation, Locate, field
// access by name, and Edit/Insert/Post/Cancel that write one INSERT or UPDATE with bound values.
// An UPDATE finds its row by the table's key columns (all original values where the table has
// none) plus the original values of the changed columns, so a row changed by someone else since
// it was read is not overwritten: Post then throws kRowConflictMessage. Failures throw
// DatabaseError.
class TVNAdoQuery final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TVNAdoQuery)

public:
    explicit TVNAdoQuery(QObject *parent = nullptr);
    ~TVNAdoQuery() override;

    void SetConnection(TVNConnection *connection);
    TVNConnection *Connection() const { return m_connection; }
    void SetLockType(LockType lockType);
    LockType CurrentLockType() const { return m_lockType; }

    // The statement as lines; every change closes the query. Parameters keep the values of
    // those with the same name in the previous statement.
    const QStringList &SQL() const { return m_sql; }
    void SetSQL(const QStringList &lines);
    void SQLClear();
    void SQLAdd(const QString &line);
    // The lines, each followed by a line break.
    QString CommandText() const;

    TVNParam ParamByName(const QString &name);
    QStringList ParamNames() const;

    // Parameters come from the master's current row; this query re-reads (when open) whenever
    // the master opens, moves or posts.
    void SetMaster(TVNAdoQuery *master);
    TVNAdoQuery *Master() const { return m_master; }

    void Open();
    void Close();
    bool Active() const { return m_state != DataSetState::Inactive; }
    DataSetState State() const { return m_state; }
    // Runs the statement without fetching rows; the number of rows affected.
    int ExecSQL();

    void First();
    void Next();
    void Prior();
    void Last();
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    // 1-based; 0 when there is no row.
    int RecNo() const;
    int RecordCount() const;
    bool IsEmpty() const;
    // Moves to the first row whose fields (names separated by ";") equal the values; false
    // leaves the position unchanged.
    bool Locate(const QString &fieldNames, const QVariantList &values, LocateOptions options = {});
    bool Locate(const QString &fieldName, const QVariant &value, LocateOptions options = {});

    TVNField FieldByName(const QString &name);
    bool HasField(const QString &name) const;
    QStringList FieldNames() const;
    int FieldCount() const { return m_record.count(); }
    // For a text column, its declared length in characters plus one (the stored terminator),
    // so that "data size less one" is what the column holds, also for wide columns; 0 for
    // other columns and for text without a declared length.
    int FieldDataSize(const QString &name);

    void Edit();
    void Insert();
    void Append();
    void Post();
    void Cancel();

Q_SIGNALS:
    void afterOpen();
    void afterScroll();
    void afterClose();

private:
    friend class TVNField;
    friend class TVNParam;

    struct Param
    {
        QString name;
        QVariant value;
    };
    struct Row
    {
        QVariantList values;
        QVariantList original;
        std::vector<bool> assigned;
    };
    struct Statement
    {
        QString text;           // with "?" for every parameter
        QStringList paramNames; // in order of the "?"
    };

    Statement parsedStatement() const;
    QVariant paramValueForOpen(const QString &name) const;
    void execPrepared(QSqlQuery &query, const Statement &statement, const QVariantList &values);
    [[noreturn]] void fail(const QSqlError &error);
    void requireActive() const;
    void requireEditable() const;
    void checkBrowseMode();
    // A row of nulls with the columns of the open result, for Insert and Append.
    Row blankRow() const;
    void refreshDetails(const QStringList *changedColumns = nullptr);
    void setPosition(int row);
    int fieldIndex(const QString &name) const;
    QVariant fieldValue(int index) const;
    void setFieldValue(int index, const QVariant &value);
    int paramIndex(const QString &name) const;
    void reparseParams();
    QString editTable() const;
    QHash<QString, QString> declaredSqliteTypes() const;
    QList<int> whereColumns();
    bool isLongColumn(int index) const;
    void postInsert(Row &row, const QString &table);
    void postUpdate(Row &row, const QString &table);

    QPointer<TVNConnection> m_connection;
    QMetaObject::Connection m_disconnectWatch;
    QPointer<TVNAdoQuery> m_master;
    QList<QPointer<TVNAdoQuery>> m_details;
    LockType m_lockType = LockType::Optimistic;
    QStringList m_sql;
    QList<Param> m_params;

    DataSetState m_state = DataSetState::Inactive;
    QSqlRecord m_record;
    QHash<QString, int> m_fieldIndex; // lower-case name -> column
    std::vector<Row> m_rows;
    int m_current = -1;
    bool m_bof = true;
    bool m_eof = true;
    int m_rowBeforeInsert = -1;
    std::optional<QList<int>> m_keyColumns;
    QHash<int, int> m_dataSizes;
    QHash<QString, QString> m_sqliteTypes; // declared column types, by lower-case name
    QList<int> m_textDateColumns;          // SQLite keeps dates as text; the schema says which
};
