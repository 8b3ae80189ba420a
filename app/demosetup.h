#pragma once

#include <QString>
#include <QStringList>

// The demo: the kiosk on an embedded demo journal in a folder of the user's own, with its settings
// hives, data-link file and journal (SQLite) in that folder, so that nothing of a real
// installation is touched.

// "--demo" runs on the default demo folder, "--demo=FOLDER" on FOLDER (which wins).
inline const QString kDemoArgument = QStringLiteral("--demo");
// The folder the arguments ask for, or empty when they ask for no demo.
QString DemoFolderFromArguments(const QStringList &arguments);
// The per-user demo folder.
QString DefaultDemoFolder();

inline const QString kDemoDataLinkFile = QStringLiteral("Demojournal.udl");
inline const QString kDemoJournalFile = QStringLiteral("demojournal.sqlite");

// Points the settings hives and the common-files folder into `folder` and makes it the working
// folder; on first use creates the demo journal, the data-link file and the settings (digital
// signing on). A later run keeps what is there, the answers given included. False with `error`
// set when the folder cannot be prepared.
bool PrepareDemoFolder(const QString &folder, QString *error);
