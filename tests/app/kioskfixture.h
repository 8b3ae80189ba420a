#pragma once

#include "dbtestutil.h"
#include "dialogrecorder.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <memory>

class TfrmHalsoDekMain;

// One kiosk workstation for a test: its own settings hives, data-link folder and per-user data
// folder, a scratch journal loaded with the demo data, a data-link file chosen in the settings,
// recorded dialogs and exits, and the search pause shortened.
class KioskFixture
{
public:
    explicit KioskFixture(dbtest::Backend backend = dbtest::Backend::Sqlite);
    ~KioskFixture();
    KioskFixture(const KioskFixture &) = delete;
    KioskFixture &operator=(const KioskFixture &) = delete;

    // Why the journal could not be made (no PostgreSQL server named); empty when ready.
    QString unavailable() const { return m_db.unavailable(); }
    dbtest::ScratchDatabase &db() { return m_db; }

    // A main window as the program creates it.
    std::unique_ptr<TfrmHalsoDekMain> makeWindow();
    // Points the chosen data-link file at another init string.
    void writeDataLink(const QString &initString);

    DialogRecorder dialogs;
    // Exit codes the program asked for.
    QList<int> exitCodes;

private:
    QTemporaryDir m_dir;
    dbtest::ScratchDatabase m_db;
    dbtest::ScopedEnvironmentVariable m_registryDir;
    dbtest::ScopedEnvironmentVariable m_commonFilesDir;
    // The main window's start-up creates the suite folder there.
    dbtest::ScopedEnvironmentVariable m_dataHome;
};

// Skips the test when the journal cannot be made.
#define KIOSK_FIXTURE(name, backend)                                                               \
    KioskFixture name(backend);                                                                    \
    if (!name.unavailable().isEmpty())                                                             \
        QSKIP(qPrintable(name.unavailable()));
