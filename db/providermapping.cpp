#include "db/providermapping.h"

#include "db/databaseerror.h"

#include <QRegularExpression>

namespace {

// Seconds; the OLE DB providers wait this long for a login by default.
constexpr int kDefaultConnectTimeout = 15;

// The connection keys that the providers accept under more than one name.
QString valueOf(const InitStringPairs &pairs, std::initializer_list<const char16_t *> keys)
{
    for (const char16_t *key : keys) {
        const QString value = InitStringValue(pairs, QString::fromUtf16(key));
        if (!value.isEmpty())
            return value;
    }
    return {};
}

bool isTrue(const QString &value)
{
    const QString v = value.trimmed().toLower();
    return v == u"true" || v == u"yes" || v == u"sspi";
}

int connectTimeoutOf(const InitStringPairs &pairs)
{
    bool ok = false;
    const int seconds = valueOf(pairs, {u"Connect Timeout", u"Connection Timeout"}).toInt(&ok);
    return ok && seconds > 0 ? seconds : kDefaultConnectTimeout;
}

// ODBC values are put in braces, with "}" doubled, whenever they hold a character that would
// otherwise end or split the attribute.
QString odbcValue(const QString &value)
{
    static const QRegularExpression special(QStringLiteral(R"([\[\]{}();?*=!@])"));
    if (!value.contains(special) && value.trimmed() == value)
        return value;
    QString escaped = value;
    escaped.replace(u'}', QStringLiteral("}}"));
    return u'{' + escaped + u'}';
}

void appendOdbc(QString &text, const QString &key, const QString &value)
{
    text += key + u'=' + odbcValue(value) + u';';
}

ConnectionTarget sqlServerTarget(const InitStringPairs &pairs, const QString &odbcDriver)
{
    ConnectionTarget target;
    target.kind = ProviderKind::SqlServer;
    target.driver = QStringLiteral("QODBC");
    const QString driverName =
        odbcDriver.trimmed().isEmpty() ? kDefaultOdbcDriver : odbcDriver.trimmed();
    const bool freeTds = driverName.contains(QLatin1String("FreeTDS"), Qt::CaseInsensitive);

    QString server = valueOf(pairs, {u"Data Source", u"Server", u"Address", u"Addr"}).trimmed();
    QString text;
    // The driver name always in braces, as the ODBC driver manager expects it.
    QString braced = driverName;
    braced.replace(u'}', QStringLiteral("}}"));
    text += QStringLiteral("DRIVER={") + braced + QStringLiteral("};");
    if (freeTds) {
        // FreeTDS takes the port apart from the host; "host\instance" it resolves itself.
        if (server.startsWith(QLatin1String("tcp:"), Qt::CaseInsensitive))
            server = server.mid(4);
        const qsizetype comma = server.lastIndexOf(u',');
        QString port;
        if (comma >= 0) {
            port = server.mid(comma + 1).trimmed();
            server = server.left(comma).trimmed();
        }
        appendOdbc(text, QStringLiteral("SERVER"), server);
        if (!port.isEmpty())
            appendOdbc(text, QStringLiteral("PORT"), port);
    } else {
        appendOdbc(text, QStringLiteral("SERVER"), server);
    }
    const QString database = valueOf(pairs, {u"Initial Catalog", u"Database"});
    if (!database.isEmpty())
        appendOdbc(text, QStringLiteral("DATABASE"), database);
    const QString integrated = InitStringValue(pairs, QStringLiteral("Integrated Security"));
    if (isTrue(integrated)) {
        text += QStringLiteral("Trusted_Connection=yes;");
    } else {
        appendOdbc(text, QStringLiteral("UID"), valueOf(pairs, {u"User ID", u"UID", u"User"}));
        appendOdbc(text, QStringLiteral("PWD"), valueOf(pairs, {u"Password", u"PWD"}));
    }
    if (!freeTds) {
        // Newer drivers encrypt by default; the OLE DB providers did only when asked.
        const bool encrypt =
            isTrue(InitStringValue(pairs, QStringLiteral("Use Encryption for Data")));
        text += encrypt ? QStringLiteral("Encrypt=yes;") : QStringLiteral("Encrypt=no;");
        if (isTrue(InitStringValue(pairs, QStringLiteral("Trust Server Certificate"))))
            text += QStringLiteral("TrustServerCertificate=yes;");
    }
    const QString application = InitStringValue(pairs, QStringLiteral("Application Name"));
    if (!application.isEmpty())
        appendOdbc(text, QStringLiteral("APP"), application);
    target.databaseName = text;
    target.connectOptions =
        QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(connectTimeoutOf(pairs));
    return target;
}

ConnectionTarget sqliteTarget(const InitStringPairs &pairs)
{
    ConnectionTarget target;
    target.kind = ProviderKind::Sqlite;
    target.driver = QStringLiteral("QSQLITE");
    target.databaseName = valueOf(pairs, {u"Data Source", u"Initial Catalog", u"Database"});
    return target;
}

ConnectionTarget postgresTarget(const InitStringPairs &pairs)
{
    ConnectionTarget target;
    target.kind = ProviderKind::PostgreSql;
    target.driver = QStringLiteral("QPSQL");
    QString host = valueOf(pairs, {u"Data Source", u"Server", u"Host"}).trimmed();
    // "host:port"; a bare IPv6 address (several colons) carries no port.
    static const QRegularExpression hostPort(QStringLiteral(R"(^([^:]*):(\d+)$)"));
    static const QRegularExpression bracketed(QStringLiteral(R"(^\[([^\]]+)\](?::(\d+))?$)"));
    if (const auto m = hostPort.match(host); m.hasMatch()) {
        host = m.captured(1);
        target.port = m.captured(2).toInt();
    } else if (const auto b = bracketed.match(host); b.hasMatch()) {
        host = b.captured(1);
        if (!b.captured(2).isEmpty())
            target.port = b.captured(2).toInt();
    }
    if (const QString port = InitStringValue(pairs, QStringLiteral("Port")); !port.isEmpty())
        target.port = port.toInt();
    target.hostName = host;
    target.databaseName = valueOf(pairs, {u"Initial Catalog", u"Database"});
    target.userName = valueOf(pairs, {u"User ID", u"UID", u"User"});
    target.password = valueOf(pairs, {u"Password", u"PWD"});
    target.connectOptions = QStringLiteral("connect_timeout=%1").arg(connectTimeoutOf(pairs));
    return target;
}

} // namespace

