#include "app/buttonimages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

constexpr int kSize = 48;

QPixmap blank()
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

} // namespace

QPixmap RedCrossPicture()
{
    QPixmap pixmap = blank();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor(0xd0, 0x1c, 0x1c), 9, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    painter.drawLine(QPointF(9, 9), QPointF(39, 39));
    painter.drawLine(QPointF(39, 9), QPointF(9, 39));
    return pixmap;
}

QPixmap BlueDiskettePicture()
{
    QPixmap pixmap = blank();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor blue(0x1f, 0x5f, 0xbf);
    // Body with the cut corner of a diskette.
    QPainterPath body;
    body.moveTo(5, 5);
    body.lineTo(36, 5);
    body.lineTo(43, 12);
    body.lineTo(43, 43);
    body.lineTo(5, 43);
    body.closeSubpath();
    painter.setPen(QPen(blue.darker(140), 2));
    painter.setBrush(blue);
    painter.drawPath(body);
    // Shutter and label.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xd8, 0xdd, 0xe6));
    painter.drawRect(QRectF(13, 7, 20, 12));
    painter.setBrush(blue.darker(150));
    painter.drawRect(QRectF(26, 9, 5, 8));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(10, 26, 28, 15));
    return pixmap;
}

QPixmap GreenArrowPicture()
{
    QPixmap pixmap = blank();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor green(0x1e, 0x9e, 0x3a);
    QPainterPath arrow;
    arrow.moveTo(4, 18);
    arrow.lineTo(24, 18);
    arrow.lineTo(24, 6);
    arrow.lineTo(44, 24);
    arrow.lineTo(24, 42);
    arrow.lineTo(24, 30);
    arrow.lineTo(4, 30);
    arrow.closeSubpath();
    painter.setPen(QPen(green.darker(140), 2));
    painter.setBrush(green);
    painter.drawPath(arrow);
    return pixmap;
}
