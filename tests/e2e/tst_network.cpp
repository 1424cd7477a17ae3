// The main window against the simulated unit behind the real ser2net, raw and RFC 2217.
#include "comm/CommX.h"
#include "platform/widgets/GuardedApplication.h"
#include "tests/e2e/UnitProcess.h"
#include "tests/support/PtyPair.h"
#include "tests/support/Ser2netProcess.h"
#include "ui/PortControl.h"
#include "ui/TForm1.h"

#include <QAbstractButton>
#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

constexpr int kWait = 5000;

QString text(QWidget &form, const QString &name)
{
    auto *label = form.findChild<QLabel *>(name);
    return label ? label->text() : QStringLiteral("<missing %1>").arg(name);
}

QAbstractButton *button(QWidget &form, const char *name)
{
    return form.findChild<QAbstractButton *>(name);
}

QColor lampColour(QWidget &form, int k)
{
    QWidget *lamp = form.findChild<QWidget *>(QStringLiteral("Image%1").arg(k));
    return lamp->grab().toImage().pixelColor(8, 8);
}

bool isGreen(const QColor &c)
{
    return c == QColor(0, 255, 0) || c == QColor(0, 128, 0);
}

// The last line the unit reported about the settings of its line.
QString lastLineReport(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = f.readAll().trimmed().split('\n');
    return QString::fromLatin1(lines.last());
}

} // namespace

class tst_Network : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    TForm1::Options options(const QString &address)
    {
        TForm1::Options o;
        o.settingsPath =
            writeSettingsFile(m_dir.filePath("qxwatch.ini"),
                              QStringLiteral("[PORTS]\r\nCOM1=%1\r\n").arg(address).toLocal8Bit());
        return o;
    }

