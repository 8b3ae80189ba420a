// Draws numbers from a counter as one workstation does: its own two connections, the counter
// query on the counter connection, the production pause between attempts.
//   counterdraw INIT_STRING COUNT [TABLENAME FIELDNAME]
// Prints one line per draw: the number and the attempts it took.

#include "db/databaseerror.h"
#include "db/vnadoquery.h"
#include "db/vnconnection.h"
#include "questionnaire/counters.h"
#include "questionnaire/journalqueries.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        QTextStream(stderr) << "usage: counterdraw INIT_STRING COUNT [TABLENAME FIELDNAME]\n";
        return 2;
    }
    const int count = args.at(2).toInt();
    const QString table = args.size() > 4 ? args.at(3) : QStringLiteral("PATHALSODEK");
    const QString field = args.size() > 4 ? args.at(4) : QStringLiteral("LOPNR");
    TVNConnection database1;
    TVNConnection lopnrDatabase;
    try {
        database1.Open(args.at(1));
        lopnrDatabase.Open(args.at(1));
    } catch (const DatabaseError &error) {
        QTextStream(stderr) << error.message() << '\n';
        return 1;
    }
    JournalQueries queries(&database1, &lopnrDatabase);
    QTextStream out(stdout);
    for (int i = 0; i < count; ++i) {
        int attempts = 0;
        const int number = NextSequenceNumber(*queries.lopnrQuery, table, field, &attempts);
        out << number << ' ' << attempts << '\n';
        out.flush();
    }
    return 0;
}
