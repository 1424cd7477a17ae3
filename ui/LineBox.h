#pragma once

#include <QLabel>
#include <QPalette>
#include <QPixmap>

// A display-line box (IO, Addr, Data, BitAddrTxt): a label with a sunken panel frame on a filled
// ground. The ground and frame never change while the text does, dozens of times a second, so
// they are drawn once into a picture and a repaint draws that picture and the text; what it
// shows is what the label itself draws, pixel for pixel.
class LineBox : public QLabel
{
    Q_OBJECT
public:
    explicit LineBox(const QString &text, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // What the ground and frame are drawn from; a change of any of them draws them again.
    struct GroundKey {
        QSize size;
        qreal ratio = 0;
        qint64 palette = 0;
        QPalette::ColorGroup group = QPalette::Active;
        bool enabled = false;
        int frameStyle = 0;
        int lineWidth = 0;
        int midLineWidth = 0;
        bool operator==(const GroundKey &) const = default;
    };
    GroundKey groundKey() const;
    QPixmap sharedGround();

    QPixmap m_ground;
    GroundKey m_groundKey;
};
