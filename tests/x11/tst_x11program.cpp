// The built qxwatch on a real X server (Xvfb), with and without a window manager: what the
// window system is told (titles, window class, frame hints, size on a small screen, position)
// and what its keyboard routes do, read back with the X tools as a desktop sees them.
#include "tests/x11/XServer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRect>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#ifndef QXWATCH_PATH
#error "QXWATCH_PATH names the qxwatch program under test"
#endif
#ifndef QXUNIT_PATH
#error "QXUNIT_PATH names the simulated unit"
#endif

namespace
{

constexpr int kWaitMs = 15000;

// The client area without comment panels is 278 pixels high; what the window has above it is
// the menu bar.
constexpr int kSmallClientHeight = 278;

QList<quint32> numbers(const QString &xpropLine)
{
    QList<quint32> values;
    const QString list = xpropLine.section(QLatin1Char('='), 1);
    for (const QString &item : list.split(QLatin1Char(','), Qt::SkipEmptyParts))
        values << item.trimmed().toUInt(nullptr, 0);
    return values;
}

QString extents(const QList<quint32> &values)
{
    QStringList texts;
    for (quint32 value : values)
        texts << QString::number(value);
    return texts.join(QLatin1Char(' '));
}

// The rows of a case run once on a bare X server and once under openbox.
void onBareServerAndUnderOpenbox()
{
    QTest::addColumn<bool>("windowManager");
    QTest::newRow("bare X server") << false;
    QTest::newRow("openbox") << true;
}

} // namespace

