#pragma once

#include <QObject>
#include <QString>

class TVNAdoQuery;
class TVNConnection;

// The queries of the journal tables that the questionnaire, the identification and the saving
// use, with their statements, connections, masters and cursor kinds, in one place.
class JournalQueries final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(JournalQueries)

public:
    // The queries are children of this object. `database1` serves the declaration work,
    // `lopnrDatabase` the counters.
    JournalQueries(TVNConnection *database1, TVNConnection *lopnrDatabase,
                   QObject *parent = nullptr);

    TVNAdoQuery *QKUNDER;               // param personnr: at most 15 characters
    TVNAdoQuery *PATREG;                // master QKUNDER
    TVNAdoQuery *QPATHALSODEK;          // master QKUNDER
    TVNAdoQuery *QPATHALSODEKVALUES;    // master QPATHALSODEK
    TVNAdoQuery *QHALSOJOURNALER;       // master QPATHALSODEK
    TVNAdoQuery *QHALSOJOURNALERLOOKUP; // no master
    TVNAdoQuery *QHALSOGRUPPER;         // master QHALSOJOURNALER
    TVNAdoQuery *QHALSOVALUES;          // master QHALSOGRUPPER
    TVNAdoQuery *lopnrQuery;            // on lopnrDatabase: NextSequenceNumber
    TVNAdoQuery *IniData;               // on lopnrDatabase: ReadCounterValue
};

// The answer-list statements: built from the list number alone, so they carry no user text.
QString AnswerListStatement(int listNumber);
QString ListAnswersStatement(int listNumber);
