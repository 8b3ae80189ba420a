#include "questionnaire/questionnairepage.h"

#include "db/openquery.h"
#include "db/vnadoquery.h"
#include "db/vnconnection.h"
#include "questionnaire/answerbox.h"
#include "questionnaire/bettfyspanel.h"
#include "questionnaire/counters.h"
#include "questionnaire/flowpanel.h"
#include "questionnaire/journalqueries.h"
#include "questionnaire/patientage.h"
#include "toolkit/dialogs.h"
#include "toolkit/pause.h"
#include "toolkit/richtextblob.h"
#include "toolkit/settings.h"
#include "widgets/linebreaks.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QEventLoop>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

namespace {

const QString kLineBreaks = QStringLiteral("\r\r");

// Below this the pending messages wait during a build: often enough for the cover to paint,
// seldom enough that the containers do not re-place their rows after every row.
constexpr qint64 kMessageIntervalMs = 25;
// A row's label font when created; fitting starts from it.
constexpr int kCreatedLabelFont = 10;
// The fitted label font never grows past this, whatever the row's size.
constexpr int kLargestLabelFont = 72;
constexpr int kSignAgeDefault = 18;
// Below the last group, so that the last row can be scrolled clear of the bottom edge.
constexpr int kColumnBottomMargin = 10;

std::chrono::milliseconds &savePause()
{
    static std::chrono::milliseconds pause = TQuestionnairePage::kSavePause;
    return pause;
}

SignFunction &signFunction()
{
    static SignFunction sign;
    return sign;
}

QString messageOf(const std::exception &error)
{
    return QString::fromUtf8(error.what());
}

bool isEditing(const TVNAdoQuery *query)
{
    return query->State() == DataSetState::Edit || query->State() == DataSetState::Insert;
}

void cancelPending(TVNAdoQuery *query)
{
    if (isEditing(query))
        query->Cancel();
}

// The hourglass while the page works; restored however the work ends.
class WaitCursor
{
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~WaitCursor() { restore(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
    void restore()
    {
        if (m_active)
            QGuiApplication::restoreOverrideCursor();
        m_active = false;
    }

private:
    bool m_active = true;
};

// The question row that holds a widget (an answer box), if any.
TBettFysPanel *rowOf(QWidget *widget)
{
    for (QWidget *w = widget ? widget->parentWidget() : nullptr; w; w = w->parentWidget()) {
        if (auto *row = qobject_cast<TBettFysPanel *>(w))
            return row;
    }
    return nullptr;
}

QList<TBettFysPanel *> rowsOf(const QWidget *container)
{
    return container->findChildren<TBettFysPanel *>(Qt::FindDirectChildrenOnly);
}

struct Group
{
    QString namn;
    QString col1Text;
    QString col2Text;
    int antalCol = 1;
    bool switchQuestion = false; // COL1CHECKBOX "T"
    QVariant switchLopnr;        // COL1CBOXACTION
    QVariant openingAnswer;      // COL2CBOXACTION
    QString gruppSynlig;

    explicit Group(TVNAdoQuery &q)
        : namn(q.FieldByName(QStringLiteral("NAMN")).AsString()),
          col1Text(q.FieldByName(QStringLiteral("COL1TEXT")).AsString()),
          col2Text(q.FieldByName(QStringLiteral("COL2TEXT")).AsString()),
          antalCol(q.FieldByName(QStringLiteral("ANTALCOL")).AsInteger()),
          switchQuestion(q.FieldByName(QStringLiteral("COL1CHECKBOX")).AsString() == u"T"),
          switchLopnr(q.FieldByName(QStringLiteral("COL1CBOXACTION")).Value()),
          openingAnswer(q.FieldByName(QStringLiteral("COL2CBOXACTION")).Value()),
          gruppSynlig(q.FieldByName(QStringLiteral("GRUPPSYNLIG")).AsString())
    {}
};

struct Question
{
    int lopnr = 0;
    int gruppLopnr = 0;
    QString overskrift;
    int antalCol = 1;
    int col1Typ = 0;
    int col2Typ = 0;
    int col1Lookup = 0;
    int col2Lookup = 0;

    explicit Question(TVNAdoQuery &q)
        : lopnr(q.FieldByName(QStringLiteral("LOPNR")).AsInteger()),
          gruppLopnr(q.FieldByName(QStringLiteral("GRUPPLOPNR")).AsInteger()),
          overskrift(q.FieldByName(QStringLiteral("OVERSKRIFT")).AsString()),
          antalCol(q.FieldByName(QStringLiteral("ANTALCOL")).AsInteger()),
          col1Typ(q.FieldByName(QStringLiteral("COL1TYP")).AsInteger()),
          col2Typ(q.FieldByName(QStringLiteral("COL2TYP")).AsInteger()),
          col1Lookup(q.FieldByName(QStringLiteral("COL1LOOKUP")).AsInteger()),
          col2Lookup(q.FieldByName(QStringLiteral("COL2LOOKUP")).AsInteger())
    {}
};

using AnswerKey = std::pair<int, int>; // GRUPPLOPNR, VALUELOPNR
using StoredAnswers = QHash<AnswerKey, std::pair<QString, QString>>;

// The declaration's answers, read once per build; the first row of a key counts, as a search
// from the top would find it.
StoredAnswers storedAnswers(TVNAdoQuery &answers)
{
    StoredAnswers stored;
    if (!answers.Active())
        return stored;
    for (answers.First(); !answers.Eof(); answers.Next()) {
        const AnswerKey key{answers.FieldByName(QStringLiteral("GRUPPLOPNR")).AsInteger(),
                            answers.FieldByName(QStringLiteral("VALUELOPNR")).AsInteger()};
        if (!stored.contains(key))
            stored.insert(key, {answers.FieldByName(QStringLiteral("COL1VALUE")).AsString(),
                                answers.FieldByName(QStringLiteral("COL2VALUE")).AsString()});
    }
    return stored;
}

// The longest answer a column holds: its data size less one; 0 (no limit) when unknown.
int answerLength(TVNAdoQuery &answers, const QString &column)
{
    if (!answers.Active() || !answers.HasField(column))
        return 0;
    return std::max(0, answers.FieldDataSize(column) - 1);
}

// An unanswered box is stored as an empty text, never as NULL: a NULL would not compare equal to
// the empty text the next save finds for it, and that save would take the row for changed by
// someone else.
QString answerText(const TAnswerBox *box)
{
    const QString text = box->Text();
    return text.isNull() ? QStringLiteral("") : text;
}

void noBoxList(TAnswerBox *box)
{
    box->SetShowButton(false);
    box->SetAutoDropDown(false);
}

// The switch box opens its group when its answer is the opening one. A typed text that is no
// answer selects nothing; it opens the group only when it reads as the opening answer does.
bool choosesOpeningAnswer(const TAnswerBox *box)
{
    const int selected = box->ItemIndex();
    if (selected >= 0)
        return box->ItemNumber(selected) == box->Tag();
    for (int i = 0; i < box->Count(); ++i) {
        if (box->ItemNumber(i) == box->Tag())
            return box->Text() == box->ItemText(i);
    }
    return false;
}

} // namespace

// --- registration points and plain helpers -----------------------------------------------------

SignFunction SetSignDeclaration(SignFunction sign)
{
    SignFunction previous = std::move(signFunction());
    signFunction() = std::move(sign);
    return previous;
}

bool SignDeclaration(const SignRequest &request, QByteArray *rtf)
{
    const SignFunction &sign = signFunction();
    return sign ? sign(request, rtf) : false;
}

bool SettingIsTrue(const QString &value)
{
    const QString text = value.trimmed();
    return text.compare(u"true", Qt::CaseInsensitive) == 0 || text == u"1" || text == u"-1";
}

void TQuestionnairePage::SetSavePause(std::chrono::milliseconds pause)
{
    savePause() = pause;
}

std::chrono::milliseconds TQuestionnairePage::SavePause()
{
    return savePause();
}

int TQuestionnairePage::QuestionPanelHeight(const QSize &screen)
{
    const double width = screen.width();
    const bool portraitOrSquare = screen.height() > 0 && width / screen.height() <= 1.0;
    const double height = width * 45.0 / (portraitOrSquare ? 768.0 : 1366.0);
    // The default rounding mode takes halves to the even neighbour.
    return static_cast<int>(std::nearbyint(height));
}

// --- the page ----------------------------------------------------------------------------------

TQuestionnairePage::TQuestionnairePage(const QuestionnaireWidgets &widgets,
                                       TVNConnection *database1, JournalQueries *queries,
                                       QObject *parent)
    : QObject(parent), m_scrollBox(widgets.ScrollBoxBettfys), m_panel1(widgets.Panel1),
      m_label2(widgets.Label2), m_saveButton(widgets.SpeedButton2), m_database1(database1),
      m_queries(queries)
{
    if (m_scrollBox) {
        m_scrollBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_scrollBox->viewport()->installEventFilter(this);
    }
}

TQuestionnairePage::~TQuestionnairePage()
{
    // The rows call back into the page; they go with it.
    ClearPage();
}

QWidget *TQuestionnairePage::content()
{
    if (!m_scrollBox)
        return nullptr;
    QWidget *widget = m_scrollBox->widget();
    if (!widget) {
        widget = new QWidget;
        m_scrollBox->setWidget(widget);
    }
    return widget;
}

int TQuestionnairePage::clientWidth() const
{
    return m_scrollBox ? m_scrollBox->viewport()->width() : 0;
}

void TQuestionnairePage::setMessage(const QString &text)
{
    if (m_label2)
        m_label2->setText(WithLineBreaks(text));
}

void TQuestionnairePage::hideSaveButton()
{
    if (m_saveButton)
        m_saveButton->hide();
}

QList<TFlowPanel *> TQuestionnairePage::GroupContainers() const
{
    QList<TFlowPanel *> groups;
    for (const QPointer<TFlowPanel> &group : m_groups) {
        if (group)
            groups.append(group);
    }
    return groups;
}

QList<TFlowPanel *> TQuestionnairePage::ColumnContainers() const
{
    QList<TFlowPanel *> columns;
    for (const QPointer<TFlowPanel> &column : m_columns) {
        if (column)
            columns.append(column);
    }
    return columns;
}

bool TQuestionnairePage::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && m_scrollBox && watched == m_scrollBox->viewport())
        ScrollBoxBettfysResize();
    return QObject::eventFilter(watched, event);
}

