// Where the window opens: a saved position off the screens is brought into view.
#include "platform/ProfileFile.h"
#include "tests/ui/FormFixture.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

class tst_Form1Placement : public QObject
{
    Q_OBJECT

    FormFixture m_forms;

private slots:
    void savedPositionOffTheScreensIsMovedIntoViewAndWrittenBack_data()
    {
        QTest::addColumn<QByteArray>("top");
        QTest::addColumn<QByteArray>("left");
        QTest::addColumn<bool>("kept");
        QTest::newRow("in view") << QByteArray("120") << QByteArray("30") << true;
        QTest::newRow("far up and left") << QByteArray("-5000") << QByteArray("-5000") << false;
        QTest::newRow("far down and right") << QByteArray("5000") << QByteArray("5000") << false;
        QTest::newRow("caption above the screen") << QByteArray("-20") << QByteArray("10") << false;
        QTest::newRow("left edge off") << QByteArray("50") << QByteArray("-20") << false;
        QTest::newRow("largest number")
            << QByteArray("2147483647") << QByteArray("2147483647") << false;
        QTest::newRow("smallest number")
            << QByteArray("-2147483648") << QByteArray("-2147483648") << false;
    }

    void savedPositionOffTheScreensIsMovedIntoViewAndWrittenBack()
    {
        QFETCH(QByteArray, top);
        QFETCH(QByteArray, left);
        QFETCH(bool, kept);
        const TForm1::Options o =
            m_forms.options("[WINDOW]\r\nTop=" + top + "\r\nLeft=" + left + "\r\n");
        QPoint placed;
        {
            TForm1 form(o);
            placed = form.pos();
            const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
            if (kept)
                QCOMPARE(placed, QPoint(left.toInt(), top.toInt()));
            QVERIFY2(area.contains(placed) && area.contains(placed + QPoint(99, 29)),
                     qPrintable(QStringLiteral("%1,%2").arg(placed.x()).arg(placed.y())));
        }
        const ProfileFile ini(o.settingsPath);
        QCOMPARE(QPoint(ini.readInt("WINDOW", "Left", -1), ini.readInt("WINDOW", "Top", -1)),
                 placed);
    }
};

QTEST_MAIN(tst_Form1Placement)
#include "tst_form1placement.moc"
