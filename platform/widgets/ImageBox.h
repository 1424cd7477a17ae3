#pragma once

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

    int lampNumber() const { return m_lampNumber; }
    void setLampNumber(int number) { m_lampNumber = number; }

signals:
    void clicked();
    void rightClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPixmap m_picture;
    int m_lampNumber = 0;
};