private slots:
    void keysReachTheUnitAndFramesTheLampsThroughSer2net_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("raw") << int(Ser2netProcess::Mode::Raw);
        QTest::newRow("rfc2217") << int(Ser2netProcess::Mode::Rfc2217);
    }
    void keysReachTheUnitAndFramesTheLampsThroughSer2net()
    {
        QFETCH(int, mode);
        const auto m = Ser2netProcess::Mode(mode);
        const QString report = m_dir.filePath(QStringLiteral("line-%1.txt").arg(mode));
        UnitProcess unit(m_dir.filePath(QStringLiteral("net-%1.tty").arg(mode)));
        QVERIFY(unit.start({QStringLiteral("--report-line"), report}));
        // The server first sets the line to something else than the unit's setting.
        Ser2netProcess server;
        QVERIFY(server.start(m_dir.path(), unit.device(), m, QStringLiteral("19200e82,rtscts")));

        TForm1 form(options(server.address()));
        form.show();
        // The Port menu shows the address beside the number.
        form.portControl().updatePortTips();
        auto *item = form.findChild<QAction *>("COM011");
        QVERIFY(item);
        QVERIFY2(item->text().contains(server.address()), qPrintable(item->text()));

        QTest::mouseClick(button(form, "OpenButton"), Qt::LeftButton);
        QVERIFY2(form.CommX1().isOpen(), qPrintable(form.context().statusBar->currentMessage()));
        QVERIFY(!button(form, "OpenButton")->isEnabled());
        QCOMPARE(form.context().statusBar->currentMessage(), QString());
        QCOMPARE(form.windowTitle().left(6), QStringLiteral("QXモニター"));
        QTRY_VERIFY_WITH_TIMEOUT(text(form, "IO1") != "--", kWait);

        QTest::mouseClick(button(form, "btnOUT"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(text(form, "IO1"), QString("OUT"), kWait);
        QTest::mouseClick(button(form, "btnIN"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(text(form, "IO1"), QString("IN"), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(isGreen(lampColour(form, 0)), kWait);
        for (int k = 1; k < 16; ++k)
            QVERIFY2(isGreen(lampColour(form, k)), qPrintable(lampColour(form, k).name()));

        // RFC 2217 sets the unit's line (9600 bit/s, odd parity, 1 stop bit, no flow control);
        // raw leaves it as the server has it. A pty keeps no parity enable and no char size.
        if (m == Ser2netProcess::Mode::Rfc2217) {
            QTRY_VERIFY_WITH_TIMEOUT(lastLineReport(report).startsWith("rate=9600 "), kWait);
            const QString line = lastLineReport(report);
            QVERIFY2(line.contains("parodd=1") && line.contains("cstopb=0") &&
                         line.contains("crtscts=0") && line.contains("ixon=0"),
                     qPrintable(line));
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(lastLineReport(report).startsWith("rate=19200 "), kWait);
            const QString line = lastLineReport(report);
            QVERIFY2(line.contains("parodd=0") && line.contains("cstopb=1") &&
                         line.contains("crtscts=1"),
                     qPrintable(line));
        }
        form.portControl().CloseButtonClick();
        QVERIFY(!form.CommX1().isOpen());
        QCOMPARE(text(form, "IO1"), QString("--"));
    }

    void serverStoppedMidStreamIsALostUnitThatReconnects()
    {
        UnitProcess unit(m_dir.filePath("lostnet.tty"));
        QVERIFY(unit.start());
        Ser2netProcess server;
        QVERIFY(server.start(m_dir.path(), unit.device(), Ser2netProcess::Mode::Rfc2217));
        const quint16 port = server.port();
        TForm1 form(options(server.address()));
        form.show();
        int lost = 0;
        connect(&form.CommX1(), &TCustomCommX::OnDeviceLost, this, [&] { ++lost; });
        form.portControl().OpenButtonClick();
        QVERIFY(form.CommX1().isOpen());
        QTRY_VERIFY_WITH_TIMEOUT(text(form, "IO1") != "--", kWait);

        server.stop();
        QTRY_VERIFY_WITH_TIMEOUT(!form.CommX1().isOpen(), kWait);
        QCOMPARE(lost, 1);
        QCOMPARE(text(form, "IO1"), QString("--"));
        const QString message = form.context().statusBar->currentMessage();
        QVERIFY2(message.contains(QStringLiteral("接続が失われました")) &&
                     message.contains(server.address()),
                 qPrintable(message));
        QVERIFY(form.portControl().waitingForReturn());

        // The server comes back on its port: the window connects again by itself.
        QVERIFY(server.start(m_dir.path(), unit.device(), Ser2netProcess::Mode::Rfc2217,
                             QStringLiteral("9600n81"), port));
        QTRY_VERIFY_WITH_TIMEOUT(form.CommX1().isOpen(), 3 * kWait);
        QTRY_VERIFY_WITH_TIMEOUT(text(form, "IO1") != "--", kWait);
        QCOMPARE(lost, 1);
        form.portControl().CloseButtonClick();
    }

    void serverNotRunningIsRefusedAtOnceWithTheReason()
    {
        const quint16 port = Ser2netProcess::freePort();
        TForm1 form(options(QStringLiteral("rfc2217://127.0.0.1:%1").arg(port)));
        form.show();
        QStringList shown;
        GuardedApplication::errorBoxHook = [&](const QString &t) { shown << t; };
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(button(form, "OpenButton"), Qt::LeftButton);
        GuardedApplication::errorBoxHook = nullptr;
        QVERIFY(clock.elapsed() < 3000);
        QVERIFY(!form.CommX1().isOpen());
        QVERIFY(button(form, "OpenButton")->isEnabled());
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().startsWith(QStringLiteral("ポートをオープンできませんでした")) &&
                     shown.first().contains(QStringLiteral("接続を拒否されました")),
                 qPrintable(shown.first()));
        QVERIFY2(form.context().statusBar->currentMessage().contains(
                     QStringLiteral("接続を拒否されました")),
                 qPrintable(form.context().statusBar->currentMessage()));
    }

    void blackHoleKeepsTheWindowGoingAndDisconnectGivesUp()
    {
        // A listener whose queue is full never completes a connect.
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        QVERIFY(::bind(listener, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0);
        QVERIFY(::listen(listener, 0) == 0);
        QVERIFY(::getsockname(listener, reinterpret_cast<sockaddr *>(&a), &len) == 0);
        int fill[2];
        for (int &fd : fill) {
            fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
        }
        TForm1 form(options(QStringLiteral("tcp://127.0.0.1:%1").arg(ntohs(a.sin_port))));
        form.show();
        QStringList shown;
        GuardedApplication::errorBoxHook = [&](const QString &t) { shown << t; };

        // Left alone, the connect times out with the reason in the status bar and the box.
        QElapsedTimer clock;
        clock.start();
        QString duringConnect;
        QTimer::singleShot(500, &form,
                           [&] { duringConnect = form.context().statusBar->currentMessage(); });
        QTest::mouseClick(button(form, "OpenButton"), Qt::LeftButton);
        QVERIFY2(clock.elapsed() >= 2900 && clock.elapsed() < 4500,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(duringConnect.contains(QStringLiteral("接続しています")),
                 qPrintable(duringConnect));
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().contains(QStringLiteral("時間切れ")), qPrintable(shown.first()));
        QVERIFY(form.context().statusBar->currentMessage().contains(QStringLiteral("時間切れ")));
        QVERIFY(button(form, "OpenButton")->isEnabled());

        // The user disconnects while it connects: given up at once, no error box.
        shown.clear();
        QTimer::singleShot(300, &form, [&] {
            QVERIFY(form.CommX1().isConnecting());
            // A second connect click meanwhile starts nothing.
            form.portControl().OpenButtonClick();
            QTest::mouseClick(button(form, "CloseButton"), Qt::LeftButton);
        });
        clock.restart();
        QTest::mouseClick(button(form, "OpenButton"), Qt::LeftButton);
        GuardedApplication::errorBoxHook = nullptr;
        QVERIFY(clock.elapsed() < 1500);
        QVERIFY(shown.isEmpty());
        QVERIFY(!form.CommX1().isOpen());
        QVERIFY(!form.CommX1().isConnecting());
        QVERIFY(button(form, "OpenButton")->isEnabled());
        QVERIFY(!button(form, "CloseButton")->isEnabled());
        QCOMPARE(form.windowTitle(), QStringLiteral("QXモニター[COM1]"));
        for (int fd : fill)
            ::close(fd);
        ::close(listener);
    }
};

QTEST_MAIN(tst_Network)
#include "tst_network.moc"
