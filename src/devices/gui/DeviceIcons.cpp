#include "devices/gui/DeviceIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>
#include <functional>

namespace {

// Paints on a 16 x 16 grid; larger sizes are the same picture scaled.
QIcon MakeIcon(const std::function<void(QPainter&)>& paint)
{
    QIcon icon;
    for (int size : { 16, 32, 48 }) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 16.0, size / 16.0);
        paint(painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void PaintRoot(QPainter& p)
{
    // Three nodes hanging off one line: the outputs of the project.
    p.setPen(QPen(QColor(60, 60, 60), 1.2));
    p.drawLine(QPointF(8, 4.5), QPointF(8, 8.5));
    p.drawLine(QPointF(3, 8.5), QPointF(13, 8.5));
    p.drawLine(QPointF(3, 8.5), QPointF(3, 11));
    p.drawLine(QPointF(13, 8.5), QPointF(13, 11));
    p.drawLine(QPointF(8, 8.5), QPointF(8, 11));

    p.setPen(QPen(QColor(20, 50, 110), 1));
    p.setBrush(QColor(70, 130, 220));
    p.drawRoundedRect(QRectF(5, 0.5, 6, 4.5), 1, 1);
    p.setBrush(QColor(250, 190, 40));
    for (double x : { 0.5, 5.5, 10.5 })
        p.drawRoundedRect(QRectF(x, 11, 5, 4.5), 1, 1);
}

void PaintNode(QPainter& p)
{
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.setBrush(QColor(90, 96, 110));
    p.drawRoundedRect(QRectF(0.5, 3.5, 15, 9), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 220, 80));
    p.drawEllipse(QRectF(2.5, 6, 2.5, 2.5));
    p.setBrush(QColor(250, 170, 30));
    p.drawEllipse(QRectF(6, 6, 2.5, 2.5));
    p.setPen(QPen(QColor(20, 20, 20), 1));
    p.setBrush(QColor(200, 200, 205));
    p.drawEllipse(QRectF(10, 5, 4, 4));
    p.setPen(QPen(QColor(170, 175, 185), 1));
    p.drawLine(QPointF(2, 11), QPointF(14, 11));
}

void PaintPort(QPainter& p)
{
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.setBrush(QColor(120, 120, 128));
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    p.setBrush(QColor(40, 40, 44));
    p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 200, 90));
    // Five pins on a circle, the way a DMX socket looks from the front.
    for (int i = 0; i < 5; ++i) {
        const double angle = -M_PI / 2 + i * 2 * M_PI / 5;
        p.drawEllipse(QPointF(8 + 3.3 * std::cos(angle), 8 + 3.3 * std::sin(angle)), 1.1, 1.1);
    }
}

} // namespace

QIcon DeviceRootIcon()
{
    return MakeIcon(PaintRoot);
}

QIcon DeviceNodeIcon()
{
    return MakeIcon(PaintNode);
}

QIcon DevicePortIcon()
{
    return MakeIcon(PaintPort);
}
