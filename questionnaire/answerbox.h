#pragma once

#include <QFrame>
#include <QString>
#include <functional>
#include <memory>

// The answer box of a question row: a combo-like control for the finger. Its items carry the
// numbers of their answers; it may show a drop-down button that opens the list on a tap, take a
// picture mask (an incomplete masked entry keeps the focus), or act as a free-text box that
// wraps its text and lets the row grow with it.
class TAnswerBox : public QFrame
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TAnswerBox)

public:
    // How the list is offered (the journal's drop-down types).
    enum Style
    {
        DropDownWithTyping = 0, // the patient may pick or type
        NoDropDownButton = 1,   // typing only
        PickOnly = 2            // the patient may only pick from the list
    };

    explicit TAnswerBox(QWidget *parent = nullptr);
    ~TAnswerBox() override;

    // The answer as shown. Setting it selects the item whose text is equal, else no item.
    // Line breaks entered in free-text mode come as "\r\n", as the answers are stored.
    QString Text() const;
    void SetText(const QString &text);

    void AddItem(const QString &text, int number);
    // Removes the items and empties the box, as the platform's combo box does.
    void ClearItems();
    int Count() const;
    QString ItemText(int index) const;
    int ItemNumber(int index) const;
    // The selected item, -1 for none. Selecting an item shows its text.
    int ItemIndex() const;
    void SetItemIndex(int index);

    int Style() const;
    void SetStyle(int style);
    bool ShowButton() const;
    void SetShowButton(bool show);
    // The drop-down button is on screen: ShowButton and a style that has one.
    bool ButtonVisible() const;
    // The list opens when the box gains the focus.
    bool AutoDropDown() const;
    void SetAutoDropDown(bool on);
    // Empty: no mask. Masked entries are single-line.
    QString PictureMask() const;
    void SetPictureMask(const QString &picture);
    // In characters; 0 means no limit.
    int MaxLength() const;
    void SetMaxLength(int length);
    bool ReadOnly() const;
    void SetReadOnly(bool readOnly);
    void SetBorder(bool border);
    // Free-text mode: the text wraps at the box's width and Return enters line breaks.
    bool WordWrap() const;
    void SetWordWrap(bool wrap);
    bool WantReturns() const;
    void SetWantReturns(bool want);
    // The box keeps the height of one line of its font.
    bool AutoSize() const;
    void SetAutoSize(bool on);
    // The clear key (Delete on an entry that is wholly selected, or the clear button) empties it.
    bool AllowClearKey() const;
    void SetAllowClearKey(bool allow);
    // The entry's font shrinks until its one line of text fits the width (for headings).
    bool FitTextToWidth() const;
    void SetFitTextToWidth(bool fit);
    // 0: the list is as wide as the box.
    int DropDownWidth() const;
    void SetDropDownWidth(int width);
    int Tag() const;
    void SetTag(int tag);
    // The width available to the text, for fitting the height of a wrapped answer.
    int ClientWidth() const;

    void DropDown();
    void CloseUp();
    bool IsDroppedDown() const;

    // The box's one change handler: runs after every change of the text or the selection,
    // whether the patient made it or the program. Replacing it replaces the earlier one.
    using Handler = std::function<void(TAnswerBox *box)>;
    Handler OnChange;
    Handler OnEnter;
    Handler OnExit;
    // Runs when the list opens, with the list widget, before it shows.
    std::function<void(TAnswerBox *box, QWidget *list)> OnDropDown;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    class Private;
    std::unique_ptr<Private> d;
};
