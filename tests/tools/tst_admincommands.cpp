#include "testrunner.h"

#include "db/connectionsetup.h"
#include "toolkit/settings.h"
#include "tools/admincommands.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

namespace {

struct Run
{
    int code;
    QString out;
    QString err;
};

Run runAdmin(const QStringList &args)
{
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    const int code = RunAdminCommand(args, outStream, errStream);
    outStream.flush();
    errStream.flush();
    return {code, out, err};
}

} // namespace

class TstAdminCommands : public QObject
{
    Q_OBJECT

private slots:
    void commandLines_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("errContains");
        QTest::newRow("no command") << QStringList() << 2 << QString() << "Användning";
        QTest::newRow("unknown command") << QStringList{u"frobnicate"_qs} << 2 << QString()
                                         << "Okänt kommando";
        QTest::newRow("missing argument") << QStringList{u"encrypt-login"_qs, u"sa"_qs} << 2
                                          << QString() << "encrypt-login ANVÄNDARE LÖSENORD";
        QTest::newRow("too many arguments") << QStringList{u"decrypt"_qs, u"a"_qs, u"b"_qs} << 2
                                            << QString() << "decrypt TEXT";
        QTest::newRow("not in windows-1252")
            << QStringList{u"encrypt-login"_qs, u"sa"_qs, u"пароль"_qs} << 1 << QString()
            << "Windows-1252";
        QTest::newRow("invalid base64") << QStringList{u"decrypt"_qs, u"@@@@@@@@@@@@"_qs} << 1
                                        << QString() << "Invalid file format";
        QTest::newRow("block count 0") << QStringList{u"decrypt"_qs, u"AAAA"_qs} << 1 << QString()
                                       << "Invalid file format";
        QTest::newRow("unreadable file")
            << QStringList{u"blob-decode"_qs, u"/nonexistent/blob"_qs, u"out.rtf"_qs} << 1
            << QString() << "Kan inte läsa filen /nonexistent/blob";
        QTest::newRow("mask complete") << QStringList{u"mask-test"_qs, u"&&&"_qs, u"abc"_qs} << 0
                                       << "complete\nABC\n" << QString();
        QTest::newRow("mask autofill")
            << QStringList{u"mask-test"_qs, u"#[#][#][#][#][#]-[#][#][#][#]"_qs, u"121212"_qs} << 0
            << "complete\n121212-\n" << QString();
        QTest::newRow("mask without autofill")
            << QStringList{u"mask-test"_qs, u"{Ja,Nej}"_qs, u"j"_qs, u"--no-autofill"_qs} << 0
            << "incomplete\nJ\n" << QString();
        QTest::newRow("mask syntax") << QStringList{u"mask-test"_qs, u"[#"_qs, u"1"_qs} << 0
                                     << "syntax\n1\n" << QString();
    }
    void commandLines()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, errContains);
        const Run run = runAdmin(args);
        QCOMPARE(run.code, code);
        if (!out.isNull())
            QCOMPARE(run.out, out);
        if (!errContains.isEmpty())
            QVERIFY2(run.err.contains(errContains), qPrintable(run.err));
        else
            QCOMPARE(run.err, QString());
    }

    void everyCommandHasHelp()
    {
        for (const char *command :
             {"encrypt-login", "decrypt", "blob-decode", "blob-encode", "mask-test", "datalink", "demo-journal"}) {
            const Run run = runAdmin({QString::fromLatin1(command), u"--help"_qs});
            QCOMPARE(run.code, 0);
            QVERIFY(run.out.startsWith(u"Användning: vnadmin "_qs + QString::fromLatin1(command)));
        }
        QVERIFY(runAdmin({u"--help"_qs}).out.contains(u"blob-encode IN UT"_qs));
    }

    void loginRoundTrip()
    {
        const Run encrypted = runAdmin({u"encrypt-login"_qs, u"Åsa"_qs, u"lösen"_qs});
        QCOMPARE(encrypted.code, 0);
        const QStringList lines = encrypted.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].startsWith(u"VNUSERNAME="_qs));
        QCOMPARE(runAdmin({u"decrypt"_qs, lines[0].mid(11)}).out, u"Åsa\n"_qs);
        QCOMPARE(runAdmin({u"decrypt"_qs, lines[1].mid(11)}).out, u"lösen\n"_qs);
    }

    void blobRoundTripAndRefusals()
    {
        QTemporaryDir dir;
        const QString rtf = dir.filePath(u"in.rtf"_qs);
        const QString blob = dir.filePath(u"blob.bin"_qs);
        const QString back = dir.filePath(u"back.rtf"_qs);
        QFile file(rtf);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\\rtf1\\ansi H\\'e4lsodeklaration\\par}");
        file.close();
        QCOMPARE(runAdmin({u"blob-encode"_qs, rtf, blob}).code, 0);
        QCOMPARE(runAdmin({u"blob-decode"_qs, blob, back}).code, 0);
        QFile result(back);
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(result.readAll(), QByteArray("{\\rtf1\\ansi H\\'e4lsodeklaration\\par}"));
        // A document kept as plain RTF is written out unchanged, and said so.
        const Run plain = runAdmin({u"blob-decode"_qs, rtf, back});
        QCOMPARE(plain.code, 0);
        QVERIFY(plain.out.contains(u"RTF"_qs));
        // Not RTF: nothing to encode.
        QCOMPARE(runAdmin({u"blob-encode"_qs, blob, back}).code, 1);
        QCOMPARE(runAdmin({u"blob-encode"_qs, rtf, dir.filePath(u"no/such/folder/x"_qs)}).code, 1);
    }

    // What the tool writes is what the connection set-up reads.
    void datalinkReadByTheConnectionSetup_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("connectionString");
        QTest::newRow("sql server login")
            << QStringList{u"--provider"_qs, u"SQLOLEDB.1"_qs, u"--server"_qs, u"SRV\\SQLEXPRESS"_qs,
                           u"--database"_qs, u"Journal"_qs, u"--user"_qs, u"sa"_qs, u"--password"_qs, u"hemligt"_qs}
            << u"Provider=SQLOLEDB.1;Password=hemligt;Persist Security Info=True;User ID=sa;"
               "Initial Catalog=Journal;Data Source=SRV\\SQLEXPRESS"_qs;
        QTest::newRow("integrated")
            << QStringList{u"--provider"_qs, u"MSOLEDBSQL"_qs, u"--server"_qs, u"srv,1433"_qs,
                           u"--database"_qs, u"Journal"_qs, u"--integrated"_qs}
            << u"Provider=MSOLEDBSQL;Integrated Security=SSPI;Persist Security Info=False;"
               "Initial Catalog=Journal;Data Source=srv,1433"_qs;
    }
    void datalinkReadByTheConnectionSetup()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, connectionString);
        QTemporaryDir dir;
        const QString file = dir.filePath(u"journal.udl"_qs);
        const Run run = runAdmin(QStringList{u"datalink"_qs, u"write"_qs, file} + options);
        QCOMPARE(run.code, 0);
        qputenv("VN_REGISTRY_DIR", QFile::encodeName(dir.path()));
        WriteSetting(u"DataProvider"_qs, u"DefaultDataProvider"_qs, file);
        LoadDefaultDataProvider();
        qunsetenv("VN_REGISTRY_DIR");
        QCOMPARE(Toolkit().ConnectionString, connectionString);
    }

    void datalinkRefusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::newRow("no server") << QStringList{u"datalink"_qs, u"write"_qs, u"x.udl"_qs, u"--provider"_qs, u"SQLite"_qs} << 2;
        QTest::newRow("integrated with password")
            << QStringList{u"datalink"_qs, u"write"_qs, u"x.udl"_qs, u"--provider"_qs, u"P"_qs, u"--server"_qs,
                           u"S"_qs, u"--integrated"_qs, u"--password"_qs, u"p"_qs} << 2;
        QTest::newRow("semicolon in a value")
            << QStringList{u"datalink"_qs, u"write"_qs, u"x.udl"_qs, u"--provider"_qs, u"P"_qs, u"--server"_qs,
                           u"S;Password=x"_qs} << 1;
        QTest::newRow("unknown option") << QStringList{u"datalink"_qs, u"write"_qs, u"x.udl"_qs, u"--port"_qs, u"1"_qs} << 2;
        QTest::newRow("not write") << QStringList{u"datalink"_qs, u"read"_qs, u"x.udl"_qs} << 2;
    }
    void datalinkRefusals()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        const Run run = runAdmin(args);
        QCOMPARE(run.code, code);
        QVERIFY(!run.err.isEmpty());
        QVERIFY(!QFile::exists(u"x.udl"_qs));
    }
};

VN_REGISTER_TEST(TstAdminCommands)
#include "tst_admincommands.moc"
