#include "ui/LineBox.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QTextDocument>

LineBox::LineBox(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    // The picture covers every pixel: nothing beneath needs painting first, and the toolkit's
    // own fill of the ground is left out.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

LineBox::GroundKey LineBox::groundKey() const
{
    return {size(),      devicePixelRatio(), palette().cacheKey(), palette().currentColorGroup(),
            isEnabled(), frameStyle(),       lineWidth(),          midLineWidth()};
}

void LineBox::paintEvent(QPaintEvent *event)
{
    // A text the label would show as rich text (or a picture in place of text) is drawn by the
    // label itself, ground and frame included.
    const bool plain = textFormat() == Qt::PlainText ||
                       (textFormat() == Qt::AutoText && !Qt::mightBeRichText(text()));
    if (!plain || !pixmap().isNull()) {
        QPainter ground(this);
        ground.fillRect(rect(), palette().brush(backgroundRole()));
        ground.end();
        QLabel::paintEvent(event);
        return;
    }
    const GroundKey key = groundKey();
    if (m_ground.isNull() || !(key == m_groundKey)) {
        m_groundKey = key;
        m_ground = QPixmap(size() * key.ratio);
        m_ground.setDevicePixelRatio(key.ratio);
        m_ground.fill(Qt::transparent);
        QPainter p(&m_ground);
        p.fillRect(rect(), palette().brush(backgroundRole()));
        drawFrame(&p);
    }
    QPainter p(this);
    p.drawPixmap(0, 0, m_ground);
    // As the label lays out a plain text: inside the frame and the margin, indented from an
    // aligned edge (by default half an "x" in a framed label), in the text's own direction.
    const int m = margin();
    QRect inside = contentsRect().adjusted(m, m, -m, -m);
    const bool rightToLeft = text().isRightToLeft();
    const Qt::Alignment align =
        QStyle::visualAlignment(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight, alignment());
    const Qt::Alignment edges = Qt::AlignLeft | Qt::AlignRight | Qt::AlignTop | Qt::AlignBottom;
    int in = indent();
    // Centred text (the line boxes') touches no edge: the indent is not even worked out.
    if (in < 0 && frameWidth() > 0 && (align & edges))
        in = fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2 - m;
    if (in > 0) {
        if (align & Qt::AlignLeft)
            inside.setLeft(inside.left() + in);
        if (align & Qt::AlignRight)
            inside.setRight(inside.right() - in);
        if (align & Qt::AlignTop)
            inside.setTop(inside.top() + in);
        if (align & Qt::AlignBottom)
            inside.setBottom(inside.bottom() - in);
    }
    const int flags =
        int(align) | (rightToLeft ? Qt::TextForceRightToLeft : Qt::TextForceLeftToRight);
    style()->drawItemText(&p, inside, flags, palette(), isEnabled(), text(), foregroundRole());
}
