#include "questionnaire/flowpanel.h"

#include <QChildEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QPoint>
#include <QResizeEvent>
#include <algorithm>

TFlowPanel::TFlowPanel(QWidget *parent) : QWidget(parent) {}

TFlowPanel::~TFlowPanel()
{
    OnResize = nullptr;
}

bool TFlowPanel::AutoSize() const
{
    return m_autoSize;
}

void TFlowPanel::SetAutoSize(bool on)
{
    m_autoSize = on;
    // Switching on is what a collapsing group waits for: its height must be right when this
    // returns, not at the next turn of the event loop. Children shown or resized while the
    // panel was hidden told nobody, so all of them are placed again.
    if (on) {
        m_cleanCount = 0;
        place();
    }
}

void TFlowPanel::Realign()
{
    m_cleanCount = 0;
    place();
}

void TFlowPanel::RequestRealign()
{
    m_cleanCount = 0;
    schedule();
}

int TFlowPanel::Tag() const
{
    return m_tag;
}

void TFlowPanel::SetTag(int tag)
{
    m_tag = tag;
}

void TFlowPanel::schedule()
{
    if (m_realignPending)
        return;
    m_realignPending = true;
    QCoreApplication::postEvent(this, new QEvent(QEvent::LayoutRequest));
}

void TFlowPanel::invalidateChild(QObject *child)
{
    const qsizetype index = children().indexOf(child);
    if (index >= 0)
        m_cleanCount = std::min(m_cleanCount, index);
    schedule();
}

bool TFlowPanel::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::ChildAdded: {
        // Sent from inside the child's constructor: only QObject calls are safe here. A new
        // child is appended, so the children before it stay where they are.
        QObject *child = static_cast<QChildEvent *>(event)->child();
        if (child->isWidgetType()) {
            child->installEventFilter(this);
            schedule();
        }
        break;
    }
    case QEvent::ChildRemoved:
        static_cast<QChildEvent *>(event)->child()->removeEventFilter(this);
        m_cleanCount = 0;
        schedule();
        break;
    case QEvent::LayoutRequest:
        if (m_realignPending)
            place();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

bool TFlowPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched->parent() == this) {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
            invalidateChild(watched);
            break;
        case QEvent::ZOrderChange:
            m_cleanCount = 0;
            schedule();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFlowPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (width() != m_placedWidth)
        schedule();
    reportSize();
}

void TFlowPanel::place()
{
    m_realignPending = false;
    const QObjectList &kids = children();
    const qsizetype count = kids.size();
    const int width = this->width();
    if (width != m_placedWidth) {
        m_placedWidth = width;
        m_cleanCount = 0;
    }
    m_cleanCount = std::min(m_cleanCount, count);
    m_before.resize(size_t(count) + 1);
    if (m_cleanCount == 0)
        m_before[0] = Cursor{};

    Cursor cursor = m_before[size_t(m_cleanCount)];
    for (qsizetype i = m_cleanCount; i < count; ++i) {
        m_before[size_t(i)] = cursor;
        QObject *object = kids.at(i);
        if (!object->isWidgetType())
            continue;
        auto *child = static_cast<QWidget *>(object);
        if (child->isWindow() || child->isHidden())
            continue;
        const QSize size = child->size();
        if (cursor.x > 0 && cursor.x + size.width() > width) {
            cursor.x = 0;
            cursor.y += cursor.lineHeight;
            cursor.lineHeight = 0;
        }
        if (child->pos() != QPoint(cursor.x, cursor.y))
            child->move(cursor.x, cursor.y);
        cursor.x += size.width();
        cursor.lineHeight = std::max(cursor.lineHeight, size.height());
    }
    m_before[size_t(count)] = cursor;
    m_cleanCount = count;

    const int contentHeight = cursor.y + cursor.lineHeight;
    if (m_autoSize && height() != contentHeight)
        resize(width, contentHeight);
    reportSize();
}

void TFlowPanel::reportSize()
{
    if (size() == m_reportedSize)
        return;
    m_reportedSize = size();
    if (OnResize)
        OnResize(this);
}
