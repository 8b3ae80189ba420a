#pragma once

#include "dbtestutil.h"
#include "dialogrecorder.h"
#include "questionnaire/questionnairepage.h"
#include "toolkit/dialogs.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>
#include <optional>

class JournalQueries;
class QLabel;
class QScrollArea;
class QWidget;
class TBettFysPanel;
class TVNAdoQuery;
class TVNConnection;

// One questionnaire page for a test: a scratch journal (the demo journal, or only the schema to
// fill with a small questionnaire of the test's own), the two connections and the journal
// queries, a shown window with the scroll box, the labels, the cover and the save button,
// recorded dialogs and signatures, its own settings hives, and the pauses shortened.
class PageFixture
{
public:
    explicit PageFixture(dbtest::Backend backend, bool demoJournal = true);
    ~PageFixture();
    PageFixture(const PageFixture &) = delete;
    PageFixture &operator=(const PageFixture &) = delete;

    // Why the journal could not be made (no PostgreSQL server named); empty when ready.
    QString unavailable() const { return m_db.unavailable(); }
    dbtest::ScratchDatabase &db() { return m_db; }

    TQuestionnairePage &page() { return *m_page; }
    JournalQueries &queries() { return *m_queries; }
    TVNConnection &database1() { return *m_database1; }
    QWidget *window() const { return m_window.get(); }
    QScrollArea *scrollBox() const { return m_scrollBox; }
    QLabel *label2() const { return m_label2; }
    QWidget *saveButton() const { return m_saveButton; }

    // Identifies the patient as the search does (QKUNDER on the patient's row) and opens the
    // questionnaire page with that standard questionnaire.
    void open(int patientnr, int standard);

    // The row of a question, or null.
    TBettFysPanel *row(int gruppLopnr, int valueLopnr) const;
    // The owner (first row) of the container that holds `row`, or of the group at a build index.
    static TBettFysPanel *ownerOf(const TBettFysPanel *row);
    TBettFysPanel *owner(int groupIndex) const;
    QList<TBettFysPanel *> rows() const;

    void writeSetting(const QString &section, const QString &name, const QString &value);

    // A small questionnaire of the test's own, written with the admin connection.
    struct ListSpec
    {
        int lopnr = 0;
        int style = 2;
        std::optional<int> defaultAnswer{};
        QList<std::pair<int, QString>> answers{}; // LOPNR, DROPDOWNTEXT; all active
        QString mask{};
    };
    struct GroupSpec
    {
        int grupp = 0;
        int halsonr = 0;
        int index = 10;
        QString namn{};
        bool switchQuestion = false;
        std::optional<int> switchLopnr{};   // COL1CBOXACTION
        std::optional<int> openingAnswer{}; // COL2CBOXACTION
        QString visible = QStringLiteral("T");
        int antalCol = 1;
        QString col1Text{};
        QString col2Text{};
    };
    struct QuestionSpec
    {
        int lopnr = 0;
        int grupp = 0;
        int index = 10;
        QString text{};
        int col1Lookup = 0; // 0: free text
        int col2Lookup = 0;
        int antalCol = 1;
    };
    void addQuestionnaire(int halsonr);
    void addList(const ListSpec &list);
    void addGroup(const GroupSpec &group);
    void addQuestion(const QuestionSpec &question);
    // An unsigned declaration with its answers: (GRUPPLOPNR, VALUELOPNR, COL1VALUE, COL2VALUE).
    struct AnswerSpec
    {
        int grupp;
        int value;
        QString col1;
        QString col2;
    };
    void addDeclaration(int lopnr, int patientnr, int halsonr, const QList<AnswerSpec> &answers);
    // A registered patient of the test's own (for the schema-only journal).
    void addPatient(int patientnr, const QString &personnr, int registration);
    void setCounter(const QString &table, const QString &field, int value);

    // Committed rows, seen from another connection than the program's.
    int count(const QString &sqlCondition,
              const QString &table = QStringLiteral("PATHALSODEKVALUES"));
    QVariant scalar(const QString &sql) { return m_db.scalar(sql); }

    DialogRecorder dialogs;

    // Signatures asked for, and what the pad gives back.
    QList<SignRequest> signRequests;
    bool signSucceeds = false;
    QByteArray signedRtf = QByteArrayLiteral("{\\rtf1\\ansi signerad}");

private:
    QTemporaryDir m_dir;
    dbtest::ScratchDatabase m_db;
    dbtest::ScopedEnvironmentVariable m_registryDir;
    QString m_oldInstallationKey;
    SignFunction m_oldSign;
    std::unique_ptr<TVNConnection> m_database1;
    std::unique_ptr<TVNConnection> m_lopnrDatabase;
    std::unique_ptr<TVNAdoQuery> m_sharedQuery;
    std::unique_ptr<JournalQueries> m_queries;
    std::unique_ptr<QWidget> m_window;
    QScrollArea *m_scrollBox = nullptr;
    QLabel *m_label2 = nullptr;
    QWidget *m_saveButton = nullptr;
    std::unique_ptr<TQuestionnairePage> m_page;
};

// Skips the test when the journal cannot be made.
#define PAGE_FIXTURE(name, ...)                                                                    \
    PageFixture name(__VA_ARGS__);                                                                 \
    if (!name.unavailable().isEmpty())                                                             \
        QSKIP(qPrintable(name.unavailable()));
