#include "testrunner.h"

#include "demo/pgconninfo.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TstPgConnInfo : public QObject
{
    Q_OBJECT

private slots:
    void parses_data()
    {
        QTest::addColumn<QString>("conninfo");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("dbname");
        QTest::addColumn<QStringList>("options");
        QTest::newRow("plain pairs")
            << u"host=127.0.0.1 port=55432 user=postgres dbname=vntest"_s << u"127.0.0.1"_s << 55432
            << u"postgres"_s << QString() << u"vntest"_s << QStringList();
        QTest::newRow("blanks around the equals sign")
            << u"  host = db.klinik.se\tdbname =journal  "_s << u"db.klinik.se"_s << -1 << QString()
            << QString() << u"journal"_s << QStringList();
        QTest::newRow("quoted value with blank, quote and backslash")
            << uR"(password='a b\'c\\d' user='')"_s << QString() << -1 << QString()
            << uR"(a b'c\d)"_s << QString() << QStringList();
        QTest::newRow("backslash escapes in an unquoted value")
            << uR"(password=x\ y)"_s << QString() << -1 << QString() << u"x y"_s << QString()
            << QStringList();
        QTest::newRow("last dbname wins")
            << u"dbname=vntest user=postgres dbname=vndemo_1"_s << QString() << -1 << u"postgres"_s
            << QString() << u"vndemo_1"_s << QStringList();
        QTest::newRow("other keys become requoted options")
            << u"host=h sslmode=require application_name='Vennic demo'"_s << u"h"_s << -1
            << QString() << QString() << QString()
            << QStringList{u"sslmode='require'"_s, u"application_name='Vennic demo'"_s};
        QTest::newRow("empty text")
            << QString() << QString() << -1 << QString() << QString() << QString() << QStringList();
    }
    void parses()
    {
        QFETCH(QString, conninfo);
        QString error;
        const std::optional<PgConnInfo> info = ParsePgConnInfo(conninfo, &error);
        QVERIFY2(info, qPrintable(error));
        QTEST(info->host, "host");
        QTEST(info->port, "port");
        QTEST(info->user, "user");
        QTEST(info->password, "password");
        QTEST(info->dbname, "dbname");
        QTEST(info->options, "options");
    }

    void rejects_data()
    {
        QTest::addColumn<QString>("conninfo");
        QTest::addColumn<QString>("errorContains");
        QTest::newRow("key without value") << u"host=h dbname"_s << u"dbname"_s;
        QTest::newRow("value without key") << u"host=h =x"_s << u"nyckel"_s;
        QTest::newRow("unterminated quote") << u"password='abc"_s << u"password"_s;
        QTest::newRow("port not a number") << u"port=5432x"_s << u"5432x"_s;
        QTest::newRow("port out of range") << u"port=70000"_s << u"70000"_s;
        QTest::newRow("uri") << u"postgresql://postgres@localhost/vntest"_s << u"URI"_s;
        // The driver turns semicolons of its options into blanks.
        QTest::newRow("semicolon in an option")
            << u"application_name='a;b'"_s << u"application_name"_s;
    }
    void rejects()
    {
        QFETCH(QString, conninfo);
        QFETCH(QString, errorContains);
        QString error;
        QVERIFY(!ParsePgConnInfo(conninfo, &error));
        QVERIFY2(error.contains(errorContains), qPrintable(error));
    }
};

VN_REGISTER_TEST(TstPgConnInfo)

#include "tst_pgconninfo.moc"
