#include "comm/CommX.h"
#include "platform/ProfileFile.h"
#include "platform/widgets/GuardedApplication.h"
#include "tests/support/PtyPair.h"
#include "ui/DisplayLines.h"
#include "ui/PortControl.h"
#include "ui/TForm1.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace
{

// The enabled state of every element the connection switches, as one comparable text.
QString switches(TForm1 &form)
{
    QStringList out;
    for (const char *name :
         {"OpenButton", "CloseButton", "btnENB", "btnMODE", "btnIN", "btnOUT", "btnID", "btnERR",
          "btnIDScan", "btnUP", "btnDOWN", "btnLEFT", "btnRIGHT", "btnENT", "btnCLR"}) {
        auto *w = form.findChild<QWidget *>(name);
        out << QStringLiteral("%1=%2").arg(name).arg(w ? (w->isEnabled() ? "on" : "off") : "?");
    }
    for (const char *name :
         {"MenuFileConnect", "MenuFileDisconnect", "P1", "File1", "MenuMode", "GoTo1"}) {
        auto *a = form.findChild<QAction *>(name);
        out << QStringLiteral("%1=%2").arg(name).arg(a ? (a->isEnabled() ? "on" : "off") : "?");
    }
    return out.join(' ');
}

QString io(TForm1 &form, int n)
{
    return form.findChild<QLabel *>(QStringLiteral("IO%1").arg(n))->text();
}

// What the far end of a pty received within a few seconds, up to count bytes.
QByteArray received(const PtyPair &pty, qsizetype count)
{
    QByteArray got;
    [[maybe_unused]] const bool all = QTest::qWaitFor(
        [&] {
            char buf[64];
            const ssize_t n = ::read(pty.master(), buf, sizeof buf);
            if (n > 0)
                got.append(buf, n);
            return got.size() >= count;
        },
        5000);
    return got;
}

// Points a link at a new target in one step, as udev does with its by-id links.
bool repoint(const QString &link, const QString &target)
{
    const QString temp = link + ".new";
    return QFile::link(target, temp) &&
           ::rename(QFile::encodeName(temp).constData(), QFile::encodeName(link).constData()) == 0;
}

} // namespace

class tst_PortControl : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    PtyPair m_pty;

    TForm1::Options options(const QByteArray &ports)
    {
        TForm1::Options o;
        o.settingsPath = writeSettingsFile(m_dir.filePath("qxwatch.ini"), "[PORTS]\r\n" + ports);
        return o;
    }

