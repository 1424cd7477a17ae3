#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

// A picture element: shows a copy of a pixmap at its top-left corner and reports left clicks
// and right clicks. The bit lamps are ImageBoxes; each carries the number of the lamp whose
// bit it stands for (lampNumber).
class ImageBox : public QWidget
{
    Q_OBJECT
public:
    explicit ImageBox(QWidget *parent = nullptr);

    const QPixmap &picture() const { return m_picture; }
    void setPicture(const QPixmap &picture);

    // A ground colour fills what the picture leaves of the element, and the element then paints
    // every one of its pixels itself: a repaint of it draws nothing beneath it (the lamps sit on
    // a black frame and change dozens of times a second). An invalid colour (the default)
    // leaves the rest to what lies beneath.
    void setGround(const QColor &ground);
    QColor ground() const { return m_ground; }

    int lampNumber() const { return m_lampNumber; }
    void setLampNumber(int number) { m_lampNumber = number; }

    // What a lamp shows, for assistive technology: whether its bit is on, and the colour kind
    // of its pictures. Its accessible interface reports the state as checked or not and names
    // it, with the colour, in its description; a change is announced only while an assistive
    // client listens, so the frame stream pays nothing for it otherwise.
    enum class Colour { None, Green, Red };
    void setLampState(bool on, Colour colour);
    bool isOn() const { return m_on; }
    Colour colour() const { return m_colour; }
    // "点灯" or "消灯", then the colour ("緑", "赤") when the lamp has one.
    QString stateText() const;

signals:
    void clicked();
    void rightClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPixmap m_picture;
    QColor m_ground;
    int m_lampNumber = 0;
    bool m_on = false;
    Colour m_colour = Colour::None;
};
