#include "db/connectionsetup.h"
#include "db/databaseerror.h"
#include "db/vnadoquery.h"
#include "db/vnconnection.h"
#include "toolkit/ansitext.h"
#include "toolkit/textcipher.h"

namespace {

QString windowsLoginString(const QString &provider, const TDBConnection &db)
{
    return QStringLiteral("Provider=") + provider
           + QStringLiteral(";Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=")
           + db.Databasename + QStringLiteral(";Data Source=") + db.ServerName;
}

QString databaseLoginString(const QString &provider, const QString &user, const QString &password,
                            const TDBConnection &db)
{
    return QStringLiteral("Provider=") + provider + QStringLiteral(";Password=") + password
           + QStringLiteral(";Persist Security Info=True;User ID=") + user
           + QStringLiteral(";Initial Catalog=") + db.Databasename + QStringLiteral(";Data Source=")
           + db.ServerName;
}

QString decipher(const QString &cipherText)
{
    const TextCipher *cipher = CredentialCipher();
    if (!cipher)
        throw DatabaseError(QStringLiteral("Ingen nyckel för inloggningsuppgifterna."));
    QString error;
    const std::optional<QByteArray> plain = cipher->DecryptString(vn::ToAnsi(cipherText), &error);
    if (!plain)
        throw DatabaseError(error);
    return vn::FromAnsi(*plain);
}

} // namespace

std::optional<StoredLogin> ReadStoredLogin(const QString &provider, const QString &user,
                                           const QString &password)
{
    const TDBConnection &db = Toolkit().DbConnection;
    try {
        TVNConnection connection;
        try {
            connection.Open(windowsLoginString(provider, db));
        } catch (const DatabaseError &) {
            connection.Open(databaseLoginString(provider, user, password, db));
        }
        connection.BeginTrans();
        StoredLogin login;
        {
            TVNAdoQuery query;
            query.SetConnection(&connection);
            query.SetLockType(LockType::ReadOnly);
            query.SQLAdd(QStringLiteral("SELECT * FROM VENNICUSER"));
            query.Open();
            if (query.IsEmpty())
                throw DatabaseError(QStringLiteral("VENNICUSER är tom."));
            login.user = decipher(query.FieldByName(QStringLiteral("VNUSERNAME")).AsString());
            login.password = decipher(query.FieldByName(QStringLiteral("VNPASSWORD")).AsString());
            query.Close();
        }
        if (connection.InTransaction())
            connection.RollbackTrans();
        connection.Close();
        return login;
    } catch (const std::exception &) {
        return std::nullopt;
    }
}