void TQuestionnairePage::letPendingMessagesRun()
{
    if (m_building && m_sinceMessages.isValid() && m_sinceMessages.elapsed() < kMessageIntervalMs)
        return;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_sinceMessages.start();
}

// --- opening -----------------------------------------------------------------------------------

bool TQuestionnairePage::reopen(TVNAdoQuery *query, const QString &tableName)
{
    try {
        query->Close();
        query->Open();
        return true;
    } catch (const std::exception &error) {
        ShowError(QStringLiteral("Det gick inte att öppna tabellen ") + tableName + u'!' +
                  kLineBreaks + messageOf(error));
        return false;
    }
}

void TQuestionnairePage::PageControl1Change(int standardhalsodeklaration)
{
    m_declarationOpen = false;
    JournalQueries &q = *m_queries;
    // However the opening ends, nothing is changed yet and nothing is being built.
    const auto settled = qScopeGuard([this] {
        FModified = false;
        FUpdating = false;
    });
    // The stop cases below leave nothing of an earlier patient on the page.
    ClearPage();
    try {
        // Closed first, so that re-reading their masters does not read them again.
        for (TVNAdoQuery *detail : {q.QHALSOVALUES, q.QHALSOGRUPPER, q.QHALSOJOURNALERLOOKUP,
                                    q.QHALSOJOURNALER, q.QPATHALSODEKVALUES})
            detail->Close();

        if (m_database1->InTransaction())
            m_database1->RollbackTrans();
        m_database1->BeginTrans();

        // Without the registrations or the declarations nothing can be chosen: a declaration
        // made then would lack its registration, or duplicate an open one.
        if (!reopen(q.PATREG, QStringLiteral("PATREG"))) {
            setMessage(kNotOpenedText);
            hideSaveButton();
            return;
        }
        q.PATREG->Last();
        if (q.PATREG->IsEmpty()) {
            setMessage(kNotRegisteredText);
            hideSaveButton();
            return;
        }

        if (!reopen(q.QPATHALSODEK, QStringLiteral("PATHALSODEK"))) {
            setMessage(kNotOpenedText);
            hideSaveButton();
            return;
        }
        FUpdating = true;
        q.QPATHALSODEK->Last();

        if (!chooseDeclaration(standardhalsodeklaration))
            return;
        // Put into edit mode, an empty result would insert a row of its own.
        if (q.QPATHALSODEK->IsEmpty()) {
            setMessage(kNotOpenedText);
            hideSaveButton();
            return;
        }

        reopen(q.QPATHALSODEKVALUES, QStringLiteral("PATHALSODEKVALUES"));
        reopen(q.QHALSOJOURNALER, QStringLiteral("HALSOJOURNALER"));
        reopen(q.QHALSOJOURNALERLOOKUP, QStringLiteral("HALSOJOURNALER"));
        reopen(q.QHALSOGRUPPER, QStringLiteral("HALSOGRUPPER"));
        reopen(q.QHALSOVALUES, QStringLiteral("HALSOVALUES"));

        try {
            q.QPATHALSODEK->Edit();
            BuildQuestionnaire([this](TBettFysPanel *row) { MarkModified(row); });
            RelayoutOpenGroups();
            m_declarationOpen = true;
        } catch (const std::exception &error) {
            ShowError(QStringLiteral("Det gick inte att öppna redigera ") +
                      QStringLiteral("PATHALSODEK!") + kLineBreaks + messageOf(error));
            setMessage(kNotOpenedText);
            hideSaveButton();
        }
    } catch (const std::exception &error) {
        // The connection itself failed (a transaction could not be begun or ended).
        ShowError(QStringLiteral("Det gick inte att öppna hälsodeklarationen!") + kLineBreaks +
                  messageOf(error));
        setMessage(kNotOpenedText);
        hideSaveButton();
    }
}

