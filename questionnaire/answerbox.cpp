#include "questionnaire/answerbox.h"

#include "widgets/linebreaks.h"
#include "widgets/maskededit.h"

#include <QAction>
#include <QApplication>
#include <QColor>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStyle>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QColor kListColour(192, 192, 192);
const QColor kListTextColour(0, 0, 128);
constexpr int kMinRowHeight = 40; // a fingertip
constexpr int kMinButtonWidth = 40;
constexpr int kVisibleRows = 8;
// Room around the text of the free-text editor; the row's height fitting leaves 12 pixels
// beyond the lines, so frame and margins must stay below that.
constexpr int kMemoMargin = 2;
// Frame and air around one line, as the platform's combo box has them: 21 pixels for the
// 13-pixel line of its default font. Large label fonts give the boxes fonts that only just fit
// the row's height; more air would cut them off.
constexpr int kLinePadding = 8;
constexpr int kNoLimit = 32767; // QLineEdit's own default
// Headings shrink no further than this to fit their box.
constexpr int kSmallestFitPixels = 9;
constexpr qreal kSmallestFitPoints = 7;

// The free-text editor holds '\n' (WithLineBreaks makes it so); answers are kept with the
// platform's "\r\n" line breaks, which is also how they are counted against the column's length.
QString fromEditorLines(QString text)
{
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text;
}

// The list window. A press outside it closes it; a press on the part of the box that opens
// the list must only close it, or the replayed press would open it again at once.
class AnswerListPopup final : public QFrame
{
public:
    explicit AnswerListPopup(QWidget *box) : QFrame(box, Qt::Popup)
    {
        setFrameStyle(QFrame::Box | QFrame::Plain);
        setLineWidth(1);
    }

    std::function<bool(const QPoint &global)> opensListAt;

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        if (!rect().contains(event->position().toPoint()))
            setAttribute(Qt::WA_NoMouseReplay,
                         opensListAt && opensListAt(event->globalPosition().toPoint()));
        QFrame::mousePressEvent(event);
    }
};

} // namespace

class TAnswerBox::Private
{
public:
    struct Item
    {
        QString text;
        int number;
    };

    explicit Private(TAnswerBox *box) : q(box) {}

    bool memoActive() const { return (wordWrap || wantReturns) && mask->PictureMask().isEmpty(); }
    QWidget *editor() const { return memoActive() ? static_cast<QWidget *>(memo) : line; }
    bool canDropDown() const
    {
        return !readOnly && !items.isEmpty() && q->isEnabled() &&
               (q->ButtonVisible() || style == PickOnly);
    }
    int buttonWidth() const
    {
        if (!q->ButtonVisible())
            return 0;
        const QRect r = q->contentsRect();
        return std::min(std::max(kMinButtonWidth, r.height()), r.width() / 2);
    }
    int oneLineHeight() const { return q->fontMetrics().height() + kLinePadding; }

    int indexOf(const QString &value) const;
    void apply(const QString &newText, int newIndex);
    void pushText();
    void edited(const QString &newText);
    QString memoText() const { return memo ? fromEditorLines(memo->toPlainText()) : text; }
    void ensureMemo();
    void limitMemo();
    void updateEditors();
    void layout();
    void ensurePopup();
    void pick(int row);
    bool opensListAt(const QPoint &global) const;
    void dropDownLater();
    void updateClearButton();
    void fitLineFont();

    TAnswerBox *q;
    QLineEdit *line = nullptr;
    QPlainTextEdit *memo = nullptr;
    QToolButton *button = nullptr;
    QAction *clear = nullptr; // the entry's clear button
    MaskedEditBehaviour *mask = nullptr;
    AnswerListPopup *popup = nullptr;
    QListWidget *list = nullptr;

    QList<Item> items;
    QString text;
    int index = -1;
    int style = DropDownWithTyping;
    bool showButton = true;
    bool autoDropDown = false;
    int maxLength = 0;
    bool readOnly = false;
    bool wordWrap = false;
    bool wantReturns = false;
    bool autoSize = true;
    bool allowClearKey = false;
    bool fitText = false;
    int dropDownWidth = 0;
    int tag = 0;

