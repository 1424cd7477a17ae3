#include "tests/support/FakePort.h"
#include "ui/FormContext.h"
#include "ui/KeyPad.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <memory>

namespace
{

struct MenuItem {
    const char *name;
    QKeySequence shortcut;
};

// The menu items the main window makes for the keys, with their shortcuts.
const MenuItem kMenuItems[] = {
    {"Enable1", Qt::Key_F3},
    {"Mode1", Qt::Key_F4},
    {"IN1", Qt::Key_F5},
    {"OUT1", Qt::Key_F6},
    {"ID1", Qt::Key_F7},
    {"ERR1", Qt::Key_F8},
    {"ON1", Qt::Key_F9},
    {"DATA5", Qt::Key_F10},
    {"ENT1", Qt::Key_F11},
    {"CLR1", Qt::Key_Delete},
    {"MoveUP", QKeySequence(Qt::CTRL | Qt::Key_W)},
    {"MoveDOWN", QKeySequence(Qt::CTRL | Qt::Key_Z)},
    {"MoveLEFT", QKeySequence(Qt::CTRL | Qt::Key_A)},
    {"MoveRIGHT", QKeySequence(Qt::CTRL | Qt::Key_S)},
};

// A stand-in for the main window: the elements KeyPad expects the window to have made (tool
// strip keys, menus and their items, the bit panel's help text), a fake port, and the key pad.
struct Window {
    QWidget form;
    QWidget *client = new QWidget(&form);
    FakePort port;
    FormContext ctx;
    std::unique_ptr<KeyPad> pad;

    Window()
    {
        form.resize(685, 278);
        client->setGeometry(0, 0, 685, 278);
        for (const char *name : {"btnINIT", "btnMODE", "btnENB"}) {
            auto *b = new QPushButton(client);
            b->setObjectName(QLatin1String(name));
        }
        auto *help = new QLabel(QStringLiteral("help"), client);
        help->setObjectName(QStringLiteral("BitModeHelp"));
        for (const char *name : {"MenuMode", "GoTo1"}) {
            auto *menu = new QMenu(&form);
            menu->setObjectName(QLatin1String(name));
        }
        for (const MenuItem &item : kMenuItems) {
            auto *action = new QAction(QLatin1String(item.name), &form);
            action->setObjectName(QLatin1String(item.name));
            action->setShortcut(item.shortcut);
            form.addAction(action);
        }
        ctx.link.setPort(&port);
        ctx.form = &form;
        ctx.client = client;
        pad = std::make_unique<KeyPad>(ctx);
    }

    QPushButton *button(const QString &name) const
    {
        return client->findChild<QPushButton *>(name);
    }
    QAction *action(const QString &name) const { return form.findChild<QAction *>(name); }
};

} // namespace

class tst_KeyPad : public QObject
{
    Q_OBJECT

private slots:
    void everyKeySendsItsFrame_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("menuItem");
        QTest::addColumn<QByteArray>("frame");

