#include "db/openquery.h"

#include "db/databaseerror.h"
#include "db/vnadoquery.h"
#include "db/vnconnection.h"
#include "toolkit/dialogs.h"

#include <QPointer>

namespace {

QPointer<TVNAdoQuery> &sharedQuerySlot()
{
    static QPointer<TVNAdoQuery> query;
    return query;
}

} // namespace

void SetSharedQuery(TVNAdoQuery *query)
{
    sharedQuerySlot() = query;
}

TVNAdoQuery *SharedQuery()
{
    return sharedQuerySlot();
}

std::unique_ptr<TVNAdoQuery> OpenQuery(const QString &sql, bool editable)
{
    std::unique_ptr<TVNAdoQuery> query;
    try {
        query = std::make_unique<TVNAdoQuery>();
        TVNConnection *connection = SharedQuery() ? SharedQuery()->Connection() : nullptr;
        if (!connection)
            throw DatabaseError(QStringLiteral("Missing Connection or ConnectionString"));
        query->SetConnection(connection);
        if (!connection->InTransaction())
            connection->BeginTrans();
        query->SetLockType(editable ? LockType::Optimistic : LockType::ReadOnly);
        query->SQLAdd(sql);
        query->Open();
        return query;
    } catch (const std::exception &error) {
        query.reset();
        ShowError(QStringLiteral("Det gick inte att utföra SQL-frågan:") + u' ' + sql + u'!' +
                  QStringLiteral("\r\r") + QString::fromUtf8(error.what()));
        return nullptr;
    }
}

QString ReadDatabaseValue(const QString &key, const QString &defaultValue)
{
    QString result = defaultValue;
    // Blanks and control characters alone make no key.
    if (key.trimmed().isEmpty())
        return result;
    try {
        TVNAdoQuery *query = SharedQuery();
        if (!query)
            throw DatabaseError(QStringLiteral("Missing Connection or ConnectionString"));
        query->Close();
        query->SQLClear();
        query->SetSQL({QStringLiteral("SELECT * FROM FIELDCOUNTERS"),
                       QStringLiteral("WHERE TABLENAME =:tablename")});
        query->ParamByName(QStringLiteral("tablename")).SetValue(QVariant(key));
        query->Open();
        if (query->Locate(QStringLiteral("TABLENAME"), key, LocateOption::CaseInsensitive))
            result = query->FieldByName(QStringLiteral("FIELDNAME")).AsString();
        query->Close();
    } catch (const std::exception &error) {
        ShowError(QStringLiteral("Det gick inte att hämta värdet!") + QStringLiteral("\r\r") +
                  QString::fromUtf8(error.what()));
    }
    return result;
}