    bool syncing = false;  // the box itself is writing into an editor
    bool hasFocus = false; // between OnEnter and OnExit
    bool entryPressed = false;
    int changePosition = 0; // the last edit of the free-text editor
    int changeAdded = 0;
};

int TAnswerBox::Private::indexOf(const QString &value) const
{
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (items.at(i).text == value)
            return int(i);
    }
    return -1;
}

// Every change of text or selection ends here, so that OnChange runs once per change.
void TAnswerBox::Private::apply(const QString &newText, int newIndex)
{
    const bool changed = newText != text || newIndex != index;
    text = newText;
    index = newIndex;
    pushText();
    updateClearButton();
    if (changed && q->OnChange)
        q->OnChange(q);
}

void TAnswerBox::Private::pushText()
{
    const QScopedValueRollback<bool> guard(syncing, true);
    if (line->text() != text) {
        line->setText(text);
        // A text put in from outside shows from its start, not scrolled to its end.
        if (!line->hasFocus())
            line->setCursorPosition(0);
    }
    if (memo && memoText() != text)
        memo->setPlainText(WithLineBreaks(text));
    fitLineFont();
}

void TAnswerBox::Private::fitLineFont()
{
    if (!fitText)
        return;
    QFont font = q->font();
    // The entry's own margins and frame take some of its width.
    const int room = line->contentsRect().width() - 6;
    const bool pixels = font.pixelSize() > 0;
    while (QFontMetrics(font).horizontalAdvance(text) > room) {
        if (pixels ? font.pixelSize() <= kSmallestFitPixels
                   : font.pointSizeF() <= kSmallestFitPoints)
            break;
        if (pixels)
            font.setPixelSize(font.pixelSize() - 1);
        else
            font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    line->setFont(font);
    line->setCursorPosition(0);
}

void TAnswerBox::Private::edited(const QString &newText)
{
    if (syncing || newText == text)
        return;
    text = newText;
    index = indexOf(newText);
    // The editor not in use follows quietly.
    {
        const QScopedValueRollback<bool> guard(syncing, true);
        if (editor() != line) {
            line->setText(text);
            line->setCursorPosition(0);
        } else if (memo) {
            memo->setPlainText(WithLineBreaks(text));
        }
    }
    updateClearButton();
    if (q->OnChange)
        q->OnChange(q);
}

// QPlainTextEdit has no length limit: what was typed, pasted or dropped beyond it is taken off
// the end of the insertion.
void TAnswerBox::Private::limitMemo()
{
    if (maxLength <= 0 || memoText().size() <= maxLength)
        return;
    const QScopedValueRollback<bool> guard(syncing, true);
    QTextCursor cursor(memo->document());
    cursor.setPosition(
        std::min(changePosition + changeAdded, memo->document()->characterCount() - 1));
    cursor.beginEditBlock();
    while (memoText().size() > maxLength && cursor.position() > changePosition)
        cursor.deletePreviousChar();
    cursor.endEditBlock();
    memo->setTextCursor(cursor);
}

// Most boxes are lists: the free-text editor is made when a box first needs it.
void TAnswerBox::Private::ensureMemo()
{
    if (memo)
        return;
    memo = new QPlainTextEdit(q);
    memo->setObjectName(QStringLiteral("answerMemo"));
    memo->setFrameShape(QFrame::NoFrame);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setTabChangesFocus(true);
    memo->document()->setDocumentMargin(kMemoMargin);
    memo->setVisible(false);
    memo->installEventFilter(q);
    {
        const QScopedValueRollback<bool> guard(syncing, true);
        memo->setPlainText(WithLineBreaks(text));
    }
    QObject::connect(memo->document(), &QTextDocument::contentsChange, q,
                     [this](int position, int, int added) {
                         changePosition = position;
                         changeAdded = added;
                     });
    QObject::connect(memo, &QPlainTextEdit::textChanged, q, [this] {
        if (syncing)
            return;
        limitMemo();
        edited(memoText());
    });
}

void TAnswerBox::Private::updateEditors()
{
    const bool useMemo = memoActive();
    if (useMemo)
        ensureMemo();
    QWidget *now = useMemo ? static_cast<QWidget *>(memo) : line;
    QWidget *old = useMemo ? static_cast<QWidget *>(line) : memo;
    {
        const QScopedValueRollback<bool> guard(syncing, true);
        line->setReadOnly(readOnly || style == PickOnly);
        const int limit = maxLength > 0 ? maxLength : kNoLimit;
        if (line->maxLength() != limit) {
            // The entry re-sets its text for a new limit, which scrolls it to its end.
            line->setMaxLength(limit);
            if (!line->hasFocus())
                line->setCursorPosition(0);
        }
        if (memo) {
            memo->setReadOnly(readOnly);
            memo->setLineWrapMode(wordWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
        }
    }
    if ((old && old->isVisibleTo(q)) || now->isHidden()) {
        const bool hadFocus = old && old->hasFocus();
        pushText();
        now->setVisible(true);
        q->setFocusProxy(now);
        if (hadFocus)
            now->setFocus(Qt::OtherFocusReason);
        if (old)
            old->setVisible(false);
    }
    button->setVisible(q->ButtonVisible());
    button->setEnabled(!readOnly);
    updateClearButton();
    if (!canDropDown())
        q->CloseUp();
    layout();
}

// QLineEdit's own clear button is disabled in a read-only entry, which a pick-only list is: an
// action of ours works in both, shown only while there is something to clear.
void TAnswerBox::Private::updateClearButton()
{
    const bool wanted = allowClearKey && !readOnly && !text.isEmpty();
    const bool shown = clear && line->actions().contains(clear);
    if (wanted && !clear) {
        clear = new QAction(q->style()->standardIcon(QStyle::SP_LineEditClearButton), QString(), q);
        clear->setObjectName(QStringLiteral("answerClear"));
        QObject::connect(clear, &QAction::triggered, q, [this] { apply(QString(), -1); });
    }
    if (wanted && !shown)
        line->addAction(clear, QLineEdit::TrailingPosition);
    else if (!wanted && shown)
        line->removeAction(clear);
}

void TAnswerBox::Private::layout()
{
    const QRect r = q->contentsRect();
    const int width = buttonWidth();
    button->setGeometry(r.right() - width + 1, r.top(), width, r.height());
    const QRect entry(r.left(), r.top(), r.width() - width, r.height());
    line->setGeometry(entry);
    if (memo)
        memo->setGeometry(entry);
    fitLineFont();
}

void TAnswerBox::Private::ensurePopup()
{
    if (popup)
        return;
    popup = new AnswerListPopup(q);
    popup->setObjectName(QStringLiteral("answerListPopup"));
    popup->opensListAt = [this](const QPoint &global) { return opensListAt(global); };
    list = new QListWidget(popup);
    list->setObjectName(QStringLiteral("answerList"));
    list->setFrameShape(QFrame::NoFrame);
    list->setUniformItemSizes(true);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    auto *box = new QVBoxLayout(popup);
    box->setContentsMargins(popup->frameWidth(), popup->frameWidth(), popup->frameWidth(),
                            popup->frameWidth());
    box->addWidget(list);
    popup->setFocusProxy(list);
    list->installEventFilter(q);
    QObject::connect(list, &QAbstractItemView::clicked, q,
                     [this](const QModelIndex &clicked) { pick(clicked.row()); });

    // The list keeps its own colours whatever the window's visual style says; as a window of
    // its own it inherits nothing from the window anyway.
    QPalette palette = list->palette();
    for (const QPalette::ColorRole role : {QPalette::Base, QPalette::Window, QPalette::Button}) {
        palette.setColor(role, kListColour);
    }
    for (const QPalette::ColorRole role :
         {QPalette::Text, QPalette::WindowText, QPalette::ButtonText}) {
        palette.setColor(role, kListTextColour);
    }
    popup->setPalette(palette);
    list->setPalette(palette);
    list->setAutoFillBackground(true);
}

void TAnswerBox::Private::pick(int row)
{
    q->CloseUp();
    if (row < 0 || row >= items.size())
        return;
    apply(items.at(row).text, row);
}

bool TAnswerBox::Private::opensListAt(const QPoint &global) const
{
    const QPoint local = q->mapFromGlobal(global);
    if (style == PickOnly)
        return q->rect().contains(local);
    return q->ButtonVisible() && button->geometry().contains(local);
}

void TAnswerBox::Private::dropDownLater()
{
    // Not from inside the focus change that asked for it.
    QTimer::singleShot(0, q, [box = q] {
        if (box->d->editor()->hasFocus())
            box->DropDown();
    });
}

TAnswerBox::TAnswerBox(QWidget *parent) : QFrame(parent), d(std::make_unique<Private>(this))
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);

    d->line = new QLineEdit(this);
    d->line->setObjectName(QStringLiteral("answerEdit"));
    d->line->setFrame(false);
    // Ours first: the mask's filter, installed after it, then sees a focus loss before we do
    // and can keep the focus without an OnExit.
    d->line->installEventFilter(this);
    d->mask = new MaskedEditBehaviour(d->line);
    d->mask->setAllowInvalidExit(false);

    d->button = new QToolButton(this);
    d->button->setObjectName(QStringLiteral("answerButton"));
    d->button->setArrowType(Qt::DownArrow);
    d->button->setFocusPolicy(Qt::NoFocus);

    setFocusProxy(d->line);

    connect(d->line, &QLineEdit::textChanged, this,
            [this](const QString &value) { d->edited(value); });
    connect(d->button, &QToolButton::clicked, this, [this] {
        if (IsDroppedDown())
            CloseUp();
        else
            DropDown();
    });

    d->updateEditors();
}

