#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

// vnadmin demo-journal: writes the demo journal to a new SQLite file, or loads it into an
// existing PostgreSQL database.

extern const QString kDemoJournalCommand;
extern const QString kDemoJournalSynopsis;
extern const QString kDemoJournalHelp;
inline constexpr int kDemoJournalMinArguments = 1;
inline constexpr int kDemoJournalMaxArguments = 2;

// `args` are those after the command name. Returns 0 done, 1 a failure (told on `err`, an
// existing file left as it was), 2 a command line it does not understand.
int RunDemoJournalCommand(const QStringList &args, QTextStream &out, QTextStream &err);