// The last declaration when the clinic has not signed it yet, else a new one of the standard
// questionnaire, committed at once. False when none could be had (the reason is shown).
bool TQuestionnairePage::chooseDeclaration(int standardhalsodeklaration)
{
    JournalQueries &q = *m_queries;
    TVNAdoQuery *declaration = q.QPATHALSODEK;
    if (!declaration->IsEmpty() &&
        declaration->FieldByName(QStringLiteral("SIGNERAD")).AsString() != u"T")
        return true;

    // A declaration without a number of its own would share -1 with every other such one,
    // and their answers with it.
    const int number =
        NextSequenceNumber(*q.lopnrQuery, QStringLiteral("PATHALSODEK"), QStringLiteral("LOPNR"));
    if (number < 1) {
        ShowError(QStringLiteral("Det gick inte att hämta ett nytt nummer för "
                                 "hälsodeklarationen! Ingen ny hälsodeklaration skapades.") +
                  kLineBreaks + QStringLiteral("Kontakta personalen på kliniken."));
        setMessage(kNoDeclarationText);
        hideSaveButton();
        return false;
    }

    try {
        declaration->Insert();
        declaration->FieldByName(QStringLiteral("PATIENTNR"))
            .SetValue(q.QKUNDER->FieldByName(QStringLiteral("PATIENTNR")).Value());
        declaration->FieldByName(QStringLiteral("REGNR"))
            .SetValue(q.PATREG->FieldByName(QStringLiteral("LOPNR")).Value());
        declaration->FieldByName(QStringLiteral("DATUM"))
            .SetAsDateTime(QDateTime::currentDateTime());
        declaration->FieldByName(QStringLiteral("LOPNR")).SetAsInteger(number);
        declaration->FieldByName(QStringLiteral("VARDGIVARENR"))
            .SetValue(q.PATREG->FieldByName(QStringLiteral("ORTODONTIST")).Value());
        declaration->FieldByName(QStringLiteral("HALSONR")).SetAsInteger(standardhalsodeklaration);
        declaration->Post();
        m_database1->CommitTrans();
    } catch (const std::exception &error) {
        cancelPending(declaration);
        try {
            if (m_database1->InTransaction())
                m_database1->RollbackTrans();
            m_database1->BeginTrans();
        } catch (const std::exception &) {
            // The next identification begins afresh.
        }
        ShowError(QStringLiteral("Det gick inte att skapa en ny hälsodeklaration!") + kLineBreaks +
                  messageOf(error));
        setMessage(kNoDeclarationText);
        hideSaveButton();
        return false;
    }

    declaration->Close();
    m_database1->BeginTrans();
    if (!reopen(declaration, QStringLiteral("PATHALSODEK"))) {
        setMessage(kNotOpenedText);
        hideSaveButton();
        return false;
    }
    // By its number: another declaration of the patient may carry a later date.
    if (!declaration->Locate(QStringLiteral("LOPNR"), number))
        declaration->Last();
    return true;
}