private slots:
    void initTestCase() { QVERIFY(m_pty.isValid()); }

    void choosingAPortOnlyNamesIt()
    {
        TForm1 form(options(""));
        const QString before = switches(form);
        form.findChild<QAction *>("COM121")->trigger();
        QCOMPARE(form.SelectedPort(), 12);
        QVERIFY(form.findChild<QAction *>("COM121")->isChecked());
        QVERIFY(!form.findChild<QAction *>("COM011")->isChecked());
        QCOMPARE(form.windowTitle(), QStringLiteral("QXモニター[COM12]"));
        QCOMPARE(form.context().statusBar->currentMessage(),
                 QStringLiteral("接続ボタンを押してください"));
        QVERIFY(!form.CommX1().isOpen());
        QCOMPARE(switches(form), QString(before)
                                     .replace("MenuMode=off", "MenuMode=on")
                                     .replace("GoTo1=off", "GoTo1=on"));
    }

    void failedConnectLeavesEveryControlAndSaysWhy_data()
    {
        QTest::addColumn<QByteArray>("ports");
        QTest::addColumn<QString>("hint");
        QTest::newRow("no such device")
            << QByteArray("COM3=/dev/qx-no-such-device\r\n") << "/dev/qx-no-such-device";
        QTest::newRow("no device behind the number")
            << QByteArray("COM1=/dev/null\r\n") << QStringLiteral("COM3 にはデバイスがありません");
    }
    void failedConnectLeavesEveryControlAndSaysWhy()
    {
        QFETCH(QByteArray, ports);
        QFETCH(QString, hint);
        TForm1 form(options(ports));
        // Only numbers the machine's own serial devices leave free are safe to test as empty.
        form.findChild<QAction *>("COM031")->trigger();
        const QString before = switches(form);
        const QString title = form.windowTitle();
        try {
            form.portControl().OpenButtonClick();
            if (hint.contains(QStringLiteral("デバイスがありません")))
                QSKIP("this machine has a serial device as COM3");
            QFAIL("connect did not fail");
        } catch (const ECommError &e) {
            QCOMPARE(e.message(), QStringLiteral("ポートをオープンできませんでした"));
        }
        QCOMPARE(switches(form), before);
        QCOMPARE(form.windowTitle(), title);
        QVERIFY2(form.context().statusBar->currentMessage().contains(hint),
                 qPrintable(form.context().statusBar->currentMessage()));
    }

    void connectDisconnectConnect()
    {
        TForm1 form(options(QStringLiteral("COM2=%1\r\n").arg(m_pty.slavePath()).toLocal8Bit()));
        form.findChild<QAction *>("COM021")->trigger();
        form.portControl().OpenButtonClick();
        QVERIFY(form.CommX1().isOpen());
        QCOMPARE(form.context().statusBar->currentMessage(), QString());
        const QString connected = switches(form);
        QVERIFY(connected.contains("OpenButton=off CloseButton=on btnENB=on btnMODE=on btnIN=on"));
        QVERIFY(connected.contains("btnIDScan=on btnUP=on btnDOWN=on btnLEFT=on btnRIGHT=on "
                                   "btnENT=on btnCLR=on"));
        QVERIFY(connected.contains("MenuFileConnect=off MenuFileDisconnect=on P1=off"));
        QVERIFY(connected.contains("MenuMode=on GoTo1=on"));

        // A key reaches the line.
        QTest::mouseClick(form.findChild<QAbstractButton *>("btnIN"), Qt::LeftButton);
        QByteArray got;
        for (int i = 0; i < 100 && got.size() < 5; ++i) {
            char buf[16];
            const ssize_t n = ::read(m_pty.master(), buf, sizeof buf);
            if (n > 0)
                got.append(buf, n);
            else
                QTest::qWait(10);
        }
        QCOMPARE(got, QByteArray("*012b"));

        form.findChild<QLabel *>("IO2")->setText("OUT");
        form.portControl().CloseButtonClick();
        QVERIFY(!form.CommX1().isOpen());
        const QString closed = switches(form);
        QVERIFY(closed.contains("OpenButton=on CloseButton=off btnENB=on"));
        QVERIFY(closed.contains("btnENT=off btnCLR=off"));
        QVERIFY(closed.contains("MenuFileConnect=on MenuFileDisconnect=off P1=on"));
        QCOMPARE(io(form, 2), QString("--"));
        QCOMPARE(form.windowTitle(), QStringLiteral("QXモニター[COM2]"));

        form.portControl().OpenButtonClick();
        QVERIFY(form.CommX1().isOpen());
        QCOMPARE(form.displayLines().receiver().RecvCount(), 0);
        QCOMPARE(form.displayLines().receiver().PrevChar(), 32);
        form.portControl().CloseButtonClick();
    }

    void portItemsNameTheirDevicesWhilePointedAt()
    {
        TForm1 form(options(QStringLiteral("COM2=%1\r\n").arg(m_pty.slavePath()).toLocal8Bit()));
        form.portControl().updatePortTips();
        QCOMPARE(form.findChild<QAction *>("COM021")->statusTip(), m_pty.slavePath());
        QCOMPARE(form.findChild<QAction *>("COM161")->statusTip(),
                 QStringLiteral("COM16 にはデバイスがありません"));

        // The tip covers the status text while shown and gives it back afterwards.
        const QString before = form.context().statusBar->currentMessage();
        QStatusTipEvent show(m_pty.slavePath());
        QCoreApplication::sendEvent(&form, &show);
        QCOMPARE(form.context().statusBar->currentMessage(), m_pty.slavePath());
        QStatusTipEvent hide{QString()};
        QCoreApplication::sendEvent(&form, &hide);
        QCOMPARE(form.context().statusBar->currentMessage(), before);
    }

    void portItemsShowWhatStandsBehindThem()
    {
        TForm1 form(options(
            QStringLiteral("COM2=%1\r\nCOM10=%1\r\n").arg(m_pty.slavePath()).toLocal8Bit()));
        // Twice: what an item shows is worked out afresh, not added to.
        form.portControl().updatePortTips();
        form.portControl().updatePortTips();
        for (int n = 1; n <= 16; ++n) {
            QAction *item = form.findChild<QAction *>(PortControl::portItemName(n));
            const QString designed = n < 10    ? QStringLiteral("COM&%1").arg(n)
                                     : n == 10 ? QStringLiteral("COM1&0")
                                               : QStringLiteral("COM%1").arg(n);
            const QStringList parts = item->text().split('\t');
            QCOMPARE(parts.size(), 2);
            QCOMPARE(parts.at(0), designed);
            if (n == 2 || n == 10)
                QCOMPARE(parts.at(1), m_pty.slavePath());
            else if (form.findChild<QAction *>(PortControl::portItemName(n))
                         ->statusTip()
                         .contains(QStringLiteral("デバイスがありません")))
                QCOMPARE(parts.at(1), QStringLiteral("(デバイスなし)"));
        }
    }

    void errorBoxGivesTheMessageThenWhy()
    {
        TForm1 form(options("COM3=/dev/qx-no-such-device\r\n"));
        QStringList shown;
        GuardedApplication::errorBoxHook = [&](const QString &text) { shown << text; };
        form.findChild<QAction *>("COM031")->trigger();
        form.findChild<QAction *>("MenuFileConnect")->trigger();
        GuardedApplication::errorBoxHook = nullptr;
        QCOMPARE(shown.size(), 1);
        const QStringList lines = shown.first().split('\n');
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0), QStringLiteral("ポートをオープンできませんでした."));
        QCOMPARE(lines.at(1), QStringLiteral("COM3: /dev/qx-no-such-device がありません"));
        QCOMPARE(form.context().statusBar->currentMessage(), lines.at(1));
    }

    void reconnectsWhenTheLostDeviceReturns_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<bool>("reconnects");
        QTest::newRow("by itself") << "on" << true;
        QTest::newRow("not when turned off") << "off" << false;
        QTest::newRow("not after a manual disconnect") << "disconnected" << false;
    }
    void reconnectsWhenTheLostDeviceReturns()
    {
        QFETCH(QString, situation);
        QFETCH(bool, reconnects);
        QTemporaryDir byId;
        std::optional<PtyPair> unit;
        unit.emplace();
        const QString link = byId.filePath("usb-QX_unit-if00");
        QVERIFY(QFile::link(unit->slavePath(), link));
        TForm1 form(options(QStringLiteral("COM1=%1\r\n").arg(link).toLocal8Bit()));
        QVERIFY(form.portControl().autoReconnect()); // on unless turned off
        if (situation == "off")
            form.findChild<QAction *>("MenuFileAutoReconnect")->trigger();
        form.findChild<QAction *>("COM011")->trigger();
        form.portControl().OpenButtonClick();
        const QString connected = switches(form);

        unit.reset(); // the adapter is pulled
        QTRY_VERIFY(!form.CommX1().isOpen());
        QVERIFY(form.context().statusBar->currentMessage().contains(
            QStringLiteral("接続が失われました")));
        QCOMPARE(form.portControl().waitingForReturn(), situation != "off");
        if (situation == "disconnected") {
            form.portControl().CloseButtonClick();
            QVERIFY(!form.portControl().waitingForReturn());
        }

        unit.emplace(); // and put back: a new pty under the same name
        QVERIFY(repoint(link, unit->slavePath()));
        if (!reconnects) {
            QVERIFY(!QTest::qWaitFor([&] { return form.CommX1().isOpen(); }, 1500));
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(form.CommX1().isOpen(), 5000);
        QCOMPARE(form.CommX1().deviceName(), link);
        QVERIFY2(form.context().statusBar->currentMessage().contains(
                     QStringLiteral("COM1 (%1) に再接続しました").arg(link)),
                 qPrintable(form.context().statusBar->currentMessage()));
        QCOMPARE(switches(form), connected);
        QVERIFY(!form.portControl().waitingForReturn());
        form.context().link.SendKey("01");
        QCOMPARE(received(*unit, 5), QByteArray("*012b"));
    }

    void theReconnectChoiceIsRemembered()
    {
        const TForm1::Options o = options("");
        {
            TForm1 form(o);
            QAction *item = form.findChild<QAction *>("MenuFileAutoReconnect");
            QVERIFY(item->isCheckable());
            QVERIFY(item->isChecked());
            item->trigger();
            QVERIFY(!form.portControl().autoReconnect());
        }
        QCOMPARE(ProfileFile(o.settingsPath).readString("QXWATCH", "AutoReconnect", "?"),
                 QString("0"));
        TForm1 again(o);
        QVERIFY(!again.findChild<QAction *>("MenuFileAutoReconnect")->isChecked());
    }

    void closingTheWindowWhileConnectedIsPrompt()
    {
        QElapsedTimer clock;
        {
            TForm1 form(
                options(QStringLiteral("COM2=%1\r\n").arg(m_pty.slavePath()).toLocal8Bit()));
            form.findChild<QAction *>("COM021")->trigger();
            form.portControl().OpenButtonClick();
            QVERIFY(form.CommX1().isOpen());
            // Received bytes still waiting to be read, and a key frame not yet sent.
            const QByteArray burst(3000, '0');
            QCOMPARE(::write(m_pty.master(), burst.constData(), burst.size()),
                     ssize_t(burst.size()));
            form.context().link.SendKey("01");
            // The line keeps talking while the window goes.
            QTest::qWait(50);
            clock.start();
        }
        // Closing waits for the port's threads (a few hundred milliseconds at most).
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    }

    void disconnectBeforeAnyConnect()
    {
        TForm1 form(options(""));
        form.findChild<QLabel *>("IO1")->setText("IN");
        form.portControl().CloseButtonClick();
        const QString s = switches(form);
        QVERIFY(s.contains("OpenButton=on CloseButton=off"));
        QVERIFY(s.contains("btnENT=off btnCLR=off"));
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(io(form, n), QString("--"));
        QCOMPARE(form.windowTitle(), QStringLiteral("QXモニター[COM1]"));
        QCOMPARE(form.context().statusBar->currentMessage(),
                 QStringLiteral("最初にシリアルポートを指定してください"));
    }
};

QTEST_MAIN(tst_PortControl)
#include "tst_portcontrol.moc"
