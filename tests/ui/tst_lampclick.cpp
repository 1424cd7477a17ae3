// Mouse events travel through the window as a user's would, so that a click lands on whatever
// element lies on top at that point and a right click raises a context menu request.
#define QTEST_QPA_MOUSE_HANDLING

#include "tests/ui/BitPanelFixture.h"

using namespace BitPanelTest;

// Lamp clicks walking the unit's cursor, and clicks on the cursor itself.
class tst_LampClick : public QObject
{
    Q_OBJECT

private slots:
    void lampClickDrivesTheUnitsCursor_data()
    {
        QTest::addColumn<QString>("order");
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("lamp");
        QTest::addColumn<QList<QByteArray>>("codes");
        QTest::addColumn<int>("end");

        QTest::newRow("0 to lamp 0: left only") << "R" << 0 << "Image0" << repeated("24", 15) << 15;
        QTest::newRow("0 to lamp 63: down only")
            << "R" << 0 << "Image63" << repeated("27", 3) << 48;
        QTest::newRow("63 to lamp 15: up, then right")
            << "R" << 63 << "Image15" << repeated("22", 3) + repeated("25", 15) << 0;
        QTest::newRow("63 to lamp 15, order L: same keys")
            << "L" << 63 << "Image15" << repeated("22", 3) + repeated("25", 15) << 0;
        QTest::newRow("100 to lamp 36: within the row of a later block")
            << "R" << 100 << "Image36" << repeated("24", 7) << 107;
        QTest::newRow("comment panel lamp 79 stands for lamp 15")
            << "R" << 63 << "Image79" << repeated("22", 3) + repeated("25", 15) << 0;
    }

    void lampClickDrivesTheUnitsCursor()
    {
        QFETCH(QString, order);
        QFETCH(int, start);
        QFETCH(QString, lamp);
        QFETCH(QList<QByteArray>, codes);
        QFETCH(int, end);

        Window w(order);
        w.ctx.link.setBitMode(true);
        w.ctx.link.setDebugMode(true);
        FakeUnit unit(w, start);
        w.panel->PlaceBitCursor(w.addr1()->text());
        w.cursor()->show();
        w.showForClicks();

        QTest::mouseClick(w.el(lamp), Qt::LeftButton, {}, centre(w.el(lamp)));
        QCOMPARE(unit.codes, codes);
        QCOMPARE(w.addr1()->text(), FakeUnit::text(end));
        QVERIFY(!w.panel->isMoving());
        QVERIFY(w.statusBar->currentMessage().isEmpty());
    }

    void lampClickOutsideBitModeUnderDebugSendsNothing_data()
    {
        QTest::addColumn<bool>("bitMode");
        QTest::addColumn<bool>("debug");
        QTest::newRow("data mode, debug") << false << true;
        QTest::newRow("bit mode, monitor") << true << false;
        QTest::newRow("data mode, monitor") << false << false;
    }

    void lampClickOutsideBitModeUnderDebugSendsNothing()
    {
        QFETCH(bool, bitMode);
        QFETCH(bool, debug);
        Window w;
        w.ctx.link.setBitMode(bitMode);
        w.ctx.link.setDebugMode(debug);
        FakeUnit unit(w, 0);
        w.showForClicks();
        QTest::mouseClick(w.lamp(0), Qt::LeftButton, {}, centre(w.lamp(0)));
        QCOMPARE(w.port.sendCount, 0);
    }

    void moveStopsWhenTheUnitDoesNotAnswer_data()
    {
        QTest::addColumn<bool>("closePort");
        QTest::newRow("unit silent") << false;
        QTest::newRow("port closed during the wait") << true;
    }

    void moveStopsWhenTheUnitDoesNotAnswer()
    {
        QFETCH(bool, closePort);
        Window w;
        w.ctx.link.setBitMode(true);
        w.ctx.link.setDebugMode(true);
        FakeUnit unit(w, 0);
        unit.answers = false;
        if (closePort)
            unit.onFirstKey = [&] {
                QTimer::singleShot(50, &w.form, [&] { w.port.open = false; });
            };

        QElapsedTimer elapsed;
        elapsed.start();
        w.panel->MoveCursorToLamp(0);
        QCOMPARE(unit.codes, QList<QByteArray>{"24"});
        QCOMPARE(w.statusBar->currentMessage(), BitPanel::noAnswerMessage());
        QVERIFY(!w.panel->isMoving());
        if (closePort)
            QVERIFY(elapsed.elapsed() < BitPanel::kAnswerTimeout.count());
        else
            QVERIFY(elapsed.elapsed() >= BitPanel::kAnswerTimeout.count());

        // The stopped move leaves nothing behind: the next click runs in full.
        w.port.open = true;
        unit.answers = true;
        unit.codes.clear();
        w.panel->MoveCursorToLamp(14); // bit 1, one to the left of bit 0
        QCOMPARE(unit.codes, QList<QByteArray>{"24"});
    }