// --- building ----------------------------------------------------------------------------------

void TQuestionnairePage::ClearPage()
{
    m_owners.clear();
    m_groups.clear();
    m_columns.clear();
    if (!m_scrollBox)
        return;
    if (QWidget *widget = m_scrollBox->widget()) {
        const QList<QWidget *> children =
            widget->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        for (QWidget *child : children)
            delete child;
    }
}

void TQuestionnairePage::BuildQuestionnaire(
    const std::function<void(TBettFysPanel *row)> &changeHandler)
{
    QScrollArea *scrollBox = m_scrollBox;
    if (!scrollBox || !m_queries)
        return;
    JournalQueries &q = *m_queries;

    scrollBox->setUpdatesEnabled(false);
    if (m_panel1) {
        m_panel1->show();
        m_panel1->raise();
    }
    FUpdating = true;
    WaitCursor cursor;
    scrollBox->hide();
    m_building = true;
    // The first call lets the messages run at once: the cover paints before the rows come.
    m_sinceMessages.invalidate();
    m_listCache.emplace();
    m_answerListStatements = 0;

    try {
        ClearPage();
        EnsureColumns();
        m_col1Length = answerLength(*q.QPATHALSODEKVALUES, QStringLiteral("COL1VALUE"));
        m_col2Length = answerLength(*q.QPATHALSODEKVALUES, QStringLiteral("COL2VALUE"));
        const StoredAnswers stored = storedAnswers(*q.QPATHALSODEKVALUES);
        const auto restore = [&stored](TBettFysPanel *row) {
            const auto found = stored.constFind({row->GruppLopnr, row->ValueLopnr});
            if (found == stored.cend())
                return;
            row->LeftComboBox()->SetText(found->first);
            row->RightComboBox()->SetText(found->second);
        };
        const auto questionBoxes = [this](TBettFysPanel *row, const Question &question) {
            if (question.col1Typ != 0)
                FillAnswerComboBox(row->LeftComboBox(), question.col1Lookup);
            else
                noBoxList(row->LeftComboBox());
            if (question.col2Typ != 0)
                FillAnswerComboBox(row->RightComboBox(), question.col2Lookup);
            else
                noBoxList(row->RightComboBox());
        };
        const auto asQuestion = [this, &changeHandler](TBettFysPanel *row,
                                                       const Question &question) {
            row->OnChange = changeHandler;
            row->BeforeCollapse = [](TBettFysPanel *) {};
            row->AfterCollapse = [this](TBettFysPanel *r) { GroupCollapsed(r); };
            row->GruppLopnr = question.gruppLopnr;
            row->ValueLopnr = question.lopnr;
            row->SetShallBeSaved(true);
        };

        TVNAdoQuery *groups = q.QHALSOGRUPPER;
        TVNAdoQuery *values = q.QHALSOVALUES;
        if (groups->Active() && !groups->IsEmpty()) {
            for (groups->First(); !groups->Eof(); groups->Next()) {
                const Group group(*groups);
                TFlowPanel *column = PickColumn();
                auto *container = new TFlowPanel(column);
                container->setAutoFillBackground(true);
                container->resize(column->width(), 0);
                container->OnResize = [this](TFlowPanel *panel) { GroupContainerResized(panel); };
                container->show();
                m_groups.append(container);

                std::optional<Question> switchQuestion;
                if (group.switchQuestion && !group.switchLopnr.isNull() && values->Active() &&
                    values->Locate(QStringLiteral("LOPNR"), group.switchLopnr))
                    switchQuestion.emplace(*values);

                TBettFysPanel *owner = nullptr;
                if (switchQuestion) {
                    owner = CreateQuestionPanel(container, switchQuestion->overskrift,
                                                switchQuestion->antalCol, true);
                    asQuestion(owner, *switchQuestion);
                    questionBoxes(owner, *switchQuestion);
                    restore(owner);
                } else {
                    // A plain heading, also for a switch question that names no question of
                    // its group: then every question of the group is a row of its own.
                    owner = CreateQuestionPanel(container, group.namn, group.antalCol, true);
                    for (TAnswerBox *box : {owner->LeftComboBox(), owner->RightComboBox()}) {
                        box->SetReadOnly(true);
                        noBoxList(box);
                        box->SetBorder(false);
                        box->SetFitTextToWidth(true);
                        QPalette palette = box->palette();
                        const QColor face = palette.color(QPalette::Button);
                        palette.setColor(QPalette::Base, face);
                        palette.setColor(QPalette::Window, face);
                        box->setPalette(palette);
                    }
                    owner->LeftComboBox()->SetText(group.col1Text);
                    owner->RightComboBox()->SetText(group.col2Text);
                    owner->SetShallBeSaved(false);
                }
                owner->SetIsGroupOwner(true);
                owner->SetFontStyles(true);
                finishRow(owner);
                if (switchQuestion && switchQuestion->col1Typ != 0 && !group.openingAnswer.isNull())
                    installSwitch(owner, group.openingAnswer.toInt());
                m_owners.append(owner);

                if (values->Active()) {
                    for (values->First(); !values->Eof(); values->Next()) {
                        const Question question(*values);
                        if (switchQuestion && question.lopnr == switchQuestion->lopnr)
                            continue;
                        TBettFysPanel *row =
                            CreateQuestionPanel(container, question.overskrift, question.antalCol,
                                                group.gruppSynlig == u"T");
                        row->SetFontStyles(false);
                        QFont font = row->LabelFont();
                        font.setBold(false);
                        row->SetLabelFont(font);
                        asQuestion(row, question);
                        questionBoxes(row, question);
                        restore(row);
                        finishRow(row);
                    }
                }

                // The saved answer decides only when it is the opening one.
                const TAnswerBox *left = owner->LeftComboBox();
                const int selected = left->ItemIndex();
                if (selected >= 0 && left->ItemNumber(selected) == left->Tag())
                    owner->SetCollapsed(false);
                else
                    owner->SetCollapsed(group.gruppSynlig == u"F");
                owner->ReCalcWidth();
            }
        }
    } catch (const std::exception &error) {
        ShowError(QStringLiteral("Det gick inte att ladda hälsodeklarationspanelerna!") +
                  kLineBreaks + messageOf(error));
    }

    // Whatever was built stays on the page.
    m_listCache.reset();
    m_building = false;
    scrollBox->show();
    scrollBox->setUpdatesEnabled(true);
    for (TFlowPanel *column : ColumnContainers())
        updateColumnHeight(column);
    scrollBox->verticalScrollBar()->setValue(0);
    scrollBox->update();
    if (m_panel1)
        m_panel1->lower();
    cursor.restore();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    FUpdating = false;
}

