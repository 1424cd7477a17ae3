// The settings file a window starts from and writes back at its end, and what the command line
// gives it.
#include "link/Frames.h"
#include "platform/Exceptions.h"
#include "platform/SjisText.h"
#include "tests/ui/FormFixture.h"

#include <QFile>
#include <QTest>

class tst_Form1Settings : public QObject
{
    Q_OBJECT

    FormFixture m_forms;

private slots:
    void startsWithDefaultsAndWritesThemOnExit()
    {
        const TForm1::Options o = m_forms.options();
        {
            TForm1 form(o);
            QCOMPARE(form.pos(), QPoint(10, 50));
            QCOMPARE(checkedPortItem(form), QString("COM011"));
            QCOMPARE(form.windowTitle(), QStringLiteral("QXモニター[COM1]"));
            QCOMPARE(form.outerSize(), QSize(694, 332));
            QCOMPARE(form.context().BitOrder, QString("R"));
            QCOMPARE(form.context().statusBar->currentMessage(),
                     QStringLiteral("最初にシリアルポートを指定してください"));
            for (int n = 1; n <= 4; ++n) {
                QCOMPARE(text(form, qPrintable(QStringLiteral("IO%1").arg(n))), QString("--"));
                QCOMPARE(text(form, qPrintable(QStringLiteral("Addr%1").arg(n))), QString("000"));
                QCOMPARE(text(form, qPrintable(QStringLiteral("Data%1").arg(n))), QString("0000"));
            }
            QVERIFY(action(form, "New1")->isEnabled());
            QVERIFY(!action(form, "Save1")->isEnabled());
            QVERIFY(!action(form, "SaveAs1")->isEnabled());
            QVERIFY(!action(form, "MenuFileDisconnect")->isEnabled());
            QVERIFY(!action(form, "MenuMode")->isEnabled());
            QVERIFY(!action(form, "GoTo1")->isEnabled());
            QVERIFY(action(form, "P1")->isEnabled());
            QCOMPARE(form.context().ControlTable.size(), 304);
            QCOMPARE(form.context().ControlTable[4]->objectName(), QString("IO1"));
            QCOMPARE(form.context().ControlTable[15]->objectName(), QString("Data4"));
            QVERIFY(form.findChild<QWidget *>("RecIndicator")->isHidden());
            QVERIFY(!QFile::exists(o.settingsPath)); // nothing is written until the end
        }
        QCOMPARE(readFile(o.settingsPath),
                 QByteArray("[WINDOW]\r\nTop=50\r\nLeft=10\r\n[COM]\r\nPort=1\r\n[BITORDER]\r\n"
                            "LSB=R\r\n[QXMODE]\r\nMode=0\r\nCommentOn=0\r\nCommentEdit=0\r\n"));
    }