        const auto row = [](const char *key, const char *button, const QString &caption,
                            const QString &hint, const char *item, const char *frame) {
            QTest::newRow(key) << QString::fromLatin1(button) << caption << hint
                               << QString::fromLatin1(item) << QByteArray(frame);
        };
        row("IN", "btnIN", "IN", "IN(F5)", "IN1", "*012b");
        row("OUT", "btnOUT", "OUT", "OUT(F6)", "OUT1", "*0228");
        row("ID", "btnID", "ID", "ID(F7)", "ID1", "*0329");
        row("ERR", "btnERR", "ERR", "ERR(F8)", "ERR1", "*042e");
        row("DATA", "btnDATA", "DATA", "データのセット(F10)", "DATA5", "*052f");
        const char *const digitFrames[16] = {"*062c", "*072d", "*0822", "*0923", "*102b", "*112a",
                                             "*1229", "*1328", "*142f", "*152e", "*162d", "*172c",
                                             "*1823", "*1922", "*2028", "*2129"};
        for (int d = 0; d < 16; ++d) {
            const QByteArray key = "key " + QByteArray::number(d, 16).toUpper();
            const QByteArray name = "btn" + QByteArray::number(d);
            // F has no access key: Alt+F is the File menu's (its route is Alt+Shift+F).
            const QString hex = QString::number(d, 16).toUpper();
            row(key.constData(), name.constData(), d == 15 ? hex : "&" + hex, QString(), "",
                digitFrames[d]);
        }
        row("UP", "btnUP", QString(), QString(), "MoveUP", "*222a");
        row("ENABLE", "btnENB", QString(), QString(), "Enable1", "*232b");
        row("LEFT", "btnLEFT", QString(), QString(), "MoveLEFT", "*242c");
        row("RIGHT", "btnRIGHT", QString(), QString(), "MoveRIGHT", "*252d");
        row("MODE", "btnMODE", QString(), QString(), "Mode1", "*262e");
        row("DOWN", "btnDOWN", QString(), QString(), "MoveDOWN", "*272f");
        row("ENT", "btnENT", QString(), "ENTER(F11)", "ENT1", "*2820");
        row("CLR", "btnCLR", "CLR", "CLR(Del)", "CLR1", "*2921");
        row("ON", "btnONSET", "ON", "ビットデータのオン/オフ(F9)", "ON1", "*3029");
        row("INI", "btnINIT", QString(), QString(), "", "*ON2b");
    }

    void everyKeySendsItsFrame()
    {
        QFETCH(QString, button);
        QFETCH(QString, caption);
        QFETCH(QString, hint);
        QFETCH(QString, menuItem);
        QFETCH(QByteArray, frame);

        Window w;
        QPushButton *b = w.button(button);
        QVERIFY(b);
        // The key pad's own keys carry their caption and hint; the tool strip's (ENABLE, MODE,
        // INI) are the window's and only run the handlers here, so their captions are not ours.
        if (b->parent() != w.client || button == "btnDATA") {
            QCOMPARE(b->text(), caption);
            QCOMPARE(b->toolTip(), hint);
        }
        b->setEnabled(true);
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(w.port.sent, frame);
        QCOMPARE(w.port.sendCount, 1);

        if (!menuItem.isEmpty()) {
            w.port.sent.clear();
            QAction *a = w.action(menuItem);
            QVERIFY(a);
            a->trigger();
            QCOMPARE(w.port.sent, frame);
        }
    }

    void keyPadAreaLayout()
    {
        Window w;
        const auto at = [&](const char *name) {
            QWidget *e = w.client->findChild<QWidget *>(QLatin1String(name));
            return e ? QRect(e->mapTo(w.client, QPoint(0, 0)), e->size()) : QRect();
        };
        QCOMPARE(at("IOPanel").topLeft(), QPoint(8, 160));
        QCOMPARE(at("TenKeyPanel").topLeft(), QPoint(48, 160));
        QCOMPARE(at("CursorPanel").topLeft(), QPoint(224, 168));
        QCOMPARE(at("btnDATA").topLeft(), QPoint(328, 200));

        const QRect area(QPoint(8, 160), QPoint(369, 265));
        for (QPushButton *b : w.client->findChildren<QPushButton *>()) {
            if (b->parent() == w.client && b->objectName() != "btnDATA")
                continue; // the tool strip keys of the window
            QVERIFY2(area.contains(at(qPrintable(b->objectName()))), qPrintable(b->objectName()));
        }

        // Hexadecimal rows top to bottom: C D E F, 8 9 A B, 4 5 6 7, 0 1 2 3.
        const int rows[4][4] = {{12, 13, 14, 15}, {8, 9, 10, 11}, {4, 5, 6, 7}, {0, 1, 2, 3}};
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) {
                const QRect key = at(qPrintable(QStringLiteral("btn%1").arg(rows[r][c])));
                if (c > 0)
                    QVERIFY(key.left() >
                            at(qPrintable(QStringLiteral("btn%1").arg(rows[r][c - 1]))).right());
                if (r > 0)
                    QVERIFY(key.top() >
                            at(qPrintable(QStringLiteral("btn%1").arg(rows[r - 1][c]))).bottom());
            }
            // IN, OUT, ID, ERR stand beside the hex rows, in that order.
            const char *io[4] = {"btnIN", "btnOUT", "btnID", "btnERR"};
            QCOMPARE(at(io[r]).top(),
                     at(qPrintable(QStringLiteral("btn%1").arg(rows[r][0]))).top());
        }
        for (const char *side : {"btnCLR", "btnENT"})
            QVERIFY2(at(side).left() > at("btn15").right(), side);
        QVERIFY(at("btnENT").top() > at("btnCLR").bottom());

        // The arrows stand around ON and show pictures, not captions.
        QPushButton *on = w.button("btnONSET");
        const QRect c = on->geometry();
        QCOMPARE(w.button("btnUP")->geometry().bottom() + 1, c.top());
        QCOMPARE(w.button("btnDOWN")->geometry().top(), c.bottom() + 1);
        QCOMPARE(w.button("btnLEFT")->geometry().right() + 1, c.left());
        QCOMPARE(w.button("btnRIGHT")->geometry().left(), c.right() + 1);
        for (const char *name : {"btnUP", "btnDOWN", "btnLEFT", "btnRIGHT", "btnENT"}) {
            QVERIFY2(!w.button(name)->icon().isNull(), name);
            QVERIFY2(w.button(name)->text().isEmpty(), name);
        }
    }

    void arrowsSwapOnlyInBitModeUnderDebugWithBitZeroLeft_data()
    {
        QTest::addColumn<QString>("order");
        QTest::addColumn<bool>("bitMode");
        QTest::addColumn<bool>("debug");
        QTest::addColumn<QByteArray>("left");
        QTest::addColumn<QByteArray>("right");

        const QByteArray k24 = "*242c", k25 = "*252d";
        QTest::newRow("L, bit mode, debug: swapped") << "L" << true << true << k25 << k24;
        QTest::newRow("L, bit mode, monitor") << "L" << true << false << k24 << k25;
        QTest::newRow("L, data mode, debug") << "L" << false << true << k24 << k25;
        QTest::newRow("L, data mode, monitor") << "L" << false << false << k24 << k25;
        QTest::newRow("R, bit mode, debug") << "R" << true << true << k24 << k25;
        QTest::newRow("R, data mode, monitor") << "R" << false << false << k24 << k25;
        QTest::newRow("unknown order, bit mode, debug") << "x" << true << true << k24 << k25;
        QTest::newRow("lower-case l, bit mode, debug") << "l" << true << true << k24 << k25;
    }

    void arrowsSwapOnlyInBitModeUnderDebugWithBitZeroLeft()
    {
        QFETCH(QString, order);
        QFETCH(bool, bitMode);
        QFETCH(bool, debug);
        QFETCH(QByteArray, left);
        QFETCH(QByteArray, right);

        Window w;
        w.ctx.BitOrder = order;
        w.ctx.link.setBitMode(bitMode);
        w.ctx.link.setDebugMode(debug);

        QTest::mouseClick(w.button("btnLEFT"), Qt::LeftButton);
        QTest::mouseClick(w.button("btnRIGHT"), Qt::LeftButton);
        QCOMPARE(w.port.sent, left + right);

        w.port.sent.clear();
        w.action("MoveLEFT")->trigger();
        w.action("MoveRIGHT")->trigger();
        QCOMPARE(w.port.sent, left + right);
    }

    void iniHidesHelpWithOrWithoutPort_data()
    {
        QTest::addColumn<int>("portState"); // 0 open, 1 closed, 2 none
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("port open") << 0 << QByteArray("*ON2b");
        QTest::newRow("port closed") << 1 << QByteArray();
        QTest::newRow("no port") << 2 << QByteArray();
    }

    void iniHidesHelpWithOrWithoutPort()
    {
        QFETCH(int, portState);
        QFETCH(QByteArray, frame);

        Window w;
        w.form.show();
        w.port.open = portState == 0;
        if (portState == 2)
            w.ctx.link.setPort(nullptr);
        QWidget *help = w.client->findChild<QWidget *>("BitModeHelp");
        help->show();
        QVERIFY(help->isVisible());

        QTest::mouseClick(w.button("btnINIT"), Qt::LeftButton);
        QVERIFY(!help->isVisible());
        QCOMPARE(w.port.sent, frame);
    }

    void keysWithoutOpenPortSendNothing_data()
    {
        QTest::addColumn<bool>("noPort");
        QTest::newRow("port closed") << false;
        QTest::newRow("no port at all") << true;
    }

    void keysWithoutOpenPortSendNothing()
    {
        QFETCH(bool, noPort);
        Window w;
        w.port.open = false;
        if (noPort)
            w.ctx.link.setPort(nullptr);
        int pressed = 0;
        for (QPushButton *b : w.client->findChildren<QPushButton *>()) {
            b->setEnabled(true);
            QTest::mouseClick(b, Qt::LeftButton);
            ++pressed;
        }
        for (QAction *a : w.form.findChildren<QAction *>())
            a->trigger();
        QCOMPARE(pressed, 16 + 15); // the hex keys and the other keys, the strip's included
        QCOMPARE(w.port.sendCount, 0);
        QVERIFY(w.port.sent.isEmpty());
    }

    void startUpAndPortStates()
    {
        Window w;
        const auto enabled = [&](const char *name) { return w.button(name)->isEnabled(); };
        // The menu's title item holds the state; the menu itself never turns off, or a
        // usable-looking title would not open it.
        const auto menuEnabled = [&](const char *name) {
            const auto *menu = w.form.findChild<QMenu *>(name);
            return menu->isEnabled() && menu->menuAction()->isEnabled();
        };
        const char *unitKeys[] = {"btnIN",  "btnOUT",  "btnID",   "btnERR",
                                  "btnENB", "btnMODE", "btnDATA", "btnONSET"};
        const char *alwaysKeys[] = {"btnUP",  "btnDOWN", "btnLEFT", "btnRIGHT",
                                    "btnENT", "btnCLR",  "btnINIT"};
        for (const char *k : unitKeys)
            QVERIFY2(!enabled(k), k);
        for (const char *k : alwaysKeys)
            QVERIFY2(enabled(k), k);
        QVERIFY(!menuEnabled("MenuMode"));
        QVERIFY(!menuEnabled("GoTo1"));
        QVERIFY(!enabled("btn0"));

        w.pad->enableDigitKeys();
        for (int d = 0; d < 16; ++d)
            QVERIFY(enabled(qPrintable(QStringLiteral("btn%1").arg(d))));

        w.pad->portOpened();
        for (const char *k : {"btnIN", "btnOUT", "btnID", "btnERR", "btnENB", "btnMODE"})
            QVERIFY2(enabled(k), k);
        // ON and DATA follow the unit's mode, not the port.
        QVERIFY(!enabled("btnONSET"));
        QVERIFY(!enabled("btnDATA"));
        QVERIFY(menuEnabled("MenuMode"));
        QVERIFY(menuEnabled("GoTo1"));

        w.pad->portClosed();
        QVERIFY(!enabled("btnENT"));
        QVERIFY(!enabled("btnCLR"));
        for (const char *k : {"btnIN", "btnENB", "btnUP", "btnLEFT", "btn15"})
            QVERIFY2(enabled(k), k);
    }

    void shortcutsReachTheirHandlers_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QByteArray>("frame");
        const int none = Qt::NoModifier, ctrl = Qt::ControlModifier;
        QTest::newRow("F3 ENABLE") << int(Qt::Key_F3) << none << QByteArray("*232b");
        QTest::newRow("F4 MODE") << int(Qt::Key_F4) << none << QByteArray("*262e");
        QTest::newRow("F5 IN") << int(Qt::Key_F5) << none << QByteArray("*012b");
        QTest::newRow("F6 OUT") << int(Qt::Key_F6) << none << QByteArray("*0228");
        QTest::newRow("F7 ID") << int(Qt::Key_F7) << none << QByteArray("*0329");
        QTest::newRow("F8 ERR") << int(Qt::Key_F8) << none << QByteArray("*042e");
        QTest::newRow("F9 ON") << int(Qt::Key_F9) << none << QByteArray("*3029");
        QTest::newRow("F10 DATA") << int(Qt::Key_F10) << none << QByteArray("*052f");
        QTest::newRow("F11 ENT") << int(Qt::Key_F11) << none << QByteArray("*2820");
        QTest::newRow("Del CLR") << int(Qt::Key_Delete) << none << QByteArray("*2921");
        QTest::newRow("Ctrl+W up") << int(Qt::Key_W) << ctrl << QByteArray("*222a");
        QTest::newRow("Ctrl+Z down") << int(Qt::Key_Z) << ctrl << QByteArray("*272f");
        QTest::newRow("Ctrl+A left") << int(Qt::Key_A) << ctrl << QByteArray("*242c");
        QTest::newRow("Ctrl+S right") << int(Qt::Key_S) << ctrl << QByteArray("*252d");
        QTest::newRow("Alt+A hex key A")
            << int(Qt::Key_A) << int(Qt::AltModifier) << QByteArray("*162d");
    }

    void shortcutsReachTheirHandlers()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QByteArray, frame);

        Window w;
        w.pad->enableDigitKeys();
        w.form.show();
        w.form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.form));

        QTest::keyClick(&w.form, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        // A button's mnemonic presses it the way a click does, which ends a moment later.
        QTRY_COMPARE(w.port.sent, frame);
        QCOMPARE(w.port.sendCount, 1);
    }
};

QTEST_MAIN(tst_KeyPad)
#include "tst_keypad.moc"