    void closingTheWindowEndsTheMove_data()
    {
        QTest::addColumn<bool>("answers");
        QTest::newRow("unit answering: no key after the close") << true;
        QTest::newRow("unit silent: the wait ends with the close") << false;
    }

    void closingTheWindowEndsTheMove()
    {
        QFETCH(bool, answers);
        Window w;
        w.ctx.link.setBitMode(true);
        w.ctx.link.setDebugMode(true);
        w.showForClicks();
        FakeUnit unit(w, 0);
        unit.answers = answers;
        // Queued ahead of the unit's answer to the first key.
        unit.onFirstKey = [&] {
            QTimer::singleShot(answers ? 0 : 50, &w.form, [&] { w.form.close(); });
        };

        QElapsedTimer elapsed;
        elapsed.start();
        w.panel->MoveCursorToLamp(0); // fifteen presses to the left
        QVERIFY(elapsed.elapsed() < BitPanel::kAnswerTimeout.count());
        QCOMPARE(unit.codes, QList<QByteArray>{"24"});
        QVERIFY(!w.panel->isMoving());
        QVERIFY(w.statusBar->currentMessage().isEmpty());

        // Shown again, the window's next click runs in full.
        unit.onFirstKey = nullptr;
        unit.answers = true;
        unit.codes.clear();
        unit.address = 0;
        w.addr1()->setText(FakeUnit::text(0));
        w.showForClicks();
        w.panel->MoveCursorToLamp(13); // bit 2
        QCOMPARE(unit.codes, repeated("24", 2));
    }

    void clickDuringAMoveIsIgnored()
    {
        Window w;
        w.ctx.link.setBitMode(true);
        w.ctx.link.setDebugMode(true);
        FakeUnit unit(w, 0);
        // A second click arrives while the first move waits for its first answer.
        unit.onFirstKey = [&] {
            QTimer::singleShot(0, &w.form, [&] { emit w.lamp(63)->clicked(); });
        };
        w.panel->MoveCursorToLamp(0);
        QCOMPARE(unit.codes, repeated("24", 15));
    }

    void clickWithUnreadableAddressSendsNothing()
    {
        Window w;
        w.ctx.link.setBitMode(true);
        w.ctx.link.setDebugMode(true);
        FakeUnit unit(w, 0);
        w.addr1()->setText("W01");
        w.panel->MoveCursorToLamp(0);
        QCOMPARE(w.port.sendCount, 0);
    }

    void clicksOnTheCursor()
    {
        Window w;
        w.ctx.link.setBitMode(true);
        w.ctx.link.setDebugMode(true);
        FakeUnit unit(w, 0);
        w.panel->PlaceBitCursor("010"); // on lamp 5
        w.cursor()->show();
        w.showForClicks();
        QSignalSpy lampClicks(w.lamp(5), &ImageBox::clicked);

        // The cursor lies above the lamp: a left click there reaches neither the lamp nor the
        // unit.
        QCOMPARE(w.client->childAt(w.lamp(5)->geometry().center()), w.cursor());
        QTest::mouseClick(w.cursor(), Qt::LeftButton, {}, centre(w.cursor()));
        QCOMPARE(lampClicks.count(), 0);
        QCOMPARE(w.port.sendCount, 0);

        QTest::mouseClick(w.cursor(), Qt::RightButton, {}, centre(w.cursor()));
        QCOMPARE(w.port.sent, QByteArray("*3029"));

        w.port.sent.clear();
        QTest::mouseClick(w.lamp(20), Qt::RightButton, {}, centre(w.lamp(20)));
        QVERIFY(w.port.sent.isEmpty());
    }
};

QTEST_MAIN(tst_LampClick)
#include "tst_lampclick.moc"
