#include "demo/demojournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <QUuid>
#include <filesystem>
#include <system_error>

using namespace Qt::StringLiterals;

namespace {

QString readResource(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QString dateTimeType(Dialect dialect)
{
    return dialect == Dialect::PostgreSQL ? u"TIMESTAMP"_s : u"DATETIME"_s;
}

QString blobType(Dialect dialect)
{
    switch (dialect) {
    case Dialect::SQLite:
        return u"BLOB"_s;
    case Dialect::PostgreSQL:
        return u"BYTEA"_s;
    case Dialect::SqlServer:
        break;
    }
    return u"VARBINARY(MAX)"_s;
}

// Enough of a statement to find it in the SQL source.
QString excerpt(const QString &statement)
{
    constexpr qsizetype kLength = 160;
    const QString text = statement.simplified();
    return text.size() <= kLength ? text : text.left(kLength) + u"..."_s;
}

} // namespace

std::optional<Dialect> DialectOfDriver(const QString &driverName)
{
    if (driverName == u"QSQLITE")
        return Dialect::SQLite;
    if (driverName == u"QPSQL")
        return Dialect::PostgreSQL;
    if (driverName == u"QODBC")
        return Dialect::SqlServer;
    return std::nullopt;
}

QString DemoSchemaSource()
{
    return readResource(u":/demo/schema.sql"_s);
}

QString DemoDataSource()
{
    return readResource(u":/demo/journal.sql"_s);
}

QString DemoSchemaSql(Dialect dialect)
{
    QString sql = DemoSchemaSource();
    sql.replace(u"{DATETIME}"_s, dateTimeType(dialect));
    sql.replace(u"{BLOB}"_s, blobType(dialect));
    return sql;
}

QStringList SplitSqlStatements(QStringView script)
{
    enum class State
    {
        Code,
        String,
        Identifier,
        LineComment,
        BlockComment
    };
    State state = State::Code;
    QStringList statements;
    QString current;
    const auto finishStatement = [&] {
        const QString statement = current.trimmed();
        if (!statement.isEmpty())
            statements << statement;
        current.clear();
    };

    const qsizetype n = script.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = script[i];
        const QChar next = i + 1 < n ? script[i + 1] : QChar();
        switch (state) {
        case State::Code:
            if (c == u'-' && next == u'-') {
                state = State::LineComment;
                ++i;
            } else if (c == u'/' && next == u'*') {
                state = State::BlockComment;
                current += u' '; // keeps the tokens on either side apart
                ++i;
            } else if (c == u';') {
                finishStatement();
            } else {
                if (c == u'\'')
                    state = State::String;
                else if (c == u'"')
                    state = State::Identifier;
                current += c;
            }
            break;
        case State::String:
            // A doubled quote leaves and re-enters the string at once.
            current += c;
            if (c == u'\'')
                state = State::Code;
            break;
        case State::Identifier:
            current += c;
            if (c == u'"')
                state = State::Code;
            break;
        case State::LineComment:
            if (c == u'\n') {
                state = State::Code;
                current += c;
            }
            break;
        case State::BlockComment:
            if (c == u'*' && next == u'/') {
                state = State::Code;
                ++i;
            }
            break;
        }
    }
    finishStatement();
    return statements;
}

bool CreateDemoJournal(QSqlDatabase &db, Dialect dialect, QString *error)
{
    const auto fail = [error](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    if (!db.isOpen())
        return fail(u"Databasen är inte öppen."_s);

    const QStringList schema = SplitSqlStatements(DemoSchemaSql(dialect));
    const QStringList data = SplitSqlStatements(DemoDataSource());
    // Without its resources the library would otherwise "succeed" with an empty journal.
    if (schema.isEmpty() || data.isEmpty())
        return fail(u"Demojournalens SQL-källor saknas i programmet."_s);

    QStringList statements;
    // The literals are 'YYYY-MM-DD hh:mm:ss', which SQL Server reads by the session's date
    // order for DATETIME unless told otherwise.
    if (dialect == Dialect::SqlServer)
        statements << u"SET DATEFORMAT ymd"_s;
    statements << schema << data;

    if (!db.transaction())
        return fail(u"Kan inte börja en transaktion: "_s + db.lastError().text());
    {
        QSqlQuery query(db);
        for (qsizetype i = 0; i < statements.size(); ++i) {
            if (!query.exec(statements[i])) {
                const QString message = u"Sats %1 av %2 misslyckades: %3\n%4"_s.arg(
                    QString::number(i + 1), QString::number(statements.size()),
                    excerpt(statements[i]), query.lastError().text());
                query.finish();
                db.rollback();
                return fail(message);
            }
        }
    }
    if (!db.commit()) {
        const QString message = u"Kan inte spara demojournalen: "_s + db.lastError().text();
        db.rollback();
        return fail(message);
    }
    return true;
}

bool CreateDemoJournalFile(const QString &path, QString *error)
{
    const auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    const QFileInfo target(path);
    QTemporaryFile temporary(
        target.absoluteDir().filePath(QLatin1Char('.') + target.fileName() +
                                      QStringLiteral(".XXXXXX")));
    if (!temporary.open()) {
        return fail(QStringLiteral("Kan inte skapa en fil i %1: %2")
                        .arg(QDir::toNativeSeparators(target.absolutePath()),
                             temporary.errorString()));
    }
    temporary.close();
    // The temporary file is private to its owner; the journal is not.
    temporary.setPermissions(target.exists()
                                 ? target.permissions()
                                 : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                       QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther);

    const QString connectionName =
        QStringLiteral("vn-demo-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool created = false;
    QString why;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        db.setDatabaseName(temporary.fileName());
        if (!db.open())
            why = db.lastError().text();
        else
            created = CreateDemoJournal(db, Dialect::SQLite, &why);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
    if (!created)
        return fail(QStringLiteral("Demojournalen kunde inte skapas: ") + why);

    // Replaces an existing file in one step, which QFile::rename does not.
    std::error_code renameError;
    std::filesystem::rename(std::filesystem::path(temporary.fileName().toStdU16String()),
                            std::filesystem::path(target.absoluteFilePath().toStdU16String()),
                            renameError);
    if (renameError) {
        return fail(QStringLiteral("Kan inte skriva filen %1: %2")
                        .arg(path, QString::fromLocal8Bit(renameError.message())));
    }
    temporary.setAutoRemove(false);
    return true;
}