TAnswerBox::~TAnswerBox()
{
    OnChange = nullptr;
    OnEnter = nullptr;
    OnExit = nullptr;
    OnDropDown = nullptr;
    // The children go before the private part they report to.
    d->line->removeEventFilter(this);
    disconnect(d->line, nullptr, this, nullptr);
    if (d->memo) {
        d->memo->removeEventFilter(this);
        disconnect(d->memo, nullptr, this, nullptr);
        disconnect(d->memo->document(), nullptr, this, nullptr);
    }
    delete d->popup;
    delete d->memo;
    delete d->line;
    delete d->button;
}

QString TAnswerBox::Text() const
{
    return d->text;
}

void TAnswerBox::SetText(const QString &text)
{
    d->apply(text, d->indexOf(text));
}

void TAnswerBox::AddItem(const QString &text, int number)
{
    d->items.append({text, number});
}

void TAnswerBox::ClearItems()
{
    CloseUp();
    d->items.clear();
    if (d->list)
        d->list->clear();
    d->apply(QString(), -1);
    d->updateEditors();
}

int TAnswerBox::Count() const
{
    return int(d->items.size());
}

QString TAnswerBox::ItemText(int index) const
{
    return index >= 0 && index < d->items.size() ? d->items.at(index).text : QString();
}