    void appliesSettings_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QSize>("outer");
        QTest::addColumn<QString>("order");
        QTest::newRow("port 7") << QByteArray("[COM]\nPort=7\n") << "COM071"
                                << QStringLiteral("QXモニター[COM7]") << QSize(694, 332) << "R";
        QTest::newRow("port 16") << QByteArray("[com]\nport=16\n") << "COM161"
                                 << QStringLiteral("QXモニター[COM16]") << QSize(694, 332) << "R";
        QTest::newRow("port outside 1..16 checks no item")
            << QByteArray("[COM]\nPort=20\n") << "" << QStringLiteral("QXモニター[COM20]")
            << QSize(694, 332) << "R";
        QTest::newRow("non-integer port is the default")
            << QByteArray("[COM]\nPort=two\n") << "COM011" << QStringLiteral("QXモニター[COM1]")
            << QSize(694, 332) << "R";
        QTest::newRow("L order") << QByteArray("[BITORDER]\nLSB=L\n") << "COM011"
                                 << QStringLiteral("QXモニター[COM1]") << QSize(694, 332) << "L";
        QTest::newRow("unknown order is R")
            << QByteArray("[BITORDER]\nLSB=x\n") << "COM011" << QStringLiteral("QXモニター[COM1]")
            << QSize(694, 332) << "R";
        QTest::newRow("panels on") << QByteArray("[QXMODE]\nCommentOn=1\n") << "COM011"
                                   << QStringLiteral("QXモニター[COM1]") << QSize(694, 722) << "R";
        QTest::newRow("editor on, panels off")
            << QByteArray("[QXMODE]\nCommentOn=0\nCommentEdit=1\n") << "COM011"
            << QStringLiteral("QXモニター[COM1]") << QSize(920, 332) << "R";
        QTest::newRow("both on") << QByteArray("[QXMODE]\nCommentOn=1\nCommentEdit=1\n") << "COM011"
                                 << QStringLiteral("QXモニター[COM1]") << QSize(920, 722) << "R";
        QTest::newRow("flag 257 keeps its low byte: on")
            << QByteArray("[QXMODE]\nCommentOn=257\n") << "COM011"
            << QStringLiteral("QXモニター[COM1]") << QSize(694, 722) << "R";
    }

    void appliesSettings()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, item);
        QFETCH(QString, title);
        QFETCH(QSize, outer);
        QFETCH(QString, order);
        TForm1 form(m_forms.options(ini));
        QCOMPARE(checkedPortItem(form), item);
        QCOMPARE(form.windowTitle(), title);
        QCOMPARE(form.outerSize(), outer);
        QCOMPARE(form.context().BitOrder, order);
    }

    void keepsForeignKeysAndWritesMovedPosition()
    {
        const TForm1::Options o = m_forms.options(
            "; notes\r\n[WINDOW]\r\nTop=5\r\nLeft=6\r\nWidth=99\r\n[MINE]\r\nx=y\r\n"
            "[BITORDER]\r\nLSB=L\r\n");
        {
            TForm1 form(o);
            form.move(123, 77);
        }
        const QByteArray after = readFile(o.settingsPath);
        QVERIFY(after.startsWith("; notes\r\n[WINDOW]\r\nTop=77\r\nLeft=123\r\nWidth=99\r\n"
                                 "[MINE]\r\nx=y\r\n[BITORDER]\r\nLSB=L\r\n"));
        QVERIFY(after.contains("[QXMODE]\r\nMode=0\r\nCommentOn=0\r\nCommentEdit=0\r\n"));
    }

    void failedSettingsWriteIsReportedAndStopsAtTheKey()
    {
        TForm1::Options o;
        o.settingsPath = m_forms.files.path("missing-folder/qxwatch.ini");
        TForm1 form(o);
        try {
            form.SaveSettings();
            QFAIL("no error");
        } catch (const EFCreateError &e) {
            QCOMPARE(e.message(), QStringLiteral("%1 に書き込めません").arg(o.settingsPath));
        }
        // Destruction writes again and fails again: reported on standard error, not thrown.
    }

    void commentFileFromTheCommandLineShowsBesideTheLamps()
    {
        TForm1::Options o = m_forms.options("[QXMODE]\r\nCommentOn=1\r\n");
        const QString csv = m_forms.files.path("comments.csv");
        QVERIFY(SettingsFiles::write(
            csv, toSjis(QStringLiteral("BI,16,非常停止\r\nBI,17,\"運転, 準備\"\r\n"
                                       "WO,81,バルブ開\r\n"))));
        o.arguments = {csv};
        TForm1 form(o);
        QVERIFY(form.findChild<QAction *>("Save1")->isEnabled());
        FakePort port;
        form.context().link.setPort(&port);
        // Line 2 shows the inputs from bit 16 on; line 4 the output word 5.
        receive(form, port, Frames::displayFrame('r', 0x71, '1', "016", "0003"));
        receive(form, port, Frames::displayFrame('r', 0x73, '2', "W05", "0002"));
        QCOMPARE(text(form, "Lab16"), QString("16"));
        QCOMPARE(text(form, "CmntEdit16"), QStringLiteral("非常停止"));
        QCOMPARE(text(form, "CmntEdit17"), QStringLiteral("運転, 準備"));
        QCOMPARE(text(form, "Lab49"), QString("5-1"));
        QCOMPARE(text(form, "CmntEdit49"), QStringLiteral("バルブ開"));
        QCOMPARE(text(form, "CmntEdit48"), QString());
    }
};

QTEST_MAIN(tst_Form1Settings)
#include "tst_form1settings.moc"
