// The lamps' pictures, and the fixed colours and pictures on a dark palette.
#include "link/Frames.h"
#include "tests/ui/FormFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTest>

class tst_Form1Pictures : public QObject
{
    Q_OBJECT

    FormFixture m_forms;

private slots:
    void lampsFollowTheLineAndRedrawOnlyOnChange()
    {
        TForm1 form(m_forms.options());
        form.show();
        FakePort port;
        form.context().link.setPort(&port);
        int refreshes = 0;
        form.displayLines().UpdateChannelMonitor = [&refreshes](int, const QString &,
                                                                const QString &) { ++refreshes; };
        auto colour = [&form](int k) {
            return form.findChild<QWidget *>(QStringLiteral("Image%1").arg(k))
                ->grab()
                .toImage()
                .pixelColor(8, 8);
        };

        // Before any IN or OUT line, on and off both use the bright green picture.
        receive(form, port, Frames::displayFrame('r', 0x70, '3', "000", "8000"));
        QCOMPARE(colour(0), QColor(0, 255, 0));
        QCOMPARE(colour(1), QColor(0, 255, 0));

        const QByteArray out = Frames::displayFrame('r', 0x76, '2', "016", "8001");
        receive(form, port, out);
        QCOMPARE(colour(32), QColor(255, 0, 0));
        QCOMPARE(colour(47), QColor(255, 0, 0));
        for (int k = 33; k <= 46; ++k)
            QCOMPARE(colour(k), QColor(128, 0, 0));
        QCOMPARE(refreshes, 2);
        // Again: the first refresh remembered the cursor line before this frame moved it.
        receive(form, port, out);
        QCOMPARE(refreshes, 3);
        // A third time: nothing changed, nothing is redrawn.
        receive(form, port, out);
        QCOMPARE(refreshes, 3);

        // An IN line turns its lamps green; the red line keeps its pictures.
        receive(form, port, Frames::displayFrame('r', 0x71, '1', "000", "0001"));
        QCOMPARE(colour(31), QColor(0, 255, 0));
        QCOMPARE(colour(16), QColor(0, 128, 0));
        QCOMPARE(colour(32), QColor(255, 0, 0));
        // Lower-case data lights nothing.
        receive(form, port, Frames::displayFrame('r', 0x71, '1', "000", "12ab"));
        QCOMPARE(colour(16 + 3), QColor(0, 255, 0));
        QCOMPARE(colour(16 + 6), QColor(0, 255, 0));
        QCOMPARE(colour(16 + 8), QColor(0, 128, 0));
        QCOMPARE(colour(16 + 15), QColor(0, 128, 0));
    }

    void fixedBackgroundsAndPicturesReadOnADarkPalette()
    {
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(40, 40, 40));
        dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
        dark.setColor(QPalette::Button, QColor(50, 50, 50));
        dark.setColor(QPalette::ButtonText, QColor(240, 240, 240));
        const QPalette before = QApplication::palette();
        QApplication::setPalette(dark);
        TForm1 form(m_forms.options());
        FakePort port;
        form.context().link.setPort(&port);
        receive(form, port, Frames::displayFrame('p', 0x70, '1', "000", "0000")); // monitor
        auto *status = form.findChild<QLabel *>("Status");
        QCOMPARE(status->palette().color(QPalette::Window), QColor(0, 255, 255));
        QCOMPARE(status->palette().color(QPalette::WindowText), QColor(Qt::black));
        auto *rec = form.findChild<QLabel *>("RecIndicator");
        QCOMPARE(rec->palette().color(QPalette::WindowText), QColor(Qt::black));
        const auto ink = [](QAbstractButton *b) {
            const QImage picture = b->icon().pixmap(16, 16).toImage();
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                    if (qAlpha(picture.pixel(x, y)) == 255)
                        return QColor(picture.pixel(x, y));
            return QColor();
        };
        for (const char *key : {"btnUP", "btnDOWN", "btnLEFT", "btnRIGHT", "btnENT"}) {
            auto *b = form.findChild<QAbstractButton *>(key);
            QCOMPARE(ink(b), QColor(240, 240, 240));
        }
        // Back to a light palette while running: the pictures follow.
        QPalette light = dark;
        light.setColor(QPalette::Window, QColor(240, 240, 240));
        light.setColor(QPalette::WindowText, Qt::black);
        light.setColor(QPalette::Button, QColor(230, 230, 230));
        light.setColor(QPalette::ButtonText, QColor(10, 10, 10));
        QApplication::setPalette(light);
        auto *up = form.findChild<QAbstractButton *>("btnUP");
        QTRY_COMPARE(ink(up), QColor(10, 10, 10));
        QApplication::setPalette(before);
    }
};

QTEST_MAIN(tst_Form1Pictures)
#include "tst_form1pictures.moc"