TBettFysPanel *TQuestionnairePage::CreateQuestionPanel(TFlowPanel *container, const QString &text,
                                                       int antalCombos, bool visible)
{
    auto *row = new TBettFysPanel(container, antalCombos);
    const QScreen *screen = QGuiApplication::primaryScreen();
    row->resize(row->width(), QuestionPanelHeight(screen ? screen->size() : QSize(1366, 768)));
    QFont font = row->LabelFont();
    font.setPointSize(kCreatedLabelFont);
    row->SetLabelFont(font);
    row->SetCaption(text);
    row->setVisible(visible);
    letPendingMessagesRun();
    return row;
}

// The largest label font that keeps the question on one line left of the answers and inside
// the row; 9 points for a long (or empty) question.
void TQuestionnairePage::fitLabelFont(TBettFysPanel *row)
{
    row->ReCalcWidth();
    QFont font = row->LabelFont();
    // Not from the label's present size: fitted again, a long question would lose a point.
    int size = kCreatedLabelFont;
    const QString caption = row->Caption();
    if (!caption.trimmed().isEmpty()) {
        // The label starts at its margin, so the answer area's left edge less 40 would let
        // the question run under the answers and wrap out of the row.
        const int labelWidth = row->Label()->contentsRect().width();
        const int widthLimit = labelWidth > 0 ? std::min(row->AnswerAreaLeft() - 40, labelWidth)
                                              : row->AnswerAreaLeft() - 40;
        const int heightLimit = row->height() - 5;
        while (size < kLargestLabelFont) {
            font.setPointSize(size);
            const QFontMetrics metrics(font);
            if (metrics.horizontalAdvance(caption) >= widthLimit || metrics.height() >= heightLimit)
                break;
            ++size;
        }
    }
    font.setPointSize(std::max(1, size - 1));
    row->SetLabelFont(font);
}

// Every row of the page, the group owner too: the answers' maximum lengths, the page's width,
// the label font, the answer area, and the left box's mode for what it now holds.
void TQuestionnairePage::finishRow(TBettFysPanel *row)
{
    row->LeftComboBox()->SetMaxLength(m_col1Length);
    row->RightComboBox()->SetMaxLength(m_col2Length);
    row->resize(clientWidth(), row->height());
    fitLabelFont(row);
    row->ReCalcWidth();
    row->ApplyLeftComboBoxMode();
}

