#include "testrunner.h"

#include "db/connectionsetup.h"
#include "db/databaseerror.h"
#include "db/datalinkfile.h"
#include "db/vnconnection.h"
#include "db/udataproviders.h"
#include "toolkit/cipherkeys.h"
#include "toolkit/dialogs.h"
#include "toolkit/settings.h"
#include "toolkit/textcipher.h"

#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

class RecordingPresenter final : public DialogPresenter
{
public:
    explicit RecordingPresenter(QStringList *texts, int answer = mrYes) : m_texts(texts), m_answer(answer) {}
    int showMessage(DialogKind, const QString &, const QString &text) override
    {
        m_texts->append(text);
        return m_answer;
    }
    void showBalloonHint(const QString &, const QString &, QWidget *) override {}

private:
    QStringList *m_texts;
    int m_answer;
};

// Runs `action` on the next modal dialog once it shows.
template <typename Dialog, typename Action>
void onNextModal(QObject *context, Action action)
{
    QTimer::singleShot(0, context, [context, action] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            onNextModal<Dialog>(context, action);
            return;
        }
        action(dialog);
    });
}

} // namespace

class TstConnectionSetup : public QObject
{
    Q_OBJECT

    QTemporaryDir *m_dir = nullptr;
    QStringList m_dialogs;
    TextCipher m_cipher{CredentialKey()};

    QString linksFolder() const { return Toolkit().DataLinksFolder; }