int TAnswerBox::ItemNumber(int index) const
{
    return index >= 0 && index < d->items.size() ? d->items.at(index).number : -1;
}

int TAnswerBox::ItemIndex() const
{
    return d->index;
}

void TAnswerBox::SetItemIndex(int index)
{
    // As the platform's combo box: no item means no text.
    if (index < 0 || index >= d->items.size())
        d->apply(QString(), -1);
    else
        d->apply(d->items.at(index).text, index);
}

int TAnswerBox::Style() const
{
    return d->style;
}

void TAnswerBox::SetStyle(int style)
{
    d->style = std::clamp(style, int(DropDownWithTyping), int(PickOnly));
    d->updateEditors();
}

bool TAnswerBox::ShowButton() const
{
    return d->showButton;
}

void TAnswerBox::SetShowButton(bool show)
{
    d->showButton = show;
    d->updateEditors();
}

bool TAnswerBox::ButtonVisible() const
{
    return d->showButton && d->style != NoDropDownButton;
}

bool TAnswerBox::AutoDropDown() const
{
    return d->autoDropDown;
}

void TAnswerBox::SetAutoDropDown(bool on)
{
    d->autoDropDown = on;
}

QString TAnswerBox::PictureMask() const
{
    return d->mask->PictureMask();
}