// After the left box's mode is settled, which may put back the box's own change handler: the
// switch then comes on top of whatever handler the box has.
void TQuestionnairePage::installSwitch(TBettFysPanel *owner, int openingAnswer)
{
    TAnswerBox *box = owner->LeftComboBox();
    box->SetTag(openingAnswer);
    TAnswerBox::Handler previous = box->OnChange;
    box->OnChange = [this, previous](TAnswerBox *changed) {
        if (previous)
            previous(changed);
        TriggerAnswerChanged(changed);
    };
}

std::optional<TQuestionnairePage::AnswerList> TQuestionnairePage::readAnswerList(int listNumber)
{
    if (m_listCache) {
        const auto cached = m_listCache->constFind(listNumber);
        if (cached != m_listCache->cend())
            return *cached;
    }
    AnswerList list;
    {
        ++m_answerListStatements;
        const std::unique_ptr<TVNAdoQuery> data = OpenQuery(AnswerListStatement(listNumber), false);
        if (!data)
            return std::nullopt;
        list.mask = data->FieldByName(QStringLiteral("DATAMASK")).AsString();
        list.style = data->FieldByName(QStringLiteral("DROPDOWNTYP")).AsInteger();
        const TVNField defaultAnswer = data->FieldByName(QStringLiteral("DEFVALUELOPNR"));
        list.defaultNumber = defaultAnswer.IsNull() ? -1 : defaultAnswer.AsInteger();
    }
    {
        ++m_answerListStatements;
        const std::unique_ptr<TVNAdoQuery> answers =
            OpenQuery(ListAnswersStatement(listNumber), false);
        if (!answers)
            return std::nullopt;
        for (answers->First(); !answers->Eof(); answers->Next())
            list.items.append({answers->FieldByName(QStringLiteral("DROPDOWNTEXT")).AsString(),
                               answers->FieldByName(QStringLiteral("LOPNR")).AsInteger()});
    }
    // Failures are not kept: each box tries again and reports for itself.
    if (m_listCache)
        m_listCache->insert(listNumber, list);
    return list;
}

void TQuestionnairePage::FillAnswerComboBox(TAnswerBox *box, int listNumber)
{
    if (!box)
        return;
    try {
        // OpenQuery has told what failed.
        const std::optional<AnswerList> list = readAnswerList(listNumber);
        if (!list)
            return;
        const QString remembered = box->Text();
        box->SetPictureMask(list->mask);
        box->ClearItems();
        box->SetStyle(list->style);
        box->SetShowButton(!list->items.isEmpty());
        int defaultIndex = -1;
        for (qsizetype i = 0; i < list->items.size(); ++i) {
            const auto &[text, number] = list->items.at(i);
            box->AddItem(text, number);
            if (defaultIndex < 0 && number == list->defaultNumber)
                defaultIndex = static_cast<int>(i);
        }
        if (!remembered.isEmpty())
            box->SetText(remembered);
        else
            box->SetItemIndex(defaultIndex);
    } catch (const std::exception &error) {
        ShowError(QStringLiteral("Det gick inte att sätta standardvärden på ComboBoxen!") +
                  kLineBreaks + messageOf(error));
    }
}

void TQuestionnairePage::MarkModified(TBettFysPanel *)
{
    FModified = true;
}

void TQuestionnairePage::TriggerAnswerChanged(TAnswerBox *box)
{
    if (FUpdating || !box)
        return;
    FModified = true;
    const QPointer<TAnswerBox> guard(box);
    letPendingMessagesRun();
    if (!guard)
        return;
    TBettFysPanel *row = rowOf(box);
    if (!row)
        return;
    const bool collapsed = !choosesOpeningAnswer(box);
    if (row->Collapsed() != collapsed)
        row->SetCollapsed(collapsed);
}

// --- layout ------------------------------------------------------------------------------------

void TQuestionnairePage::EnsureColumns()
{
    QWidget *page = content();
    if (!page)
        return;
    m_scrollBox->verticalScrollBar()->setValue(0);
    m_columns.removeAll(QPointer<TFlowPanel>());
    if (m_columns.isEmpty()) {
        auto *column = new TFlowPanel(page);
        column->setAutoFillBackground(true);
        column->SetTag(1);
        column->setGeometry(0, 0, clientWidth(), 0);
        column->OnResize = [this](TFlowPanel *panel) { ColumnResized(panel); };
        column->show();
        m_columns.append(column);
    }
    while (m_columns.size() > kColumns) {
        TFlowPanel *surplus = m_columns.takeLast();
        TFlowPanel *into = m_columns.last();
        const QList<QWidget *> moved = surplus->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        for (QWidget *widget : moved) {
            const bool shown = !widget->isHidden();
            widget->setParent(into);
            widget->setVisible(shown);
        }
        delete surplus;
    }
    ArrangeColumns();
}

void TQuestionnairePage::ArrangeColumns()
{
    placeColumns(true);
}

void TQuestionnairePage::ScrollBoxBettfysResize()
{
    if (ColumnContainers().isEmpty())
        return;
    placeColumns(false);
    letPendingMessagesRun();
}

