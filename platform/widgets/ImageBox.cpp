#include "platform/widgets/ImageBox.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace
{

// A picture element as assistive technology sees it: an indicator whose checked state is the
// lamp's bit, described by its state text.
class ImageBoxAccessible : public QAccessibleWidget
{
public:
    explicit ImageBoxAccessible(ImageBox *box) : QAccessibleWidget(box, QAccessible::Indicator) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = box()->isOn();
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Description && box()->accessibleDescription().isEmpty())
            return box()->stateText();
        if (t == QAccessible::Value)
            return box()->stateText();
        return QAccessibleWidget::text(t);
    }

private:
    ImageBox *box() const { return static_cast<ImageBox *>(widget()); }
};

QAccessibleInterface *imageBoxAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("ImageBox") && object && object->isWidgetType())
        return new ImageBoxAccessible(static_cast<ImageBox *>(object));
    return nullptr;
}

} // namespace

ImageBox::ImageBox(QWidget *parent) : QWidget(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(imageBoxAccessible);
        return true;
    }();
    (void)installed;
}

void ImageBox::setLampState(bool on, Colour colour)
{
    if (m_on == on && m_colour == colour)
        return;
    const bool onChanged = m_on != on;
    m_on = on;
    m_colour = colour;
    if (!QAccessible::isActive())
        return;
    if (onChanged) {
        QAccessible::State changed;
        changed.checked = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    }
    QAccessibleEvent description(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&description);
}

QString ImageBox::stateText() const
{
    const QString state = m_on ? tr("点灯") : tr("消灯");
    switch (m_colour) {
    case Colour::Green:
        return state + tr(" 緑");
    case Colour::Red:
        return state + tr(" 赤");
    case Colour::None:
        break;
    }
    return state;
}

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