void TAnswerBox::SetPictureMask(const QString &picture)
{
    d->mask->setPictureMask(picture);
    d->updateEditors();
}

int TAnswerBox::MaxLength() const
{
    return d->maxLength;
}

void TAnswerBox::SetMaxLength(int length)
{
    // Like the platform's limit it binds the patient's entry; a text the program puts in is
    // kept whole.
    d->maxLength = std::max(0, length);
    d->updateEditors();
}

bool TAnswerBox::ReadOnly() const
{
    return d->readOnly;
}

void TAnswerBox::SetReadOnly(bool readOnly)
{
    d->readOnly = readOnly;
    d->updateEditors();
}

void TAnswerBox::SetBorder(bool border)
{
    setFrameStyle(border ? QFrame::StyledPanel | QFrame::Sunken : QFrame::NoFrame);
    d->layout();
}

bool TAnswerBox::WordWrap() const
{
    return d->wordWrap;
}

void TAnswerBox::SetWordWrap(bool wrap)
{
    d->wordWrap = wrap;
    d->updateEditors();
}

bool TAnswerBox::WantReturns() const
{
    return d->wantReturns;
}

void TAnswerBox::SetWantReturns(bool want)
{
    d->wantReturns = want;
    d->updateEditors();
}

bool TAnswerBox::AutoSize() const
{
    return d->autoSize;
}

void TAnswerBox::SetAutoSize(bool on)
{
    const bool switchedOn = on && !d->autoSize;
    d->autoSize = on;
    if (switchedOn)
        resize(width(), d->oneLineHeight());
}

bool TAnswerBox::FitTextToWidth() const
{
    return d->fitText;
}

void TAnswerBox::SetFitTextToWidth(bool fit)
{
    d->fitText = fit;
    if (!fit)
        d->line->setFont(font());
    d->fitLineFont();
}

bool TAnswerBox::AllowClearKey() const
{
    return d->allowClearKey;
}

void TAnswerBox::SetAllowClearKey(bool allow)
{
    d->allowClearKey = allow;
    d->updateEditors();
}

int TAnswerBox::DropDownWidth() const
{
    return d->dropDownWidth;
}

void TAnswerBox::SetDropDownWidth(int width)
{
    d->dropDownWidth = std::max(0, width);
}

int TAnswerBox::Tag() const
{
    return d->tag;
}

void TAnswerBox::SetTag(int tag)
{
    d->tag = tag;
}

int TAnswerBox::ClientWidth() const
{
    const int entry = contentsRect().width() - d->buttonWidth();
    return d->memoActive() ? entry - 2 * kMemoMargin : entry;
}

void TAnswerBox::DropDown()
{
    if (IsDroppedDown() || !d->canDropDown() || !isVisible())
        return;
    QWidget *entry = d->editor();
    if (!entry->hasFocus()) {
        entry->setFocus(Qt::OtherFocusReason);
        // Another box that holds on to the focus for its incomplete entry wins; the list then
        // stays closed.
        if (isActiveWindow() && !entry->hasFocus())
            return;
    }
    d->ensurePopup();

    d->list->clear();
    d->list->setFont(font());
    const int rowHeight = std::max(kMinRowHeight, d->list->fontMetrics().height() + 16);
    const int width = d->dropDownWidth > 0 ? d->dropDownWidth : this->width();
    const int frame = d->popup->frameWidth();
    for (const Private::Item &item : std::as_const(d->items)) {
        auto *row = new QListWidgetItem(item.text, d->list);
        row->setSizeHint(QSize(width - 2 * frame, rowHeight));
    }
    if (d->index >= 0) {
        d->list->setCurrentRow(d->index);
        d->list->scrollToItem(d->list->item(d->index), QAbstractItemView::PositionAtCenter);
    }

    const int rows = std::min(int(d->items.size()), kVisibleRows);
    QRect geometry(mapToGlobal(QPoint(0, height())), QSize(width, rows * rowHeight + 2 * frame));
    if (const QScreen *screen = this->screen()) {
        const QRect available = screen->availableGeometry();
        const int above = mapToGlobal(QPoint(0, 0)).y() - geometry.height();
        if (geometry.bottom() > available.bottom() && above >= available.top())
            geometry.moveTop(above);
        if (geometry.right() > available.right())
            geometry.moveRight(available.right());
        if (geometry.left() < available.left())
            geometry.moveLeft(available.left());
    }
    d->popup->setGeometry(geometry);

    if (OnDropDown)
        OnDropDown(this, d->list);
    d->list->setFocus();
    d->popup->show();
}