void TQuestionnairePage::placeColumns(bool messagesAfterEachColumn)
{
    const QList<TFlowPanel *> columns = ColumnContainers();
    if (columns.isEmpty())
        return;
    const int width = clientWidth() / static_cast<int>(columns.size());
    for (qsizetype i = 0; i < columns.size(); ++i) {
        TFlowPanel *column = columns.at(i);
        if (column->width() != width)
            column->resize(width, column->height());
        const int left = static_cast<int>(i) * width;
        if (column->x() != left)
            column->move(left, column->y());
        if (messagesAfterEachColumn)
            letPendingMessagesRun();
    }
}

TFlowPanel *TQuestionnairePage::PickColumn()
{
    const QList<TFlowPanel *> columns = ColumnContainers();
    if (columns.isEmpty()) {
        EnsureColumns();
        return ColumnContainers().value(0);
    }
    const int height = m_scrollBox ? m_scrollBox->height() : 0;
    for (TFlowPanel *column : columns) {
        if (column->height() < height)
            return column;
    }
    return columns.last();
}

void TQuestionnairePage::ColumnResized(TFlowPanel *column)
{
    for (TFlowPanel *group : GroupContainers()) {
        if (group->parentWidget() == column && group->width() != column->width())
            group->resize(column->width(), group->height());
    }
    updateContentHeight();
}

void TQuestionnairePage::GroupContainerResized(TFlowPanel *container)
{
    for (TBettFysPanel *row : rowsOf(container)) {
        if (row->width() != container->width())
            row->resize(container->width(), row->height());
    }
    if (auto *column = qobject_cast<TFlowPanel *>(container->parentWidget()))
        updateColumnHeight(column);
}

void TQuestionnairePage::GroupCollapsed(TBettFysPanel *row)
{
    QWidget *container = row->parentWidget();
    if (!container)
        return;
    if (auto *column = qobject_cast<TFlowPanel *>(container->parentWidget()))
        updateColumnHeight(column);
}

// The column places its groups one below the other and is as high as they are together.
void TQuestionnairePage::updateColumnHeight(TFlowPanel *column)
{
    if (!m_columns.contains(QPointer<TFlowPanel>(column)))
        return;
    column->Realign();
    int height = 0;
    for (TFlowPanel *group : GroupContainers()) {
        if (group->parentWidget() == column && !group->isHidden())
            height += group->height();
    }
    if (column->height() != height)
        column->resize(column->width(), height);
    updateContentHeight();
}

// The scroll box's page reaches past the lowest column by a small margin.
void TQuestionnairePage::updateContentHeight()
{
    if (!m_scrollBox || !m_scrollBox->widget())
        return;
    QWidget *page = m_scrollBox->widget();
    int bottom = 0;
    for (TFlowPanel *column : ColumnContainers())
        bottom = std::max(bottom, column->y() + column->height());
    const int wanted = bottom > 0 ? bottom + kColumnBottomMargin : 0;
    if (page->minimumHeight() != wanted)
        page->setMinimumHeight(wanted);
    const int height = std::max(wanted, m_scrollBox->viewport()->height());
    const int width = m_scrollBox->widgetResizable() ? page->width() : clientWidth();
    if (page->height() != height || page->width() != width)
        page->resize(width, height);
}

void TQuestionnairePage::RelayoutOpenGroups()
{
    FUpdating = true;
    if (m_panel1)
        m_panel1->raise();
    for (const QPointer<TBettFysPanel> &owner : std::as_const(m_owners)) {
        if (owner && !owner->Collapsed()) {
            owner->SetCollapsed(true);
            owner->SetCollapsed(false);
        }
    }
    // Closed groups take their height now too, not at the next layout pass.
    for (TFlowPanel *group : GroupContainers())
        group->Realign();
    for (TFlowPanel *column : ColumnContainers())
        updateColumnHeight(column);
    FUpdating = false;
    if (m_panel1)
        m_panel1->lower();
}

// --- saving ------------------------------------------------------------------------------------

int TQuestionnairePage::GetSignAgeLimit()
{
    if (FHalsoSignYear != -1)
        return FHalsoSignYear;
    int limit = ReadCounterValue(*m_queries->IniData, QStringLiteral("SIGNHALSO"),
                                 QStringLiteral("FROMOCHMED"));
    if (limit == -1)
        limit = kSignAgeDefault;
    FHalsoSignYear = limit;
    return limit;
}

void TQuestionnairePage::writeAnswers()
{
    TVNAdoQuery *answers = m_queries->QPATHALSODEKVALUES;
    const QVariant declarationNumber =
        m_queries->QPATHALSODEK->FieldByName(QStringLiteral("LOPNR")).Value();
    for (TFlowPanel *container : GroupContainers()) {
        for (TBettFysPanel *row : rowsOf(container)) {
            if (row->GruppLopnr == 0 || row->ValueLopnr == 0 || !row->ShallBeSaved())
                continue;
            if (answers->Locate(QStringLiteral("GRUPPLOPNR;VALUELOPNR"),
                                {row->GruppLopnr, row->ValueLopnr})) {
                answers->Edit();
            } else {
                answers->Insert();
                answers->FieldByName(QStringLiteral("GRUPPLOPNR")).SetAsInteger(row->GruppLopnr);
                answers->FieldByName(QStringLiteral("VALUELOPNR")).SetAsInteger(row->ValueLopnr);
                answers->FieldByName(QStringLiteral("PATHALSODEKLOPNR"))
                    .SetValue(declarationNumber);
            }
            answers->FieldByName(QStringLiteral("COL1VALUE"))
                .SetAsString(answerText(row->LeftComboBox()));
            answers->FieldByName(QStringLiteral("COL2VALUE"))
                .SetAsString(answerText(row->RightComboBox()));
            answers->Post();
        }
    }
}

