#include "platform/widgets/ImageBox.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

ImageBox::ImageBox(QWidget *parent) : QWidget(parent) {}

void ImageBox::setPicture(const QPixmap &picture)
{
    if (m_picture.cacheKey() == picture.cacheKey())
        return;
    m_picture = picture;
    update();
}

void ImageBox::setGround(const QColor &ground)
{
    if (m_ground == ground)
        return;
    m_ground = ground;
    setAttribute(Qt::WA_OpaquePaintEvent, m_ground.isValid() && m_ground.alpha() == 255);
    update();
}

void ImageBox::paintEvent(QPaintEvent *event)
{
    if (m_picture.isNull() && !m_ground.isValid())
        return;
    QPainter painter(this);
    if (m_ground.isValid()) {
        // Only the strips the picture does not cover (or all of it without one).
        QRegion rest = QRegion(event->rect());
        if (!m_picture.isNull() && !m_picture.hasAlphaChannel())
            rest -= QRect(QPoint(0, 0), m_picture.deviceIndependentSize().toSize());
        for (const QRect &r : rest)
            painter.fillRect(r, m_ground);
    }
    if (!m_picture.isNull())
        painter.drawPixmap(0, 0, m_picture);
}

void ImageBox::mouseReleaseEvent(QMouseEvent *event)
{
    if (!rect().contains(event->position().toPoint()))
        return;
    if (event->button() == Qt::LeftButton)
        emit clicked();
    else if (event->button() == Qt::RightButton)
        emit rightClicked();
}