void TAnswerBox::CloseUp()
{
    if (IsDroppedDown())
        d->popup->hide();
}

bool TAnswerBox::IsDroppedDown() const
{
    return d->popup && d->popup->isVisible();
}

bool TAnswerBox::eventFilter(QObject *watched, QEvent *event)
{
    if (d->list && watched == d->list) {
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                d->pick(d->list->currentRow());
                return true;
            case Qt::Key_Escape:
            case Qt::Key_F4:
            case Qt::Key_Tab:
            case Qt::Key_Backtab:
                CloseUp();
                return true;
            case Qt::Key_Up:
            case Qt::Key_Down:
                if (key->modifiers() & Qt::AltModifier) {
                    CloseUp();
                    return true;
                }
                break;
            default:
                break;
            }
        }
        return false;
    }
    if (watched != d->line && (!d->memo || watched != d->memo))
        return QFrame::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::FocusIn: {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason == Qt::PopupFocusReason)
            break; // back from our own list
        if (!d->hasFocus) {
            d->hasFocus = true;
            if (OnEnter)
                OnEnter(this);
        }
        if (d->autoDropDown && reason != Qt::ActiveWindowFocusReason)
            d->dropDownLater();
        break;
    }
    case QEvent::FocusOut: {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
            break; // the list opened, or the window lost the activation: still ours
        const QWidget *next = QApplication::focusWidget();
        if (next && (next == this || isAncestorOf(next)))
            break;
        if (d->hasFocus) {
            d->hasFocus = false;
            CloseUp();
            if (OnExit)
                OnExit(this);
        }
        break;
    }
    case QEvent::KeyPress: {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool alt = key->modifiers() & Qt::AltModifier;
        if (key->key() == Qt::Key_F4 ||
            (alt && (key->key() == Qt::Key_Down || key->key() == Qt::Key_Up))) {
            if (d->canDropDown()) {
                if (IsDroppedDown())
                    CloseUp();
                else
                    DropDown();
            }
            return true;
        }
        if (watched == d->line && d->style == PickOnly && d->allowClearKey && !d->readOnly &&
            (key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace)) {
            d->apply(QString(), -1);
            return true;
        }
        if (watched != d->line && !d->wantReturns &&
            (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            return true;
        }
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        // A pick-only box opens its list on a tap anywhere.
        if (watched == d->line && d->style == PickOnly &&
            static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton && d->canDropDown()) {
            d->entryPressed = true;
            d->line->setFocus(Qt::MouseFocusReason);
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (watched == d->line && d->entryPressed) {
            d->entryPressed = false;
            if (d->line->rect().contains(static_cast<QMouseEvent *>(event)->position().toPoint()))
                DropDown();
            return true;
        }
        break;
    default:
        break;
    }
    return QFrame::eventFilter(watched, event);
}

void TAnswerBox::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    d->layout();
}

void TAnswerBox::changeEvent(QEvent *event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange && d->autoSize)
        resize(width(), d->oneLineHeight());
    if (event->type() == QEvent::FontChange)
        d->fitLineFont();
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        CloseUp();
}
