#pragma once

#include <QSize>
#include <QWidget>
#include <functional>
#include <vector>

// A container that places its visible children in their order, left to right and then top to
// bottom, each at its own size. With AutoSize on it takes the height of what it holds. The
// question rows are as wide as their group container, so a group reads as a column of rows.
//
// Changes of the children (added, shown, hidden, resized) are placed together at the next turn
// of the event loop, so that filling a container with many rows stays linear; SetAutoSize(true)
// and Realign() place at once.
class TFlowPanel : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFlowPanel)

public:
    explicit TFlowPanel(QWidget *parent = nullptr);
    ~TFlowPanel() override;

    // Off, the panel keeps its height (its children are still placed, at the next turn of the
    // event loop); switching it on places the children at once and fits the height.
    bool AutoSize() const;
    void SetAutoSize(bool on);
    // Places the children now (and fits the height with AutoSize on).
    void Realign();
    // Places the children at the next turn of the event loop; many requests make one placement.
    void RequestRealign();

    int Tag() const;
    void SetTag(int tag);

    // Runs after the panel's size changed. While the panel is hidden Qt reports no resize: a
    // height the panel gives itself is reported at once, a size given from outside at the next
    // placement or when the panel is shown.
    std::function<void(TFlowPanel *panel)> OnResize;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Where the next child goes.
    struct Cursor
    {
        int x = 0;
        int y = 0;
        int lineHeight = 0;
    };

    void schedule();
    void invalidateChild(QObject *child);
    void place();
    void reportSize();

    bool m_autoSize = true;
    bool m_realignPending = false;
    int m_tag = 0;
    // Children before this index of children() stand where the last placement put them, and
    // m_before[i] is the cursor in front of child i (up to and including m_cleanCount): a row
    // appended to a long group is placed without touching the rows before it.
    qsizetype m_cleanCount = 0;
    std::vector<Cursor> m_before;
    int m_placedWidth = -1;
    QSize m_reportedSize;
};
