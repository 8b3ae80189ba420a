#pragma once

#include <QFont>
#include <QFrame>
#include <QString>
#include <functional>
#include <memory>

class QLabel;
class TAnswerBox;

// One question of the health declaration as a large touch row: the question on the left, one or
// two answer boxes at the right edge. The first row of a group is its owner: drawn raised with a
// red double chevron, it opens and closes the group (shows or hides the other rows of its
// container). Unanswered rows are tinted warm, answered ones cool. The row knows nothing of the
// database; the questionnaire gives it its numbers and reads its answers.
class TBettFysPanel : public QFrame
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TBettFysPanel)

public:
    // `owner` is the group container, which becomes the parent and owns the row. The row is
    // created collapsed and not a group owner. Any `antalCombos` other than 2 means one box.
    explicit TBettFysPanel(QWidget *owner, int antalCombos = 2);
    ~TBettFysPanel() override;

    QString Caption() const;
    void SetCaption(const QString &caption);

    bool Collapsed() const;
    // Only a change raises BeforeCollapse and AfterCollapse and shows or hides the other rows
    // of the container.
    void SetCollapsed(bool collapsed);

    bool FontBold() const;
    void SetFontStyles(bool bold);

    bool IsGroupOwner() const;
    void SetIsGroupOwner(bool owner);

    TAnswerBox *LeftComboBox() const;
    TAnswerBox *RightComboBox() const;
    // Applies the left box's mode again: list (one line) when it shows a drop-down button, else
    // free text (wraps, takes Return, and the row fits its height to the text).
    void ApplyLeftComboBoxMode();

    QFont LabelFont() const;
    // The label takes the font; both boxes get its size minus 2, plain.
    void SetLabelFont(const QFont &font);
    void SetFontSize(int pointSize);
    QLabel *Label() const;
    // The left edge of the answer area, in the row's coordinates.
    int AnswerAreaLeft() const;

    // Arranges the answer area for the row's width now.
    void ReCalcWidth();
    // Grows or shrinks the row to the wrapped text of a free-text answer.
    void FitAnswerHeight();
    // Scrolls the enclosing scroll area so that the row's bottom edge is visible.
    void ScrollIntoView();

    int GruppLopnr = 0;
    int ValueLopnr = 0;
    bool ShallBeSaved() const;
    // A row that is not saved (a group heading) shows only the boxes that carry text.
    void SetShallBeSaved(bool save);

    // Visible boxes whose trimmed text is empty make the row unanswered.
    bool Answered() const;

    // Events. The row's own: after an answer changed, and around every change of Collapsed.
    std::function<void(TBettFysPanel *row)> OnChange;
    std::function<void(TBettFysPanel *row)> BeforeCollapse;
    std::function<void(TBettFysPanel *row)> AfterCollapse;
    // With the answer box: when either box gains or loses the input focus.
    std::function<void(TAnswerBox *box)> BeforeEnter;
    std::function<void(TAnswerBox *box)> AfterExit;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitAnswerHeight(bool scroll);

    class Private;
    std::unique_ptr<Private> d;
};