class tst_X11Program : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_program;
    std::unique_ptr<XServer> m_x;
    std::unique_ptr<QProcess> m_qxwatch;
    std::unique_ptr<QProcess> m_unit;

    void startX(bool windowManager, QSize screen = {1280, 1024})
    {
        m_x = std::make_unique<XServer>();
        QVERIFY2(m_x->start(screen), qPrintable(m_x->why()));
        if (windowManager)
            QVERIFY2(m_x->startWindowManager(), qPrintable(m_x->why()));
    }

    void writeSettings(const QByteArray &ini)
    {
        QFile f(m_dir.filePath("qxwatch.ini"));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(ini);
    }

    QByteArray settings() const
    {
        QFile f(m_dir.filePath("qxwatch.ini"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    void startProgram(const QStringList &arguments = {}, const QString &scale = QString())
    {
        m_qxwatch = std::make_unique<QProcess>();
        QProcessEnvironment env = m_x->environment();
        if (!scale.isEmpty())
            env.insert("QT_SCALE_FACTOR", scale);
        m_qxwatch->setProcessEnvironment(env);
        m_qxwatch->setProcessChannelMode(QProcess::ForwardedChannels);
        m_qxwatch->start(m_program, arguments);
        QVERIFY(m_qxwatch->waitForStarted(kWaitMs));
    }

    // The first visible window of the program whose title is exactly `title`.
    QString windowTitled(const QString &title, int timeoutMs = kWaitMs)
    {
        QString found;
        waitFor(
            [&] {
                for (const QString &w : m_x->windows("qxwatch"))
                    if (m_x->title(w) == title)
                        found = w;
                return !found.isEmpty();
            },
            timeoutMs);
        return found;
    }

    QStringList titles() const
    {
        QStringList all;
        for (const QString &w : m_x->windows("qxwatch"))
            all << m_x->title(w);
        return all;
    }

    void focus(const QString &window)
    {
        // A window manager hands out the focus itself; without one the client is given it.
        int code = -1;
        m_x->tool("xdotool",
                  {m_x->hasWindowManager() ? "windowactivate" : "windowfocus", "--sync", window},
                  &code);
        QCOMPARE(code, 0);
    }

    void key(const QString &keys)
    {
        int code = -1;
        m_x->tool("xdotool", {"key", "--clearmodifiers", keys}, &code);
        QCOMPARE(code, 0);
    }

    int menuBarHeight(const QString &window)
    {
        return m_x->geometry(window).height() - kSmallClientHeight;
    }

    QByteArray picture(const QString &window)
    {
        return QCryptographicHash::hash(m_x->tool("xwd", {"-silent", "-id", window}),
                                        QCryptographicHash::Sha1);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_program = m_dir.filePath("qxwatch");
        QVERIFY(QFile::copy(QStringLiteral(QXWATCH_PATH), m_program));
    }

    void init() { QFile::remove(m_dir.filePath("qxwatch.ini")); }

    void cleanup()
    {
        for (auto *p : {m_qxwatch.get(), m_unit.get()}) {
            if (p && p->state() != QProcess::NotRunning) {
                p->terminate();
                if (!p->waitForFinished(10000))
                    p->kill();
                p->waitForFinished();
            }
        }
        m_qxwatch.reset();
        m_unit.reset();
        m_x.reset();
    }

    void titlesAreTheWindowsOwnTexts_data() { onBareServerAndUnderOpenbox(); }
    void titlesAreTheWindowsOwnTexts()
    {
        QFETCH(bool, windowManager);
        startX(windowManager);
        // The comment editor shows "編集結果を反映", whose press on an empty grid gives the
        // program's own error box.
        writeSettings("[QXMODE]\r\nCommentEdit=1\r\n");
        startProgram();
        const QString main = windowTitled(QStringLiteral("QXモニター[COM1]"));
        QVERIFY2(!main.isEmpty(), qPrintable(titles().join(" | ")));
        // The program's name stays the window class the desktop groups it by.
        QVERIFY2(m_x->property(main, "WM_CLASS").contains("\"qxwatch\""),
                 qPrintable(m_x->property(main, "WM_CLASS")));

        focus(main);
        key("alt+h");
        key("a");
        const QString about = windowTitled(QStringLiteral("このプログラムについて"));
        QVERIFY2(!about.isEmpty(), qPrintable(titles().join(" | ")));
        key("Return");
        QVERIFY(waitFor([&] { return !m_x->windows("qxwatch").contains(about); }));

        const int bar = menuBarHeight(main);
        int code = -1;
        m_x->tool("xdotool",
                  {"mousemove", "--window", main, "850", QString::number(bar + 10), "click", "1"},
                  &code);
        QCOMPARE(code, 0);
        const QString error = windowTitled(QStringLiteral("エラー"));
        QVERIFY2(!error.isEmpty(), qPrintable(titles().join(" | ")));
        key("Return");
        QVERIFY(waitFor([&] { return !m_x->windows("qxwatch").contains(error); }));
        for (const QString &title : titles())
            QVERIFY2(!title.contains("— qxwatch"), qPrintable(title));
    }

    void errorBoxIsCaptionedWithTheProgramsName()
    {
        startX(false);
        startProgram({m_dir.filePath("missing.csv")});
        const QString box = windowTitled(QStringLiteral("qxwatch"));
        QVERIFY2(!box.isEmpty(), qPrintable(titles().join(" | ")));
    }

    void connectedTitleNamesTheMode()
    {
        startX(false);
        const QString link = m_dir.filePath("unit.tty");
        m_unit = std::make_unique<QProcess>();
        m_unit->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_unit->start(QStringLiteral(QXUNIT_PATH), {"--link", link});
        QVERIFY(m_unit->waitForStarted(kWaitMs));
        QVERIFY(waitFor([&] { return QFileInfo::exists(link); }));
        startProgram({"--port", "COM1=" + link, "--connect"});
        const QString main = windowTitled(QStringLiteral("QXモニター[データモード]"));
        QVERIFY2(!main.isEmpty(), qPrintable(titles().join(" | ")));
    }

    void frameOffersNeitherResizeNorMaximise_data() { onBareServerAndUnderOpenbox(); }
    void frameOffersNeitherResizeNorMaximise()
    {
        QFETCH(bool, windowManager);
        startX(windowManager);
        startProgram();
        const QString main = windowTitled(QStringLiteral("QXモニター[COM1]"));
        QVERIFY(!main.isEmpty());
        const QString motif = m_x->property(main, "_MOTIF_WM_HINTS");
        const QList<quint32> hints = numbers(motif);
        QVERIFY2(hints.size() >= 3, qPrintable(motif));
        constexpr quint32 functions = 1u << 0, all = 1u << 0, resize = 1u << 1, minimize = 1u << 3,
                          maximize = 1u << 4;
        constexpr quint32 decorations = 1u << 1, resizeHandle = 1u << 2, maximizeBox = 1u << 6;
        QVERIFY2(hints[0] & functions, qPrintable(motif));
        QVERIFY2(!(hints[1] & (all | resize | maximize)), qPrintable(motif));
        QVERIFY2(hints[1] & minimize, qPrintable(motif));
        QVERIFY2(hints[0] & decorations, qPrintable(motif));
        QVERIFY2(!(hints[2] & (1u << 0 | resizeHandle | maximizeBox)), qPrintable(motif));
        if (windowManager) {
            // What the window manager made of it.
            QString allowed;
            QVERIFY(waitFor([&] {
                allowed = m_x->property(main, "_NET_WM_ALLOWED_ACTIONS");
                return allowed.contains("_NET_WM_ACTION_MINIMIZE");
            }));
            QVERIFY2(!allowed.contains("MAXIMIZE"), qPrintable(allowed));
            QVERIFY2(!allowed.contains("_NET_WM_ACTION_RESIZE"), qPrintable(allowed));
        }
    }

    void altFOpensTheFileMenuEveryTime_data() { onBareServerAndUnderOpenbox(); }
    void altFOpensTheFileMenuEveryTime()
    {
        QFETCH(bool, windowManager);
        startX(windowManager);
        startProgram();
        const QString main = windowTitled(QStringLiteral("QXモニター[COM1]"));
        QVERIFY(!main.isEmpty());
        focus(main);
        for (int round = 1; round <= 3; ++round) {
            const int before = int(m_x->windows("qxwatch").size());
            key("alt+f");
            // The menu is a window of its own while it is open.
            QVERIFY2(waitFor([&] { return m_x->windows("qxwatch").size() > before; }),
                     qPrintable(QStringLiteral("round %1").arg(round)));
            key("Escape");
            QVERIFY(waitFor([&] { return m_x->windows("qxwatch").size() == before; }));
        }
    }

    void fixedLayoutScrollsWhereTheScreenIsTooSmall_data()
    {
        QTest::addColumn<QString>("scale");
        QTest::addColumn<bool>("fits");
        QTest::newRow("scale 1") << "1" << true;
        QTest::newRow("scale 2") << "2" << false;
    }
    void fixedLayoutScrollsWhereTheScreenIsTooSmall()
    {
        QFETCH(QString, scale);
        QFETCH(bool, fits);
        const QSize screen(1920, 1080);
        startX(true, screen);
        // The widest and highest layout: comment panels and editor, 911 x 668 client pixels.
        writeSettings("[QXMODE]\r\nCommentOn=1\r\nCommentEdit=1\r\n");
        startProgram({}, scale);
        const QString main = windowTitled(QStringLiteral("QXモニター[COM1]"));
        QVERIFY(!main.isEmpty());
        const int factor = scale.toInt();
        QRect shown;
        QVERIFY(waitFor([&] {
            shown = m_x->geometry(main);
            return shown.width() >= 911 * factor;
        }));
        QVERIFY2(QRect(QPoint(0, 0), screen).contains(shown),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(shown.x())
                                .arg(shown.y())
                                .arg(shown.width())
                                .arg(shown.height())));
        if (fits) {
            // The whole client area, no scroll bars: exactly its designed width.
            QCOMPARE(shown.width(), 911);
            QVERIFY(shown.height() > 668);
            return;
        }
        QVERIFY(shown.height() < 668 * factor);
        // The window manager's frame, caption included, is on the screen as well.
        QList<quint32> frame;
        QVERIFY2(waitFor(
                     [&] {
                         frame = numbers(m_x->property(main, "_NET_FRAME_EXTENTS"));
                         shown = m_x->geometry(main);
                         return frame.size() == 4 && shown.top() >= int(frame[2]) &&
                                shown.left() >= int(frame[0]);
                     },
                     20000),
                 qPrintable(QStringLiteral("client %1,%2 %3x%4, frame %5")
                                .arg(shown.x())
                                .arg(shown.y())
                                .arg(shown.width())
                                .arg(shown.height())
                                .arg(extents(frame))));
        // The client area keeps its size and scrolls under the wheel.
        const QByteArray top = picture(main);
        int code = -1;
        m_x->tool("xdotool",
                  {"mousemove", "--window", main, "200", "400", "click", "--repeat", "5", "5"},
                  &code);
        QCOMPARE(code, 0);
        QVERIFY(waitFor([&] { return picture(main) != top; }));
    }

    void savedPositionOffTheScreenIsBroughtIntoView_data()
    {
        QTest::addColumn<QByteArray>("top");
        QTest::addColumn<QByteArray>("left");
        QTest::addColumn<bool>("kept");
        QTest::newRow("on the screen") << QByteArray("100") << QByteArray("200") << true;
        QTest::newRow("far up and left") << QByteArray("-5000") << QByteArray("-5000") << false;
        QTest::newRow("far down and right") << QByteArray("5000") << QByteArray("5000") << false;
        QTest::newRow("caption above the screen") << QByteArray("-20") << QByteArray("10") << false;
        QTest::newRow("largest number")
            << QByteArray("2147483647") << QByteArray("2147483647") << false;
    }
    void savedPositionOffTheScreenIsBroughtIntoView()
    {
        QFETCH(QByteArray, top);
        QFETCH(QByteArray, left);
        QFETCH(bool, kept);
        const QSize screen(1280, 1024);
        startX(false, screen);
        writeSettings("[WINDOW]\r\nTop=" + top + "\r\nLeft=" + left + "\r\n");
        startProgram();
        const QString main = windowTitled(QStringLiteral("QXモニター[COM1]"));
        QVERIFY(!main.isEmpty());
        const QRect shown = m_x->geometry(main);
        QVERIFY2(QRect(QPoint(0, 0), screen).contains(shown.topLeft()),
                 qPrintable(QStringLiteral("%1,%2").arg(shown.x()).arg(shown.y())));
        QVERIFY(shown.right() < screen.width() && shown.bottom() < screen.height());
        if (kept)
            QCOMPARE(shown.topLeft(), QPoint(left.toInt(), top.toInt()));
        // SIGTERM ends the program as closing its window does: the position is written back.
        m_qxwatch->terminate();
        QVERIFY(m_qxwatch->waitForFinished(kWaitMs));
        const QByteArray ini = settings();
        const QRegularExpression topLine("\\bTop=(-?\\d+)"), leftLine("\\bLeft=(-?\\d+)");
        const int savedTop = topLine.match(QString::fromLatin1(ini)).captured(1).toInt();
        const int savedLeft = leftLine.match(QString::fromLatin1(ini)).captured(1).toInt();
        QCOMPARE(QPoint(savedLeft, savedTop), shown.topLeft());
    }
};

QTEST_GUILESS_MAIN(tst_X11Program)
#include "tst_x11program.moc"
