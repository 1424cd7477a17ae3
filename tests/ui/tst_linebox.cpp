// A line box draws its ground and frame from a kept picture: what it shows must stay what a
// label of the same make shows, before and after its text, ink, state or size changes.
#include "ui/LineBox.h"

#include <QFrame>
#include <QImage>
#include <QTest>
#include <functional>

namespace
{

// The make of the display-line boxes: sunken panel, white ground, black bold text, centred.
void makeLikeALineBox(QLabel &box, const QString &text, const QSize &size)
{
    box.setText(text);
    box.setFixedSize(size);
    box.setAlignment(Qt::AlignCenter);
    box.setFrameStyle(QFrame::Panel | QFrame::Sunken);
    box.setAutoFillBackground(true);
    QPalette pal = box.palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    box.setPalette(pal);
    QFont font = box.font();
    font.setBold(true);
    box.setFont(font);
}

QImage shot(QWidget &w)
{
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

using Change = std::function<void(QLabel &)>;
Q_DECLARE_METATYPE(Change)

class tst_LineBox : public QObject
{
    Q_OBJECT

private slots:
    void drawsWhatTheLabelDraws_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<Change>("change");

        const QSize data(49, 20);
        const Change none = [](QLabel &) {};
        QTest::newRow("data word") << "0000" << data << none;
        QTest::newRow("kind") << "IN" << QSize(33, 20) << none;
        QTest::newRow("blank address") << "   " << QSize(33, 20) << none;
        QTest::newRow("bit range, wide") << QStringLiteral("000 ～ 063") << QSize(69, 20) << none;
        QTest::newRow("text wider than the box") << "ABCDEFGHIJKL" << data << none;
        QTest::newRow("unit text that reads as rich text") << "<b>1</b>" << data << none;
        QTest::newRow("right-to-left text") << QStringLiteral("\u05D0\u05D1") << data << none;
        QTest::newRow("new text") << "0000" << data
                                  << Change([](QLabel &b) { b.setText(QStringLiteral("FFFF")); });
        QTest::newRow("greyed ink (stale display)") << "1234" << data << Change([](QLabel &b) {
            QPalette pal = b.palette();
            pal.setColor(QPalette::WindowText, QColor(128, 128, 128));
            b.setPalette(pal);
        });
        QTest::newRow("another ground") << "1234" << data << Change([](QLabel &b) {
            QPalette pal = b.palette();
            pal.setColor(QPalette::Window, QColor(0, 255, 255));
            b.setPalette(pal);
        });
        QTest::newRow("disabled") << "1234" << data
                                  << Change([](QLabel &b) { b.setEnabled(false); });
        QTest::newRow("resized") << "1234" << data
                                 << Change([](QLabel &b) { b.setFixedSize(69, 24); });
        QTest::newRow("raised frame")
            << "1234" << data
            << Change([](QLabel &b) { b.setFrameStyle(QFrame::Panel | QFrame::Raised); });
        QTest::newRow("left aligned, indented from the frame")
            << "12" << data
            << Change([](QLabel &b) { b.setAlignment(Qt::AlignLeft | Qt::AlignVCenter); });
        QTest::newRow("margin") << "12" << data << Change([](QLabel &b) { b.setMargin(3); });
    }

    void drawsWhatTheLabelDraws()
    {
        QFETCH(QString, text);
        QFETCH(QSize, size);
        QFETCH(Change, change);

        QLabel label;
        LineBox box(QString{});
        makeLikeALineBox(label, text, size);
        makeLikeALineBox(box, text, size);
        QCOMPARE(shot(box), shot(label));

        // Drawn once already: the kept ground must follow what changed.
        change(label);
        change(box);
        QCOMPARE(shot(box), shot(label));
    }
};

QTEST_MAIN(tst_LineBox)
#include "tst_linebox.moc"