    void writeLink(const QString &name, const QString &initString)
    {
        QDir().mkpath(linksFolder());
        QVERIFY(WriteDataLinkFile(linksFolder() + name, initString));
    }

private slots:
    void init()
    {
        m_dir = new QTemporaryDir;
        qputenv("VN_REGISTRY_DIR", QFile::encodeName(m_dir->filePath(QStringLiteral("registry"))));
        qputenv("VN_COMMON_FILES_DIR", QFile::encodeName(m_dir->filePath(QStringLiteral("common"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir->filePath(QStringLiteral("data"))));
        Toolkit() = ToolkitGlobals();
        QVERIFY(ResolveStartupPaths({}));
        m_dialogs.clear();
        SetDialogPresenter(std::make_unique<RecordingPresenter>(&m_dialogs));
        SetCredentialCipher(&m_cipher);
    }
    void cleanup()
    {
        SetDialogPresenter(nullptr);
        SetCredentialCipher(nullptr);
        qunsetenv("VN_REGISTRY_DIR");
        qunsetenv("VN_COMMON_FILES_DIR");
        qunsetenv("XDG_DATA_HOME");
        delete m_dir;
    }

    void startupPaths()
    {
        const ToolkitGlobals &g = Toolkit();
        QVERIFY(g.StartFolder.endsWith(QDir::separator()));
        QCOMPARE(InstallationKey(), InstallationKeyFromFolder(g.StartFolder));
        QCOMPARE(g.DataLinksFolder, QDir::toNativeSeparators(m_dir->filePath(
                                        QStringLiteral("common/System/Ole DB/Data Links/"))));
        QCOMPARE(g.SuiteFolder, QDir::toNativeSeparators(m_dir->filePath(
                                    QStringLiteral("data/Vennic/Vennic Suite/"))));
        QVERIFY(QFileInfo(g.SuiteFolder).isDir());
        QVERIFY(g.ConnectionString.isEmpty());
    }

    void getConnectionValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("middle") << "a=1;b=2" << "b=" << "2";
        QTest::newRow("absent") << "a=1;b=2" << "c=" << "";
        QTest::newRow("first of two") << "b=1;b=2" << "b=" << "1";
        QTest::newRow("case matters") << "User ID=sa" << "USER ID=" << "";
        QTest::newRow("to the end") << "x;Data Source=srv\\inst" << "Data Source=" << "srv\\inst";
    }
    void getConnectionValue()
    {
        QFETCH(QString, text);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QCOMPARE(GetConnectionValue(text, key, QStringLiteral(";")), value);
    }

    void setConnectionValue_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("after");
        QTest::newRow("replaced in place") << "Provider=P;Password=;User ID=x;Data Source=S"
                                           << "Password=" << "pw"
                                           << "Provider=P;Password=pw;User ID=x;Data Source=S";
        QTest::newRow("last key") << "Provider=P;Data Source=S" << "Data Source=" << "T"
                                  << "Provider=P;Data Source=T";
        QTest::newRow("appended") << "Provider=P" << "Password=" << "pw" << "Provider=P;Password=pw";
        QTest::newRow("empty value not appended") << "Provider=P" << "Password=" << ""
                                                  << "Provider=P";
        QTest::newRow("emptied") << "Provider=P;Password=x;A=1" << "Password=" << ""
                                 << "Provider=P;Password=;A=1";
    }
    void setConnectionValue()
    {
        QFETCH(QString, before);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, after);
        Toolkit().ConnectionString = before;
        SetConnectionValue(key, value);
        QCOMPARE(Toolkit().ConnectionString, after);
    }

    void dataLinkFileBytes()
    {
        const QByteArray bytes = DataLinkFileBytes(QStringLiteral("Provider=SQLOLEDB.1;Data Source=å"));
        QVERIFY(bytes.startsWith("\xFF\xFE[\0o\0l\0e\0d\0b\0]\0\r\0\n\0"));
        QVERIFY(bytes.endsWith(QByteArray("\xE5\0\r\0\n\0", 6)));
        const DataLinkSettings settings{QStringLiteral("SQLOLEDB.1"), QStringLiteral("SRV\\SQL"),
                                        QStringLiteral("Journal"), QStringLiteral("sa"),
                                        QStringLiteral("pw"), false};
        QCOMPARE(BuildInitString(settings),
                 u"Provider=SQLOLEDB.1;Password=pw;Persist Security Info=True;User ID=sa;"
                 "Initial Catalog=Journal;Data Source=SRV\\SQL"_qs);
        const DataLinkSettings parsed = DataLinkSettingsOf(BuildInitString(settings));
        QCOMPARE(parsed.server, settings.server);
        QCOMPARE(parsed.password, settings.password);
        QVERIFY(DataLinkSettingsOf(BuildInitString({u"SQLOLEDB.1"_qs, u"S"_qs, u"D"_qs, {}, {}, true}))
                    .integratedSecurity);
    }

    void integratedSecurityKeepsTheString()
    {
        const QString init = QStringLiteral("SQLOLEDB.1;Integrated Security=SSPI;Persist Security "
                                            "Info=False;Initial Catalog=Journal;Data Source=SRV");
        writeLink(QStringLiteral("journal.udl"), QStringLiteral("Provider=") + init);
        WriteSetting(QStringLiteral("DataProvider"), QStringLiteral("DefaultDataProvider"), QStringLiteral("journal.udl"));
        LoadDefaultDataProvider();
        QCOMPARE(Toolkit().ConnectionString, QStringLiteral("Provider=") + init);
        QVERIFY(PrepareConnection(QString(), QString()));
        QCOMPARE(Toolkit().ConnectionString, QStringLiteral("Provider=") + init);
        QCOMPARE(Toolkit().DbConnection.ServerName, u"SRV"_qs);
        QCOMPARE(Toolkit().DbConnection.Databasename, u"Journal"_qs);
        QVERIFY(m_dialogs.isEmpty());
    }

    void loginInTheFileIsKept()
    {
        writeLink(QStringLiteral("journal.udl"),
                  QStringLiteral("Provider=SQLOLEDB.1;Password=pw;Persist Security Info=False;"
                                 "User ID=sa;Initial Catalog=Journal;Data Source=SRV"));
        WriteSetting(QStringLiteral("DataProvider"), QStringLiteral("DefaultDataProvider"),
                     linksFolder() + QStringLiteral("journal.udl"));
        LoadDefaultDataProvider();
        QVERIFY(PrepareConnection(QString(), QString()));
        QCOMPARE(Toolkit().ConnectionString,
                 u"Provider=SQLOLEDB.1;Password=pw;Persist Security Info=True;User ID=sa;"
                 "Initial Catalog=Journal;Data Source=SRV"_qs);
    }

    // The login comes from VENNICUSER of the database itself, and goes into the string in place.
    void loginFromTheLoginTable()
    {
        const QString file = m_dir->filePath(QStringLiteral("journal.sqlite"));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("setup"));
            db.setDatabaseName(file);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("CREATE TABLE VENNICUSER (VNUSERNAME VARCHAR(100), VNPASSWORD VARCHAR(100))")));
            QVERIFY(q.prepare(QStringLiteral("INSERT INTO VENNICUSER VALUES (?, ?)")));
            q.addBindValue(QString::fromLatin1(m_cipher.EncryptString("klinik")));
            q.addBindValue(QString::fromLatin1(m_cipher.EncryptString("h\xe4mlig")));
            QVERIFY(q.exec());
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("setup"));
        writeLink(QStringLiteral("demo.udl"), QStringLiteral("Provider=SQLite;Password=;User ID=x;Data Source=") + file);
        WriteSetting(QStringLiteral("DataProvider"), QStringLiteral("DefaultDataProvider"), QStringLiteral("demo.udl"));
        LoadDefaultDataProvider();
        QVERIFY(PrepareConnection(QString(), QString()));
        QCOMPARE(Toolkit().ConnectionString,
                 u"Provider=SQLite;Password=hämlig;User ID=klinik;Data Source="_qs + file
                     + u";Persist Security Info=True"_qs);
        QVERIFY(m_dialogs.isEmpty());
    }

    void unreadableLoginTableGivesTheFallback()
    {
        const QString file = m_dir->filePath(QStringLiteral("empty.sqlite"));
        writeLink(QStringLiteral("demo.udl"), QStringLiteral("Provider=SQLite;Data Source=") + file);
        WriteSetting(QStringLiteral("DataProvider"), QStringLiteral("DefaultDataProvider"), QStringLiteral("demo.udl"));
        LoadDefaultDataProvider();
        QVERIFY(PrepareConnection(QString(), QString()));
        QCOMPARE(Toolkit().DbConnection.Username, kFallbackUser);
        QCOMPARE(Toolkit().DbConnection.Password, kFallbackPassword);
        QVERIFY(m_dialogs.isEmpty());
    }

    void singleDataLinkFileIsTakenAndRemembered()
    {
        writeLink(QStringLiteral("only.udl"), QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Data Source=S"));
        LoadDefaultDataProvider();
        QVERIFY(Toolkit().ConnectionString.isEmpty());
        QVERIFY(PrepareConnection(QString(), QString()));
        QCOMPARE(Toolkit().DataProviderFile, linksFolder() + QStringLiteral("only.udl"));
        QCOMPARE(ReadSetting(QStringLiteral("DataProvider"), QStringLiteral("DefaultDataProvider")),
                 linksFolder() + QStringLiteral("only.udl"));
        QVERIFY(m_dialogs.isEmpty());
    }

    void noDataLinkFileAsksForOne()
    {
        writeLink(QStringLiteral("a.udl"), QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Data Source=A"));
        writeLink(QStringLiteral("b.udl"), QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Data Source=B"));
        LoadDefaultDataProvider();
        onNextModal<TfrmDataProviders>(this, [](TfrmDataProviders *dialog) {
            const auto items = dialog->ListBox1->findItems(QStringLiteral("b.udl"), Qt::MatchExactly);
            QCOMPARE(items.size(), 1);
            dialog->ListBox1->setCurrentItem(items.first());
            dialog->OkButton->click();
        });
        QVERIFY(PrepareConnection(QString(), QString()));
        QCOMPARE(m_dialogs.size(), 1);
        QCOMPARE(m_dialogs.first(),
                 u"Kunde inte hitta den angivna DataProvider-filen \""_qs + linksFolder() + u"ERROR"_qs
                     + u"\"!\rKontrollera att filen finns i den aktuella katalogen och försök igen!"
                       "\r\rVälj databasanslutning i nästa dialog"_qs);
        QCOMPARE(Toolkit().DbConnection.ServerName, u"B"_qs);
        // OK picks a file but does not make it the default.
        QCOMPARE(ReadSetting(QStringLiteral("DataProvider"), QStringLiteral("DefaultDataProvider")), u"ERROR"_qs);
    }

    void badDataLinkFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("failure");
        const QString unknown = QStringLiteral("Okänd databasleverantör");
        QTest::newRow("empty") << QByteArray() << unknown;
        QTest::newRow("utf-8 instead of utf-16")
            << QByteArray("[oledb]\r\nProvider=SQLite;Data Source=/nonexistent/j.sqlite\r\n")
            << QStringLiteral("finns inte");
        QTest::newRow("truncated")
            << DataLinkFileBytes(QStringLiteral("Provider=SQLOLEDB.1;Data Source=S")).left(21) << unknown;
        QTest::newRow("no oledb section")
            << DataLinkFileBytes(QStringLiteral("Provider=SQLite")).replace("o\0l\0e\0d\0b\0", "a\0b\0c\0d\0e\0")
            << unknown;
        QTest::newRow("unknown provider")
            << DataLinkFileBytes(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=j.mdb"))
            << QStringLiteral("Okänd databasleverantör \"Microsoft.Jet.OLEDB.4.0\"");
        QTest::newRow("garbage") << QByteArray("\xFF\xFE\x00\xD8\x00\xD8", 6) << unknown;
    }
    void badDataLinkFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, failure);
        QDir().mkpath(linksFolder());
        QFile file(linksFolder() + QStringLiteral("bad.udl"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        WriteSetting(QStringLiteral("DataProvider"), QStringLiteral("DefaultDataProvider"), QStringLiteral("bad.udl"));
        LoadDefaultDataProvider();
        // Whatever the file holds, preparing gives a connection string without a crash; what
        // cannot be connected to is told by the connecting, in the connection message.
        QVERIFY(PrepareConnection(QString(), QString()));
        QVERIFY(Toolkit().ConnectionString.startsWith(u"Provider="_qs));
        TVNConnection connection;
        try {
            connection.Open(Toolkit().ConnectionString);
            QFAIL("a bad data-link file must not connect");
        } catch (const DatabaseError &error) {
            ShowNotice(ConnectionFailureText(error.message()));
        }
        QVERIFY(m_dialogs.last().startsWith(u"Det gick inte att ansluta till databasen "_qs));
        QVERIFY2(m_dialogs.last().contains(failure), qPrintable(m_dialogs.last()));
    }

    void findFilesRecurses()
    {
        const QString root = m_dir->filePath(QStringLiteral("links"));
        QDir().mkpath(root + QStringLiteral("/sub/deeper"));
        for (const char *name : {"/a.udl", "/sub/b.UDL", "/sub/deeper/c.udl", "/sub/not.txt"}) {
            QFile f(root + QLatin1String(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QStringList found = FindFiles(root + QDir::separator(), QStringLiteral("*.udl"));
        found.sort();
        QCOMPARE(found, QStringList({QDir::toNativeSeparators(root + QStringLiteral("/a.udl")),
                                     QDir::toNativeSeparators(root + QStringLiteral("/sub/b.UDL")),
                                     QDir::toNativeSeparators(root + QStringLiteral("/sub/deeper/c.udl"))}));
    }

    void dataProviderDialog()
    {
        writeLink(QStringLiteral("a.udl"), QStringLiteral("Provider=SQLOLEDB.1;Data Source=A"));
        writeLink(QStringLiteral("b.udl"), QStringLiteral("Provider=SQLOLEDB.1;Data Source=B"));
        // A default named by a full path in another folder marks the file of the same name.
        WriteSetting(QStringLiteral("DataProvider"), QStringLiteral("DefaultDataProvider"),
                     QStringLiteral("C:\\Gammal\\B.UDL"));
        TfrmDataProviders dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.selectedFileName(), u"b.udl"_qs);

        dialog.RefreshList(QString());
        QVERIFY(dialog.selectedFileName().isEmpty());
        for (QPushButton *needsSelection : {dialog.OkButton, dialog.DefaultButton, dialog.DeleteButton, dialog.EditButton}) {
            needsSelection->click();
            QCOMPARE(m_dialogs.takeLast(), u"Välj en DataProvider först!"_qs);
        }
        QVERIFY(dialog.isVisible());

        dialog.RefreshList(QStringLiteral("A.UDL"));
        dialog.DefaultButton->click();
        QCOMPARE(ReadSetting(QStringLiteral("DataProvider"), QStringLiteral("DefaultDataProvider")), u"a.udl"_qs);

        dialog.DeleteButton->click();
        QCOMPARE(m_dialogs.takeLast(), u"Radera DataProvider-filen a.udl"_qs);
        QVERIFY(!QFile::exists(linksFolder() + QStringLiteral("a.udl")));
        QVERIFY(dialog.selectedFileName().isEmpty());
        QCOMPARE(dialog.ListBox1->count(), 1);
    }

    void addingEmptiesAnExistingFileAndRefusesPaths()
    {
        writeLink(QStringLiteral("a.udl"), QStringLiteral("Provider=SQLOLEDB.1;Data Source=A"));
        TfrmDataProviders dialog;
        dialog.show();
        onNextModal<QInputDialog>(this, [](QInputDialog *input) {
            QCOMPARE(input->windowTitle(), u"Ny DataProvider"_qs);
            QCOMPARE(input->labelText(), u"DataProviderns namn:"_qs);
            input->setTextValue(QStringLiteral("a"));
            input->accept();
        });
        dialog.AddButton->click();
        QCOMPARE(QFileInfo(linksFolder() + QStringLiteral("a.udl")).size(), 0);
        QCOMPARE(dialog.selectedFileName(), u"a.udl"_qs);
        if (QWidget *editor = QApplication::activeModalWidget())
            editor->close();

        onNextModal<QInputDialog>(this, [](QInputDialog *input) {
            input->setTextValue(QStringLiteral("../../utanför"));
            input->accept();
        });
        dialog.AddButton->click();
        QVERIFY(m_dialogs.last().contains(u"kan inte användas som filnamn"_qs));
        QVERIFY(!QFile::exists(linksFolder() + QStringLiteral("../../utanför.udl")));
    }

    // The SQL Server path through a real ODBC driver, to an address where nothing listens.
    void sqlServerFailureReachesTheUser()
    {
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")))
            QSKIP("the Qt ODBC driver is not installed");
        QFile odbcDrivers(QStringLiteral("/etc/odbcinst.ini"));
        if (!odbcDrivers.open(QIODevice::ReadOnly) || !odbcDrivers.readAll().contains("[FreeTDS]"))
            QSKIP("the FreeTDS ODBC driver is not registered");
        WriteSetting(QStringLiteral("DataProvider"), QStringLiteral("OdbcDriver"), QStringLiteral("FreeTDS"));
        Toolkit().ConnectionString = QStringLiteral(
            "Provider=SQLOLEDB.1;Password=pw;Persist Security Info=True;User ID=sa;"
            "Initial Catalog=Journal;Data Source=127.0.0.1,1");
        QVERIFY(PrepareConnection(QString(), QString()));
        TVNConnection connection;
        QString failure;
        try {
            connection.Open(Toolkit().ConnectionString);
        } catch (const DatabaseError &error) {
            failure = error.message();
        }
        QVERIFY2(!failure.isEmpty(), "connecting to a port where nothing listens must fail");
        QVERIFY(!connection.Connected());
        ShowNotice(ConnectionFailureText(failure));
        QCOMPARE(m_dialogs.size(), 1);
        QCOMPARE(m_dialogs.first(),
                 u"Det gick inte att ansluta till databasen 127.0.0.1,1: Journal med användarnamnet sa\r\r"_qs
                     + failure);
    }
};

VN_REGISTER_TEST(TstConnectionSetup)
#include "tst_connectionsetup.moc"
