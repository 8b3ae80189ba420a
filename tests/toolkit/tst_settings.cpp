#include "testrunner.h"

#include "platform/hivestore.h"
#include "toolkit/settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using vn::platform::Hive;

class TstSettings : public QObject
{
    Q_OBJECT

    QTemporaryDir *m_dir = nullptr;

    QString hivePath(const char *name) const { return m_dir->filePath(QLatin1String(name)); }

    static void writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    static QString settingsPath(const QString &section)
    {
        return QStringLiteral("SOFTWARE\\Vennic\\") + InstallationKey() + section;
    }

private slots:
    void init()
    {
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
        qputenv("VN_REGISTRY_DIR", QFile::encodeName(m_dir->path()));
        SetInstallationKey(InstallationKeyFromFolder(QStringLiteral("D:\\Kiosk App\\")));
    }
    void cleanup()
    {
        qunsetenv("VN_REGISTRY_DIR");
        delete m_dir;
        m_dir = nullptr;
    }

    void installationKey_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("key");
        QTest::newRow("drive and blank") << "D:\\Kiosk App\\" << "D_Kiosk_App\\";
        QTest::newRow("program files") << "C:\\Program Files\\App\\" << "C_Program_Files_App\\";
        QTest::newRow("no trailing delimiter") << "C:\\App" << "C_App\\";
        QTest::newRow("posix folder") << "/opt/kiosk app/" << "_opt_kiosk_app\\";
    }
    void installationKey()
    {
        QFETCH(QString, folder);
        QFETCH(QString, key);
        QCOMPARE(InstallationKeyFromFolder(folder), key);
    }

    void readOrder_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("machine");
        QTest::addColumn<QString>("read");
        QTest::addColumn<QString>("readWithDefault");
        QTest::newRow("machine only") << QString() << "2" << "2" << "2";
        QTest::newRow("user wins") << "3" << "2" << "3" << "3";
        QTest::newRow("blank user value falls through") << " \t" << "2" << "2" << "2";
        QTest::newRow("blanks only") << "  " << "\r\n" << "ERROR" << "default";
        QTest::newRow("missing") << QString() << QString() << "ERROR" << "default";
        QTest::newRow("kept untrimmed") << " Onyx Blue " << QString() << " Onyx Blue "
                                        << " Onyx Blue ";
    }
    void readOrder()
    {
        QFETCH(QString, user);
        QFETCH(QString, machine);
        QFETCH(QString, read);
        QFETCH(QString, readWithDefault);
        const QString path = settingsPath(QStringLiteral("ePad"));
        if (!user.isNull())
            QVERIFY(vn::platform::WriteHiveValue(Hive::CurrentUser, path, QStringLiteral("PenSize"), user).written);
        if (!machine.isNull())
            QVERIFY(vn::platform::WriteHiveValue(Hive::LocalMachine, path, QStringLiteral("PenSize"), machine).written);
        QCOMPARE(ReadSetting(QStringLiteral("ePad"), QStringLiteral("PenSize")), read);
        QCOMPARE(ReadSettingDef(QStringLiteral("ePad"), QStringLiteral("PenSize"), QStringLiteral("default")),
                 readWithDefault);
    }

    void writeGoesToBothHivesAndNamesIgnoreCase()
    {
        WriteSetting(QStringLiteral("KlientSettings"), QStringLiteral("Style"), QStringLiteral("Onyx Blue"));
        const QString path = settingsPath(QStringLiteral("KlientSettings"));
        QCOMPARE(vn::platform::ReadHiveValue(Hive::CurrentUser, path, QStringLiteral("Style")), u"Onyx Blue"_qs);
        QCOMPARE(vn::platform::ReadHiveValue(Hive::LocalMachine, path.toUpper(), QStringLiteral("STYLE")),
                 u"Onyx Blue"_qs);
        WriteSetting(QStringLiteral("klientsettings"), QStringLiteral("style"), QStringLiteral("Windows"));
        QCOMPARE(ReadSetting(QStringLiteral("KlientSettings"), QStringLiteral("Style")), u"Windows"_qs);
        QVERIFY(LastRegistryError().isEmpty());
        // Another installation folder has settings of its own.
        SetInstallationKey(InstallationKeyFromFolder(QStringLiteral("C:\\Other\\")));
        QCOMPARE(ReadSetting(QStringLiteral("KlientSettings"), QStringLiteral("Style")), u"ERROR"_qs);
    }

    void valueLengthLimit_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("readsBack");
        QTest::newRow("511 characters") << 511 << true;
        QTest::newRow("512 characters") << 512 << false;
        QTest::newRow("2000 characters") << 2000 << false;
    }
    void valueLengthLimit()
    {
        QFETCH(int, length);
        QFETCH(bool, readsBack);
        const QString value(length, u'x');
        WriteSetting(QStringLiteral("Long"), QStringLiteral("Value"), value);
        QCOMPARE(ReadSetting(QStringLiteral("Long"), QStringLiteral("Value")),
                 readsBack ? value : QStringLiteral("ERROR"));
    }

    void refusedMachineWriteIsRecorded()
    {
        // A folder where the machine hive's file should be: no process can replace it.
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("HKLM.reg")));
        WriteSetting(QStringLiteral("ePad"), QStringLiteral("PenColor"), QStringLiteral("255"));
        QCOMPARE(ReadSetting(QStringLiteral("ePad"), QStringLiteral("PenColor")), u"255"_qs);
        QVERIFY(!LastRegistryError().isEmpty());
        QCOMPARE(vn::platform::ReadHiveValue(Hive::CurrentUser,
                                             QStringLiteral("SOFTWARE\\Vennic\\ERROR_WRITING_TO_LOCAL_MACHINE"),
                                             QStringLiteral("ErrorMsg")),
                 LastRegistryError());
    }

    void damagedHiveFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("penSize");
        const QByteArray header("Windows Registry Editor Version 5.00\n\n");
        const QByteArray key("[HKEY_CURRENT_USER\\SOFTWARE\\Vennic\\D_Kiosk_App\\ePad]\n");
        QTest::newRow("not a hive file") << QByteArray("\x00\x01garbage\xff", 11) << "ERROR";
        QTest::newRow("empty file") << QByteArray() << "ERROR";
        QTest::newRow("cut inside a value") << header + key + "\"PenColor\"=\"1\"\n\"PenSize\"=\"4" << "ERROR";
        QTest::newRow("bad escape") << header + key + "\"PenSize\"=\"4\\q\"\n" << "ERROR";
        QTest::newRow("value without key") << header + "\"PenSize\"=\"4\"\n" << "ERROR";
        QTest::newRow("intact") << header + key + "\"PenSize\"=\"4\"\n" << "4";
        QTest::newRow("windows line ends") << QByteArray(header + key + "\"PenSize\"=\"4\"\n").replace("\n", "\r\n") << "4";
    }
    void damagedHiveFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, penSize);
        writeFile(hivePath("HKCU.reg"), content);
        QCOMPARE(ReadSetting(QStringLiteral("ePad"), QStringLiteral("PenSize")), penSize);
        // Writing still works and keeps the damaged file's readable values.
        WriteSetting(QStringLiteral("ePad"), QStringLiteral("BrevDefaultClass"), QStringLiteral("{x}"));
        QCOMPARE(ReadSetting(QStringLiteral("ePad"), QStringLiteral("BrevDefaultClass")), u"{x}"_qs);
        QCOMPARE(ReadSetting(QStringLiteral("ePad"), QStringLiteral("PenSize")), penSize);
    }

    void notAHiveFileIsKeptAside()
    {
        writeFile(hivePath("HKCU.reg"), "garbage");
        WriteSetting(QStringLiteral("ePad"), QStringLiteral("PenSize"), QStringLiteral("3"));
        QFile aside(hivePath("HKCU.reg.damaged"));
        QVERIFY(aside.open(QIODevice::ReadOnly));
        QCOMPARE(aside.readAll(), QByteArray("garbage"));
    }

    void specialCharactersRoundTrip()
    {
        const QString value = QStringLiteral("\"citat\" \\ back\\slash\r\nrad två\ttab \u00e5\u00e4\u00f6 \u0001");
        WriteSetting(QStringLiteral("Hälsodeklaration"), QStringLiteral("Namn med \"citat\""), value);
        QCOMPARE(ReadSetting(QStringLiteral("Hälsodeklaration"), QStringLiteral("Namn med \"citat\"")), value);
    }

    void valueEndsAtFirstNul()
    {
        WriteSetting(QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("abc") + QChar(0) + QStringLiteral("def"));
        QCOMPARE(ReadSetting(QStringLiteral("X"), QStringLiteral("Y")), u"abc"_qs);
    }

    void iniValues_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        const QString udl = QStringLiteral(
            "[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n"
            "Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa;Initial Catalog=Journal;"
            "Data Source=SERVER\\SQLEXPRESS\r\n");
        QByteArray utf16("\xFF\xFE");
        utf16.append(reinterpret_cast<const char *>(udl.utf16()), udl.size() * 2);
        const QString expected = QStringLiteral(
            "SQLOLEDB.1;Persist Security Info=False;User ID=sa;Initial Catalog=Journal;"
            "Data Source=SERVER\\SQLEXPRESS");
        QTest::newRow("utf-16 data link") << utf16 << "oledb" << "Provider" << expected;
        QTest::newRow("section and key ignore case") << utf16 << "OLEDB" << "provider" << expected;
        QTest::newRow("absent key") << utf16 << "oledb" << "Missing" << QString();
        QTest::newRow("absent section") << utf16 << "other" << "Provider" << QString();
        QTest::newRow("8-bit text") << QByteArray("[allm\xe4nt]\nNamn = \"Tandv\xe5rd\" \n")
                                    << QStringLiteral("allmänt") << "Namn" << QStringLiteral("Tandvård");
        QTest::newRow("at most 254 characters") << QByteArray("[s]\nk=") + QByteArray(300, 'v')
                                                << "s" << "k" << QString(254, u'v');
        QTest::newRow("garbage") << QByteArray("\x00\xff\x13[", 4) << "s" << "k" << QString();
    }
    void iniValues()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const QString path = m_dir->filePath(QStringLiteral("test.udl"));
        writeFile(path, bytes);
        QCOMPARE(ReadIniValue(path, section, key), value);
        QCOMPARE(ReadIniValue(path + QStringLiteral(".missing"), section, key), QString());
    }
};

VN_REGISTER_TEST(TstSettings)
#include "tst_settings.moc"
