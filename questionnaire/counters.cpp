#include "questionnaire/counters.h"

#include "db/databaseerror.h"
#include "db/vnadoquery.h"
#include "db/vnconnection.h"
#include "toolkit/dialogs.h"
#include "toolkit/pause.h"


namespace {

std::chrono::milliseconds &retryPause()
{
    static std::chrono::milliseconds pause = kCounterRetryPause;
    return pause;
}

TVNConnection &connectionOf(const TVNAdoQuery &query)
{
    TVNConnection *connection = query.Connection();
    if (!connection)
        throw DatabaseError(QStringLiteral("Missing Connection or ConnectionString"));
    return *connection;
}

void rollbackQuietly(TVNConnection *connection)
{
    try {
        if (connection && connection->InTransaction())
            connection->RollbackTrans();
    } catch (const std::exception &) {
        // Nothing more can be undone; the next attempt starts afresh.
    }
}

void setKey(TVNAdoQuery &query, const QString &tableName, const QString &fieldName)
{
    query.ParamByName(QStringLiteral("tablename")).SetValue(QVariant(tableName));
    query.ParamByName(QStringLiteral("fieldname")).SetValue(QVariant(fieldName));
}

} // namespace

void SetCounterRetryPause(std::chrono::milliseconds pause)
{
    retryPause() = pause;
}

std::chrono::milliseconds CounterRetryPause()
{
    return retryPause();
}

int ReadCounterValue(TVNAdoQuery &iniData, const QString &tableName, const QString &fieldName)
{
    int result = -1;
    TVNConnection *connection = iniData.Connection();
    try {
        TVNConnection &lopnrDatabase = connectionOf(iniData);
        if (lopnrDatabase.InTransaction())
            lopnrDatabase.RollbackTrans();
        lopnrDatabase.BeginTrans();
        iniData.Close();
        setKey(iniData, tableName, fieldName);
        iniData.Open();
        if (iniData.Locate(QStringLiteral("TABLENAME;FIELDNAME"), {tableName, fieldName},
                           LocateOption::CaseInsensitive))
            result = iniData.FieldByName(QStringLiteral("COUNTER")).AsInteger();
        iniData.Close();
    } catch (const std::exception &error) {
        result = -1;
        ShowError(QStringLiteral("Det gick inte att hämta värdet!") + QStringLiteral("\r\r") +
                  QString::fromUtf8(error.what()));
    }
    // The reading never writes.
    rollbackQuietly(connection);
    return result;
}

int NextSequenceNumber(TVNAdoQuery &lopnrQuery, const QString &tableName, const QString &fieldName,
                       int *attemptsUsed)
{
    for (int attempt = 1; attempt <= kCounterAttempts; ++attempt) {
        if (attemptsUsed)
            *attemptsUsed = attempt;
        TVNConnection *connection = lopnrQuery.Connection();
        try {
            lopnrQuery.Close();
            setKey(lopnrQuery, tableName, fieldName);
            TVNConnection &lopnrDatabase = connectionOf(lopnrQuery);
            if (lopnrDatabase.InTransaction())
                lopnrDatabase.RollbackTrans();
            lopnrDatabase.BeginTrans();
            lopnrQuery.Open();
            int number = 1;
            if (lopnrQuery.RecordCount() == 1) {
                number = lopnrQuery.FieldByName(QStringLiteral("COUNTER")).AsInteger() + 1;
                lopnrQuery.Edit();
            } else {
                // Two rows for one key are not repaired here: a third one is added.
                lopnrQuery.Insert();
                lopnrQuery.FieldByName(QStringLiteral("TABLENAME")).SetAsString(tableName);
                lopnrQuery.FieldByName(QStringLiteral("FIELDNAME")).SetAsString(fieldName);
            }
            lopnrQuery.FieldByName(QStringLiteral("COUNTER")).SetAsInteger(number);
            lopnrQuery.Post();
            lopnrDatabase.CommitTrans();
            return number;
        } catch (const std::exception &) {
            if (lopnrQuery.Active())
                lopnrQuery.Cancel();
            rollbackQuietly(connection);
            WaitWithoutUserInput(CounterRetryPause());
        }
    }
    return -1;
}
