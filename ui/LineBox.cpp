#include "ui/LineBox.h"

#include <QCoreApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QTextDocument>
#include <deque>

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

QPixmap LineBox::sharedGround()
{
    // Boxes of one make (the four kind boxes, the four address boxes, ...) share one picture.
    // Their palettes are equal but not one, so they are compared by value, which happens only
    // when a box's own key changes. A handful of makes exist; the oldest goes past that.
    struct Shared {
        QSize size;
        qreal ratio;
        QPalette palette;
        bool enabled;
        QPalette::ColorRole role;
        const QStyle *style;
        int frameStyle, lineWidth, midLineWidth;
        QPixmap picture;
    };
    static std::deque<Shared> shared;
    // Pictures go with the application object, not after it.
    static const bool cleared = [] {
        qAddPostRoutine([] { shared.clear(); });
        return true;
    }();
    (void)cleared;
    const QPalette &pal = palette();
    for (const Shared &s : shared) {
        if (s.size == size() && s.ratio == m_groundKey.ratio && s.enabled == isEnabled() &&
            s.role == backgroundRole() && s.style == style() && s.frameStyle == frameStyle() &&
            s.lineWidth == lineWidth() && s.midLineWidth == midLineWidth() &&
            s.palette.currentColorGroup() == pal.currentColorGroup() && s.palette == pal)
            return s.picture;
    }
    QPixmap picture(size() * m_groundKey.ratio);
    picture.setDevicePixelRatio(m_groundKey.ratio);
    picture.fill(Qt::transparent);
    {
        QPainter p(&picture);
        p.fillRect(rect(), pal.brush(backgroundRole()));
        drawFrame(&p);
    }
    // A copy leaves behind the paint engine the drawing made, which would stay with the picture.
    picture = picture.copy();
    shared.push_back({size(), m_groundKey.ratio, pal, isEnabled(), backgroundRole(), style(),
                      frameStyle(), lineWidth(), midLineWidth(), picture});
    if (shared.size() > 16)
        shared.pop_front();
    return picture;
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
        m_ground = sharedGround();
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
