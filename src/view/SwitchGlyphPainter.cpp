#include "view/SwitchGlyphPainter.h"

#include "app/library/FixtureType.h"
#include "shell/toolkit/ModelText.h"

#include <QFontMetrics>
#include <QPainter>

void DrawCentredText(QPainter& painter, const QRect& area, bool vertical, const QString& text)
{
    if (text.isEmpty() || area.isEmpty())
        return;
    const QFontMetrics fm = painter.fontMetrics();
    const int length = fm.horizontalAdvance(text);
    const int height = fm.height();
    const int along = vertical ? area.height() : area.width();
    const int across = vertical ? area.width() : area.height();
    if (length > along || height > across)
        return;
    if (!vertical) {
        painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, text);
        return;
    }
    painter.save();
    painter.translate(area.center().x() + 1, area.center().y() + 1);
    painter.rotate(-90);
    painter.drawText(QRect(-area.height() / 2, -area.width() / 2, area.height(), area.width()),
        Qt::AlignCenter | Qt::TextSingleLine, text);
    painter.restore();
}

void DrawSwitchGlyph(QPainter& painter, const CFixtureType& type, const QRect& target, int address)
{
    const CGlyphRect r { target.left(), target.top(), target.left() + target.width(),
        target.top() + target.height() };
    DrawSwitchGlyph(painter, type, LayoutSwitchGlyph(type, r, address));
}

void DrawSwitchGlyph(QPainter& painter, const CFixtureType& type, const CSwitchGlyphLayout& g)
{
    if (!g.visible || g.block.Width() < 1 || g.block.Height() < 1)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QPen outline(Qt::black, 1);
    const QBrush grey(QColor(150, 150, 150));
    painter.fillRect(ToQRect(g.block), Qt::white);

    QFont font("Arial");
    font.setFamilies({ "Arial", "Liberation Sans", "DejaVu Sans" });
    font.setPixelSize(std::max(g.fontHeight, 1));
    font.setItalic(true);
    font.setWeight(QFont::Normal);
    painter.setFont(font);
    painter.setPen(QColor(50, 50, 50));
    if (g.fontHeight > 0) {
        DrawCentredText(painter, ToQRect(g.onLabel), g.vertical, FromModelText(type.textOn));
        DrawCentredText(painter, ToQRect(g.offLabel), g.vertical, FromModelText(type.textOff));
    }

    // Outlines are drawn inside the cell so that neighbouring cells share no pixel.
    auto outlined = [](const CGlyphRect& r) {
        return QRect(r.left, r.top, std::max(r.Width() - 1, 0), std::max(r.Height() - 1, 0));
    };
    for (const CSwitchCell& c : g.cells) {
        painter.setPen(outline);
        painter.setBrush(grey);
        painter.drawRect(outlined(c.body));
        if (g.fontHeight > 0) {
            painter.setPen(QColor(50, 50, 50));
            DrawCentredText(painter, ToQRect(c.numberArea), g.vertical, QString::number(c.number));
        }
    }
    for (const CSwitchKnob& k : g.knobs) {
        painter.setPen(outline);
        painter.setBrush(Qt::white);
        painter.drawRect(outlined(k.body));
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawEllipse(ToQRect(k.knob));
    }
    painter.restore();
}
