#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>

class JournalQueries;
class QLabel;
class QScrollArea;
class QWidget;
class TAnswerBox;
class TBettFysPanel;
class TFlowPanel;
class TVNAdoQuery;
class TVNConnection;

// The parts of the main window that the questionnaire fills and reports on.
struct QuestionnaireWidgets
{
    QScrollArea *ScrollBoxBettfys = nullptr; // vertical scrolling only
    QWidget *Panel4 = nullptr;               // owns the group containers, in build order
    QWidget *Panel1 = nullptr;               // the cover shown while the page builds
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;        // the message line of the top bar
    QWidget *SpeedButton2 = nullptr; // save
};

// What the signature of a declaration needs. `placeholder` is the document's whole text before
// signing: "%patdigisign%" when the patient signs, "%patmaldigisign%" when the guardian does.
struct SignRequest
{
    QString placeholder;
    QString patientName; // F_RNAMN, a blank, EFTERNAMN
    QString btext;       // BTEXT of the patient row
    QString malsman2;    // MALSMAN2 of the patient row
};
// Signs the declaration's document; true with the signed document's RTF in `rtf`. The signature
// is wired in by the program; until then no declaration is signed.
using SignFunction = std::function<bool(const SignRequest &request, QByteArray *rtf)>;
SignFunction SetSignDeclaration(SignFunction sign);
bool SignDeclaration(const SignRequest &request, QByteArray *rtf);

// A yes/no setting as the settings store holds it: "TRUE"/"FALSE" in any case, or the numbers
// "1", "0" and "-1"; anything else is no.
bool SettingIsTrue(const QString &value);

// The questionnaire page: opens the identified patient's declaration, builds its question rows
// from the journal with the earlier answers, tracks changes, and saves.
class TQuestionnairePage final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TQuestionnairePage)

public:
    // The pause after writing the answers, so that the patient sees the save happen. Tests
    // shorten it; production never does.
    static constexpr std::chrono::milliseconds kSavePause{2000};
    static void SetSavePause(std::chrono::milliseconds pause);
    static std::chrono::milliseconds SavePause();

    // The number of column containers of the page.
    static constexpr int kColumns = 1;
    // A row's height for a screen of this size: 45 pixels on a 1366 x 768 landscape or a
    // 768 x 1366 portrait screen, in proportion to the width otherwise.
    static int QuestionPanelHeight(const QSize &screen);

    // Line texts of the opening and the saving.
    static inline const QString kNotRegisteredText =
        QStringLiteral("Patienten är inte registrerad! Kontakta personalen på kliniken.");
    static inline const QString kNoDeclarationText =
        QStringLiteral("Det gick inte att skapa en ny hälsodeklaration! Kontakta personalen på "
                       "kliniken.");
    static inline const QString kNotOpenedText =
        QStringLiteral("Hälsodeklarationen kunde inte öppnas! Kontakta personalen på kliniken.");
    static inline const QString kSavingText = QStringLiteral("Sparar Hälsodeklarationen, vänta...");
    static inline const QString kNotSavedText =
        QStringLiteral("Hälsodeklarationen sparades inte! Kontakta personalen på kliniken.");
    static inline const QString kSavedText =
        QStringLiteral("Hälsodeklarationen sparad.\rFortsätt fylla i och spara igen, eller tryck "
                       "på röda krysset för att återgå.");

    // The queries are the main window's, on `database1`; QKUNDER stands on the identified
    // patient when PageControl1Change runs.
    TQuestionnairePage(const QuestionnaireWidgets &widgets, TVNConnection *database1,
                       JournalQueries *queries, QObject *parent = nullptr);
    ~TQuestionnairePage() override;

    // Answers changed since the page was opened or last saved.
    bool FModified = false;
    // Set while the page builds or re-lays itself out: switch answers then do not open groups.
    bool FUpdating = false;
    // The age from which the patient signs personally; -1 until first read.
    int FHalsoSignYear = -1;

    // Opens the declaration to fill in (the last unsigned one, or a new one of the standard
    // questionnaire) and builds the page.
    void PageControl1Change(int standardhalsodeklaration);
    void BuildQuestionnaire(const std::function<void(TBettFysPanel *row)> &changeHandler);
    TBettFysPanel *CreateQuestionPanel(TFlowPanel *container, const QString &text, int antalCombos,
                                       bool visible);
    void FillAnswerComboBox(TAnswerBox *box, int listNumber);
    // Frees every row and container of the page.
    void ClearPage();

    void MarkModified(TBettFysPanel *row);
    void TriggerAnswerChanged(TAnswerBox *box);
    void EnsureColumns();
    void ArrangeColumns();
    TFlowPanel *PickColumn();
    void ColumnResized(TFlowPanel *column);
    void GroupContainerResized(TFlowPanel *container);
    void GroupCollapsed(TBettFysPanel *row);
    void RelayoutOpenGroups();
    void ScrollBoxBettfysResize();

    // The save button.
    void SpeedButton2Click();
    int GetSignAgeLimit();

    // The close button's discard: cancels what the declaration and its answers hold unposted,
    // rolls the transaction back (earlier saves stay) and begins a new one; clears FModified.
    void DiscardAnswers();

    // A declaration is open on the page (the opening got as far as building it).
    bool DeclarationOpen() const { return m_declarationOpen; }
    // The answer-list statements the last build ran (each list is read once per build).
    int AnswerListStatements() const { return m_answerListStatements; }

    // The group containers in build order.
    QList<TFlowPanel *> GroupContainers() const;
    // The column containers.
    QList<TFlowPanel *> ColumnContainers() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct AnswerList
    {
        QString mask;
        int style = 0;
        int defaultNumber = -1;
        QList<std::pair<QString, int>> items;
    };

    QWidget *content();
    int clientWidth() const;
    // Gives every column its width and place.
    void placeColumns(bool messagesAfterEachColumn);
    void setMessage(const QString &text);
    void hideSaveButton();
    bool reopen(TVNAdoQuery *query, const QString &tableName);
    bool chooseDeclaration(int standardhalsodeklaration);
    std::optional<AnswerList> readAnswerList(int listNumber);
    void fitLabelFont(TBettFysPanel *row);
    void finishRow(TBettFysPanel *row);
    void installSwitch(TBettFysPanel *owner, int openingAnswer);
    void updateColumnHeight(TFlowPanel *column);
    void updateContentHeight();
    // Lets the window paint; during a build at most every few milliseconds, so that a long
    // questionnaire does not re-lay out its containers after every row.
    void letPendingMessagesRun();
    void writeAnswers();
    void signIfAsked();

    QPointer<QScrollArea> m_scrollBox;
    QPointer<QWidget> m_panel1;
    QPointer<QLabel> m_label2;
    QPointer<QWidget> m_saveButton;
    TVNConnection *m_database1;
    JournalQueries *m_queries;

    QList<QPointer<TFlowPanel>> m_columns;
    QList<QPointer<TFlowPanel>> m_groups;
    QList<QPointer<TBettFysPanel>> m_owners;
    bool m_declarationOpen = false;
    bool m_building = false;
    QElapsedTimer m_sinceMessages;
    // Answer lists read during the current build, by list number.
    std::optional<QHash<int, AnswerList>> m_listCache;
    int m_answerListStatements = 0;
    int m_col1Length = 0;
    int m_col2Length = 0;
};