InitStringPairs ParseInitString(const QString &initString)
{
    InitStringPairs pairs;
    const qsizetype n = initString.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype eq = initString.indexOf(u'=', i);
        const qsizetype semi = initString.indexOf(u';', i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            // A segment without "=": nothing to keep.
            if (semi < 0)
                break;
            i = semi + 1;
            continue;
        }
        const QString key = initString.mid(i, eq - i).trimmed();
        i = eq + 1;
        while (i < n && initString.at(i).isSpace())
            ++i;
        QString value;
        if (i < n && (initString.at(i) == u'"' || initString.at(i) == u'\'')) {
            const QChar quote = initString.at(i++);
            while (i < n) {
                if (initString.at(i) == quote) {
                    if (i + 1 < n && initString.at(i + 1) == quote) {
                        value += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += initString.at(i++);
            }
            const qsizetype next = initString.indexOf(u';', i);
            i = next < 0 ? n : next + 1;
        } else {
            const qsizetype next = initString.indexOf(u';', i);
            const qsizetype end = next < 0 ? n : next;
            value = initString.mid(i, end - i).trimmed();
            i = next < 0 ? n : next + 1;
        }
        if (!key.isEmpty())
            pairs.append({key, value});
    }
    return pairs;
}

QString InitStringValue(const InitStringPairs &pairs, const QString &key)
{
    for (const auto &[k, v] : pairs) {
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return v;
    }
    return {};
}

ProviderKind ProviderKindOf(const QString &provider)
{
    const QString p = provider.trimmed();
    const auto starts = [&p](QLatin1String prefix) {
        return p.startsWith(prefix, Qt::CaseInsensitive);
    };
    if (starts(QLatin1String("SQLOLEDB")) || starts(QLatin1String("SQLNCLI")) ||
        starts(QLatin1String("MSOLEDBSQL")))
        return ProviderKind::SqlServer;
    if (starts(QLatin1String("SQLite")))
        return ProviderKind::Sqlite;
    if (starts(QLatin1String("PostgreSQL")))
        return ProviderKind::PostgreSql;
    return ProviderKind::Unknown;
}

ConnectionTarget MapInitString(const QString &initString, const QString &odbcDriver)
{
    const InitStringPairs pairs = ParseInitString(initString);
    const QString provider = InitStringValue(pairs, QStringLiteral("Provider"));
    switch (ProviderKindOf(provider)) {
    case ProviderKind::SqlServer:
        return sqlServerTarget(pairs, odbcDriver);
    case ProviderKind::Sqlite:
        return sqliteTarget(pairs);
    case ProviderKind::PostgreSql:
        return postgresTarget(pairs);
    case ProviderKind::Unknown:
        break;
    }
    throw DatabaseError(QStringLiteral("Okänd databasleverantör \"%1\". Kända leverantörer är "
                                       "SQLOLEDB, SQLNCLI, MSOLEDBSQL, SQLite och PostgreSQL.")
                            .arg(provider));
}