void TQuestionnairePage::signIfAsked()
{
    TVNAdoQuery *declaration = m_queries->QPATHALSODEK;
    if (declaration->FieldByName(QStringLiteral("PATDIGISIGN")).AsString() == u"T")
        return;
    if (!SettingIsTrue(ReadSettingDef(QStringLiteral("Hälsodeklaration"),
                                      QStringLiteral("PatSignDigitalt"), QStringLiteral("FALSE"))))
        return;
    TVNAdoQuery &patient = *m_queries->QKUNDER;
    const double age = ComputePatientAge(
        *m_queries->IniData, patient.FieldByName(QStringLiteral("PERSONNR")).AsString(),
        patient.FieldByName(QStringLiteral("FODELSEDAG")).AsDateTime().date(),
        QDate::currentDate());
    SignRequest request;
    request.placeholder = static_cast<int>(std::trunc(age)) < GetSignAgeLimit()
                              ? QStringLiteral("%patmaldigisign%")
                              : QStringLiteral("%patdigisign%");
    request.patientName = patient.FieldByName(QStringLiteral("F_RNAMN")).AsString() + u' ' +
                          patient.FieldByName(QStringLiteral("EFTERNAMN")).AsString();
    request.btext = patient.FieldByName(QStringLiteral("BTEXT")).AsString();
    request.malsman2 = patient.FieldByName(QStringLiteral("MALSMAN2")).AsString();
    QByteArray rtf;
    if (!SignDeclaration(request, &rtf))
        return;
    declaration->FieldByName(QStringLiteral("PATDIGISIGN")).SetAsString(QStringLiteral("T"));
    declaration->FieldByName(QStringLiteral("PATDIGISIGNATUR"))
        .SetAsBytes(CopyRichEdittoBlob(rtf, true));
}

void TQuestionnairePage::SpeedButton2Click()
{
    setMessage(kSavingText);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    WaitCursor cursor;
    const auto failed = [this, &cursor](const std::exception &error) {
        cursor.restore();
        ShowNotice(QStringLiteral("Det gick inte att spara uppgifterna!") + kLineBreaks +
                   messageOf(error));
        setMessage(kNotSavedText);
    };

    TVNAdoQuery *declaration = m_queries->QPATHALSODEK;
    if (m_declarationOpen && (isEditing(declaration) || FModified)) {
        try {
            // One transaction per save, so that a save that fails halfway commits nothing.
            if (!m_database1->InTransaction())
                m_database1->BeginTrans();
            writeAnswers();
            if (!isEditing(declaration))
                declaration->Edit();
            signIfAsked();
            if (isEditing(declaration))
                declaration->Post();
        } catch (const std::exception &error) {
            // The answer that failed is written again by the next save; left pending, it would
            // be posted by the first search of the next one and fail it before it begins.
            cancelPending(m_queries->QPATHALSODEKVALUES);
            failed(error);
            return;
        }
    }

    WaitWithoutUserInput(SavePause());
    FModified = false;
    try {
        if (m_database1->InTransaction())
            m_database1->CommitTrans();
    } catch (const std::exception &error) {
        // Nothing of this save is stored: the close button must still offer to discard.
        FModified = true;
        failed(error);
        return;
    }
    try {
        m_database1->BeginTrans();
    } catch (const std::exception &) {
        // The next save begins one, and reports if it cannot.
    }
    setMessage(kSavedText);
    cursor.restore();
}

void TQuestionnairePage::DiscardAnswers()
{
    TVNAdoQuery *declaration = m_queries->QPATHALSODEK;
    cancelPending(m_queries->QPATHALSODEKVALUES);
    cancelPending(declaration);
    const QVariant number = m_declarationOpen && declaration->Active()
                                ? declaration->FieldByName(QStringLiteral("LOPNR")).Value()
                                : QVariant();
    try {
        if (m_database1->InTransaction())
            m_database1->RollbackTrans();
    } catch (const std::exception &) {
        // A lost connection has nothing left to roll back; the next identification reconnects.
    }
    FModified = false;
    try {
        m_database1->BeginTrans();
    } catch (const std::exception &) {
        m_declarationOpen = false;
        return;
    }
    if (!m_declarationOpen)
        return;
    // The declaration and its answers are read again: what the rolled-back transaction wrote
    // is gone, and a later save must not take it for stored.
    try {
        declaration->Close();
        declaration->Open();
        if (declaration->Locate(QStringLiteral("LOPNR"), number)) {
            if (!m_queries->QPATHALSODEKVALUES->Active())
                m_queries->QPATHALSODEKVALUES->Open();
            declaration->Edit();
        } else {
            m_declarationOpen = false;
        }
    } catch (const std::exception &) {
        m_declarationOpen = false;
    }
}
