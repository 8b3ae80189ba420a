#include "questionnaire/journalqueries.h"

#include "db/vnadoquery.h"

namespace {

TVNAdoQuery *makeQuery(QObject *owner, TVNConnection *connection, const QStringList &lines,
                       LockType lockType, TVNAdoQuery *master = nullptr)
{
    auto *query = new TVNAdoQuery(owner);
    query->SetConnection(connection);
    query->SetLockType(lockType);
    query->SetSQL(lines);
    query->SetMaster(master);
    return query;
}

QStringList counterStatement()
{
    return {QStringLiteral("SELECT * FROM FIELDCOUNTERS"),
            QStringLiteral("WHERE TABLENAME =:tablename"),
            QStringLiteral("AND FIELDNAME =:fieldname")};
}

} // namespace

JournalQueries::JournalQueries(TVNConnection *database1, TVNConnection *lopnrDatabase,
                               QObject *parent)
    : QObject(parent)
{
    constexpr LockType readOnly = LockType::ReadOnly;
    constexpr LockType editable = LockType::Optimistic;
    QKUNDER =
        makeQuery(this, database1,
                  {QStringLiteral("SELECT * FROM KUNDER WHERE PERSONNR LIKE :personnr")}, readOnly);
    PATREG = makeQuery(this, database1,
                       {QStringLiteral("Select * from PATREG"),
                        QStringLiteral("where PATIENTNR =:PATIENTNR"),
                        QStringLiteral("and LOPNR > 0"), QStringLiteral("order by LOPNR")},
                       editable, QKUNDER);
    QPATHALSODEK =
        makeQuery(this, database1,
                  {QStringLiteral("SELECT * FROM PATHALSODEK"),
                   QStringLiteral("WHERE PATIENTNR=:PATIENTNR"), QStringLiteral("ORDER BY DATUM")},
                  editable, QKUNDER);
    QPATHALSODEKVALUES = makeQuery(this, database1,
                                   {QStringLiteral("SELECT * FROM PATHALSODEKVALUES"),
                                    QStringLiteral("WHERE PATHALSODEKLOPNR =:LOPNR"), QString()},
                                   editable, QPATHALSODEK);
    QHALSOJOURNALER =
        makeQuery(this, database1,
                  {QStringLiteral("SELECT * FROM HALSOJOURNALER"),
                   QStringLiteral("WHERE HALSONR =:HALSONR"), QStringLiteral("ORDER BY NAMN")},
                  readOnly, QPATHALSODEK);
    QHALSOJOURNALERLOOKUP =
        makeQuery(this, database1,
                  {QStringLiteral("SELECT * FROM HALSOJOURNALER"),
                   QStringLiteral("WHERE AKTIV = 'T'"), QStringLiteral("ORDER BY NAMN")},
                  readOnly);
    QHALSOGRUPPER = makeQuery(
        this, database1,
        {QStringLiteral("SELECT * FROM HALSOGRUPPER"), QStringLiteral("WHERE HALSONR =:HALSONR"),
         QStringLiteral("AND AKTIV = 'T'"), QStringLiteral("ORDER BY INDEXNR ASC")},
        readOnly, QHALSOJOURNALER);
    QHALSOVALUES = makeQuery(this, database1,
                             {QStringLiteral("SELECT * FROM HALSOVALUES"),
                              QStringLiteral("WHERE GRUPPLOPNR =:GRUPPLOPNR"),
                              QStringLiteral("ORDER BY INDEXNR ASC")},
                             readOnly, QHALSOGRUPPER);
    lopnrQuery = makeQuery(this, lopnrDatabase, counterStatement(), editable);
    IniData = makeQuery(this, lopnrDatabase, counterStatement(), editable);
}

QString AnswerListStatement(int listNumber)
{
    return QStringLiteral("SELECT * FROM DROPDOWNDATA WHERE LOPNR = ") +
           QString::number(listNumber);
}

QString ListAnswersStatement(int listNumber)
{
    return QStringLiteral("SELECT * FROM DROPDOWNVALUES WHERE GROUPLOPNR = ") +
           QString::number(listNumber) + QStringLiteral(" AND AKTIV = 'T'");
}
