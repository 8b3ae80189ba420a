#include "demo/pgconninfo.h"

#include <QSqlDatabase>

using namespace Qt::StringLiterals;

namespace {

bool isBlank(QChar c)
{
    return c.isSpace();
}

// libpq's own quoting, so that the driver hands the value on unchanged.
QString quoted(const QString &value)
{
    QString result = value;
    result.replace(u"\\"_s, u"\\\\"_s);
    result.replace(u"'"_s, u"\\'"_s);
    return u'\'' + result + u'\'';
}

} // namespace

std::optional<PgConnInfo> ParsePgConnInfo(QStringView conninfo, QString *error)
{
    const auto fail = [error](const QString &message) -> std::optional<PgConnInfo> {
        if (error)
            *error = message;
        return std::nullopt;
    };
    if (conninfo.trimmed().startsWith(u"postgres", Qt::CaseInsensitive) &&
        conninfo.contains(u"://"))
        return fail(u"Anslutningen ska anges som nyckel=värde, inte som URI."_s);

    PgConnInfo info;
    const qsizetype n = conninfo.size();
    qsizetype i = 0;
    while (true) {
        while (i < n && isBlank(conninfo[i]))
            ++i;
        if (i == n)
            break;
        const qsizetype keyStart = i;
        while (i < n && conninfo[i] != u'=' && !isBlank(conninfo[i]))
            ++i;
        const QString key = conninfo.mid(keyStart, i - keyStart).toString();
        while (i < n && isBlank(conninfo[i]))
            ++i;
        if (key.isEmpty())
            return fail(u"Anslutningen har ett värde utan nyckel."_s);
        if (i == n || conninfo[i] != u'=')
            return fail(u"Saknar \"=\" efter \"%1\" i anslutningen."_s.arg(key));
        ++i;
        while (i < n && isBlank(conninfo[i]))
            ++i;

        QString value;
        if (i < n && conninfo[i] == u'\'') {
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar c = conninfo[i++];
                if (c == u'\\' && i < n) {
                    value += conninfo[i++];
                } else if (c == u'\'') {
                    closed = true;
                    break;
                } else {
                    value += c;
                }
            }
            if (!closed)
                return fail(u"Värdet för \"%1\" saknar avslutande apostrof."_s.arg(key));
        } else {
            while (i < n && !isBlank(conninfo[i])) {
                if (conninfo[i] == u'\\' && i + 1 < n)
                    ++i;
                value += conninfo[i++];
            }
        }

        if (key == u"host") {
            info.host = value;
        } else if (key == u"port") {
            bool ok = false;
            const int port = value.toInt(&ok);
            if (!ok || port <= 0 || port > 65535)
                return fail(u"Ogiltigt portnummer \"%1\"."_s.arg(value));
            info.port = port;
        } else if (key == u"user") {
            info.user = value;
        } else if (key == u"password") {
            info.password = value;
        } else if (key == u"dbname") {
            info.dbname = value;
        } else {
            // The driver joins its options with blanks in place of semicolons.
            if (value.contains(u';'))
                return fail(u"Värdet för \"%1\" får inte innehålla semikolon."_s.arg(key));
            info.options << key + u'=' + quoted(value);
        }
    }
    return info;
}

void ApplyPgConnInfo(QSqlDatabase &db, const PgConnInfo &info)
{
    db.setHostName(info.host);
    db.setPort(info.port);
    db.setUserName(info.user);
    db.setPassword(info.password);
    db.setDatabaseName(info.dbname);
    db.setConnectOptions(info.options.join(u';'));
}
