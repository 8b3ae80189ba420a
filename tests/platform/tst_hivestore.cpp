#include "testrunner.h"

#include "platform/hivefile.h"
#include "platform/hivestore.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using vn::platform::Hive;

class TstHiveStore : public QObject
{
    Q_OBJECT

private slots:
    void concurrentWritersLoseNothing()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        constexpr int kWriters = 4;
        constexpr int kValuesEach = 40;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VN_REGISTRY_DIR"), dir.path());
        std::vector<std::unique_ptr<QProcess>> writers;
        for (int w = 0; w < kWriters; ++w) {
            auto process = std::make_unique<QProcess>();
            process->setProcessEnvironment(env);
            process->start(QStringLiteral(VN_HIVE_WRITER),
                           {QStringLiteral("HKCU"), QStringLiteral("w%1_").arg(w),
                            QString::number(kValuesEach)});
            writers.push_back(std::move(process));
        }
        for (auto &process : writers) {
            QVERIFY(process->waitForFinished(120000));
            QCOMPARE(process->exitStatus(), QProcess::NormalExit);
            QCOMPARE(process->exitCode(), 0);
        }
        qputenv("VN_REGISTRY_DIR", QFile::encodeName(dir.path()));
        for (int w = 0; w < kWriters; ++w) {
            for (int i = 0; i < kValuesEach; ++i) {
                const QString name = QStringLiteral("w%1_%2").arg(w).arg(i);
                QCOMPARE(vn::platform::ReadHiveValue(Hive::CurrentUser,
                                                     QStringLiteral("SOFTWARE\\Vennic\\Race"), name),
                         name);
            }
        }
        qunsetenv("VN_REGISTRY_DIR");
    }

    void fileFormatRoundTrip()
    {
        vn::platform::HiveFile hive(QStringLiteral("HKEY_LOCAL_MACHINE"));
        hive.setValue(QStringLiteral("SOFTWARE\\Vennic\\K\\ePad"), QStringLiteral("PenSize"), QStringLiteral("2"));
        hive.setValue(QStringLiteral("SOFTWARE\\Vennic\\K\\ePad"), QString(), QStringLiteral("default"));
        hive.setValue(QStringLiteral("software\\vennic\\k\\EPAD"), QStringLiteral("pensize"), QStringLiteral("5"));
        const QByteArray text = hive.serialize();
        QCOMPARE(text, QByteArray("Windows Registry Editor Version 5.00\n\n"
                                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vennic\\K\\ePad]\n"
                                  "\"PenSize\"=\"5\"\n"
                                  "@=\"default\"\n"));
        vn::platform::HiveFile reread(QStringLiteral("HKEY_LOCAL_MACHINE"));
        QVERIFY(reread.parse(text));
        QCOMPARE(reread.value(QStringLiteral("SOFTWARE\\Vennic\\K\\ePad"), QString()), u"default"_qs);
        // A section of the other hive is not this hive's.
        vn::platform::HiveFile user(QStringLiteral("HKEY_CURRENT_USER"));
        QVERIFY(user.parse(text));
        QVERIFY(!user.hasKey(QStringLiteral("SOFTWARE\\Vennic\\K\\ePad")));
    }
};

VN_REGISTER_TEST(TstHiveStore)
#include "tst_hivestore.moc"
