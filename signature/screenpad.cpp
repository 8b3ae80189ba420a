#include "signature/screenpad.h"

#include <QMouseEvent>
#include <QTabletEvent>
#include <QTouchEvent>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace {

// Stylus pressure 0..1 as the pad's 1..5, so that a stylus draws its own width.
int padPressure(qreal pressure)
{
    return std::clamp(int(std::ceil(pressure * 5.0)), 1, 5);
}

int toUnits(qreal position, int extent)
{
    // The inverse of the dialog's mapping onto [0.1, 0.9] of the extent.
    const qreal units = (position - 0.1 * extent) * TScreenPad::kRange / (0.8 * extent);
    return std::clamp(int(std::lround(units)), 0, TScreenPad::kRange);
}

} // namespace

TScreenPad::TScreenPad(QWidget *drawingArea, QObject *parent)
    : TGIIEPad(parent), m_area(drawingArea)
{
    m_clock.start();
    if (m_area) {
        m_area->setAttribute(Qt::WA_AcceptTouchEvents);
        m_area->installEventFilter(this);
    }
}

TScreenPad::~TScreenPad()
{
    if (m_area)
        m_area->removeEventFilter(this);
}

int TScreenPad::GetNumProviders()
{
    return m_area ? 1 : 0;
}

QString TScreenPad::GetProviderClassID(int providerIndex)
{
    return providerIndex == 0 && m_area ? ClassID : QString();
}

QString TScreenPad::GetProviderDescription(const QString &classId)
{
    return classId == ClassID ? Description : QString();
}

bool TScreenPad::OpenProvider(const QString &classId)
{
    m_providerOpen = m_area && classId == ClassID;
    return m_providerOpen;
}

int TScreenPad::GetNumDevices()
{
    return m_providerOpen ? 1 : 0;
}

void TScreenPad::CloseProvider()
{
    m_providerOpen = false;
}

bool TScreenPad::OpenConnection(int deviceNumber)
{
    m_connected = m_providerOpen && deviceNumber == 0;
    m_stroke = Source::None;
    return m_connected;
}

void TScreenPad::CloseConnection()
{
    m_connected = false;
    m_stroke = Source::None;
}

int TScreenPad::ConnGetDataRangeMinX()
{
    return 0;
}

int TScreenPad::ConnGetDataRangeMaxX()
{
    return m_connected ? kRange : 0;
}

int TScreenPad::ConnGetDataRangeMinY()
{
    return 0;
}

int TScreenPad::ConnGetDataRangeMaxY()
{
    return m_connected ? kRange : 0;
}

QPoint TScreenPad::ToPadUnits(QPointF position) const
{
    if (!m_area || m_area->width() <= 0 || m_area->height() <= 0)
        return {};
    return {toUnits(position.x(), m_area->width()), toUnits(position.y(), m_area->height())};
}

bool TScreenPad::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_area || !m_connected)
        return TGIIEPad::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        penDown(Source::Mouse, mouse->position(), 0);
        event->accept();
        return true;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        penMove(Source::Mouse, mouse->position(), 0);
        return m_stroke == Source::Mouse;
    }
    case QEvent::MouseButtonRelease: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        penUp(Source::Mouse, mouse->position());
        event->accept();
        return true;
    }
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel: {
        auto *touch = static_cast<QTouchEvent *>(event);
        event->accept();
        if (touch->points().isEmpty())
            return true;
        // The first finger writes; a second one resting on the glass does not.
        const QEventPoint &point = touch->points().constFirst();
        if (event->type() == QEvent::TouchBegin)
            penDown(Source::Touch, point.position(), 0);
        else if (event->type() == QEvent::TouchUpdate && point.state() != QEventPoint::Released)
            penMove(Source::Touch, point.position(), 0);
        else
            penUp(Source::Touch, point.position());
        return true;
    }
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease: {
        auto *tablet = static_cast<QTabletEvent *>(event);
        event->accept();
        if (event->type() == QEvent::TabletPress)
            penDown(Source::Tablet, tablet->position(), padPressure(tablet->pressure()));
        else if (event->type() == QEvent::TabletMove)
            penMove(Source::Tablet, tablet->position(), padPressure(tablet->pressure()));
        else
            penUp(Source::Tablet, tablet->position());
        return true;
    }
    default:
        return TGIIEPad::eventFilter(watched, event);
    }
}

void TScreenPad::penDown(Source source, QPointF position, int pressure)
{
    if (m_stroke != Source::None)
        return;
    m_stroke = source;
    // A pad reports the pen lifted before it touches; the dialog starts a stroke on that.
    report(position, 0, false);
    report(position, pressure, true);
}

void TScreenPad::penMove(Source source, QPointF position, int pressure)
{
    if (m_stroke == source)
        report(position, pressure, true);
}

void TScreenPad::penUp(Source source, QPointF position)
{
    if (m_stroke != source)
        return;
    m_stroke = Source::None;
    report(position, 0, false);
}

void TScreenPad::report(QPointF position, int pressure, bool touch)
{
    if (!m_connected)
        return;
    const QPoint units = ToPadUnits(position);
    Q_EMIT OnPadData(units.x(), units.y(), pressure, touch, false, touch ? 1 : 0,
                     quint32(m_clock.elapsed()), m_sequence++);
}
