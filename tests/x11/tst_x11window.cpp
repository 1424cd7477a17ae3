// The main window on a real X server (Xvfb, the xcb platform), driven by key presses that
// xdotool sends through the server as a user's keyboard would: access keys, shortcuts and the
// Tab order. Run once on a bare server and once under openbox (--window-manager), where the
// window manager hands out the focus.
#include "link/Frames.h"
#include "link/KeyCodes.h"
#include "platform/widgets/WindowSystem.h"
#include "tests/support/FakePort.h"
#include "tests/support/SettingsFiles.h"
#include "tests/x11/XServer.h"
#include "ui/KeyPad.h"
#include "ui/PortControl.h"
#include "ui/TForm1.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTest>
#include <cstdio>
#include <cstring>

namespace
{

XServer *server = nullptr;

QString name(const QWidget *w)
{
    if (!w)
        return QStringLiteral("<none>");
    if (!w->objectName().isEmpty())
        return w->objectName();
    if (qobject_cast<const QTabBar *>(w))
        return QStringLiteral("<tabs of %1>").arg(w->parentWidget()->objectName());
    return QString::fromLatin1(w->metaObject()->className());
}

} // namespace

class tst_X11Window : public QObject
{
    Q_OBJECT

    SettingsFiles m_settings;
    std::unique_ptr<TForm1> m_form;
    FakePort m_port;

    void openForm(const QByteArray &ini = QByteArray())
    {
        TForm1::Options o;
        o.settingsPath = m_settings.next();
        if (!ini.isEmpty())
            QVERIFY(SettingsFiles::write(o.settingsPath, ini));
        m_form = std::make_unique<TForm1>(o);
        m_port = FakePort();
        m_form->context().link.setPort(&m_port);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get(), 20000));
        // A window manager hands out the focus itself; without one the client is given it.
        const QString id = QString::number(m_form->winId());
        int code = -1;
        server->tool("xdotool",
                     {server->hasWindowManager() ? "windowactivate" : "windowfocus", "--sync", id},
                     &code);
        QCOMPARE(code, 0);
        QVERIFY(waitFor([&] { return m_form->isActiveWindow(); }));
    }

    void key(const QString &keys)
    {
        int code = -1;
        server->tool("xdotool", {"key", "--clearmodifiers", keys}, &code);
        QCOMPARE(code, 0);
    }

    // Presses the keys and waits for the port to take the frame of `code`.
    bool sends(const QString &keys, const QByteArray &code)
    {
        m_port.sent.clear();
        key(keys);
        return waitFor([&] { return m_port.sent == Frames::keyFrame(code); }, 5000);
    }

private slots:
    void cleanup()
    {
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
        m_form.reset();
    }

    void altFOpensTheFileMenuEveryTime()
    {
        openForm();
        auto *file = m_form->findChild<QMenu *>("File1");
        for (int round = 1; round <= 3; ++round) {
            key("alt+f");
            QVERIFY2(waitFor([&] { return QApplication::activePopupWidget() == file; }),
                     qPrintable(QStringLiteral("round %1: %2")
                                    .arg(round)
                                    .arg(name(QApplication::activePopupWidget()))));
            key("Escape");
            QVERIFY(waitFor([&] { return !QApplication::activePopupWidget(); }));
        }
    }

    void everyUnitKeyHasAKeyboardRoute()
    {
        openForm();
        m_form->keyPad().portOpened();
        for (int d = 0; d < 16; ++d) {
            const QString hex = QString::number(d, 16);
            const QString keys = d == 15 ? QStringLiteral("alt+shift+f") : "alt+" + hex;
            QVERIFY2(sends(keys, KeyCodes::digit(d)),
                     qPrintable(keys + " sent " + QString::fromLatin1(m_port.sent)));
        }
        QVERIFY(!QApplication::activePopupWidget());
        const std::pair<const char *, const char *> routes[] = {
            {"F3", KeyCodes::Enable},   {"F4", KeyCodes::Mode},      {"F5", KeyCodes::In},
            {"F6", KeyCodes::Out},      {"F7", KeyCodes::Id},        {"F8", KeyCodes::Err},
            {"F9", KeyCodes::On},       {"F10", KeyCodes::Data},     {"F11", KeyCodes::Ent},
            {"Delete", KeyCodes::Clr},  {"ctrl+w", KeyCodes::Up},    {"ctrl+z", KeyCodes::Down},
            {"ctrl+a", KeyCodes::Left}, {"ctrl+s", KeyCodes::Right},
        };
        for (const auto &[keys, code] : routes)
            QVERIFY2(sends(QLatin1String(keys), code),
                     qPrintable(QLatin1String(keys) + " sent " + QString::fromLatin1(m_port.sent)));
    }

    void modeAndMoveMenusOpenOnceAPortIsChosen()
    {
        openForm();
        auto *portMenu = m_form->findChild<QActionGroup *>();
        QVERIFY(portMenu);
        m_form->portControl().COM011Click(m_form->findChild<QAction *>("COM021"));
        for (const auto &[keys, menu] : {std::pair{"alt+m", "MenuMode"}, {"alt+v", "GoTo1"}}) {
            auto *expected = m_form->findChild<QMenu *>(menu);
            QVERIFY(expected->menuAction()->isEnabled());
            key(QLatin1String(keys));
            QVERIFY2(waitFor([&] { return QApplication::activePopupWidget() == expected; }), menu);
            key("Escape");
            QVERIFY(waitFor([&] { return !QApplication::activePopupWidget(); }));
            // And by the mouse, on the menu bar.
            QMenuBar *bar = m_form->menuBar();
            const QPoint at = bar->actionGeometry(expected->menuAction()).center();
            const QPoint onScreen = bar->mapToGlobal(at);
            int code = -1;
            server->tool("xdotool",
                         {"mousemove", QString::number(onScreen.x()), QString::number(onScreen.y()),
                          "click", "1"},
                         &code);
            QCOMPARE(code, 0);
            QVERIFY2(waitFor([&] { return QApplication::activePopupWidget() == expected; }), menu);
            key("Escape");
            QVERIFY(waitFor([&] { return !QApplication::activePopupWidget(); }));
        }
    }

    void tabWalksEveryVisibleControlInReadingOrder()
    {
        // Every area shown: comment panels and the comment grid.
        openForm("[QXMODE]\r\nCommentOn=1\r\nCommentEdit=1\r\n");
        // Connected, every key is enabled (a disabled control takes no focus).
        m_form->keyPad().portOpened();
        for (const char *name : {"btnIDScan", "btnONSET", "btnDATA"})
            m_form->findChild<QWidget *>(name)->setEnabled(true);
        m_form->findChild<QWidget *>("OpenButton")->setFocus(Qt::OtherFocusReason);
        QVERIFY(waitFor([&] { return QApplication::focusWidget(); }));
        QWidget *first = QApplication::focusWidget();
        QList<QWidget *> walk{first};
        for (int step = 0; step < 400; ++step) {
            QWidget *before = QApplication::focusWidget();
            key("Tab");
            QVERIFY2(waitFor([&] { return QApplication::focusWidget() != before; }, 5000),
                     qPrintable("Tab stuck at " + name(before)));
            QWidget *now = QApplication::focusWidget();
            if (now == first)
                break;
            // Each control once: coming back to another one is a loop that leaves some out.
            QVERIFY2(!walk.contains(now),
                     qPrintable("Tab went back from " + name(before) + " to " + name(now)));
            walk << now;
        }
        QStringList names;
        for (QWidget *w : walk)
            names << name(w);
        QVERIFY2(QApplication::focusWidget() == first,
                 qPrintable("Tab never came round (at " + name(QApplication::focusWidget()) +
                            "): " + names.join(QLatin1Char(' '))));

        QWidget *client = m_form->findChild<QWidget *>("ClientArea");
        const QRect visible(QPoint(0, 0), client->size());
        for (QWidget *w : walk) {
            // Only what the user sees takes the focus, each control once.
            QVERIFY2(w->isVisible(), qPrintable(name(w)));
            QVERIFY2(QRect(w->mapTo(client, QPoint(0, 0)), w->size()).intersects(visible),
                     qPrintable(name(w)));
            QCOMPARE(walk.count(w), 1);
        }
        for (const char *hidden : {"Edit1", "Edit2", "Edit3", "Edit4", "TmpMemo"})
            QVERIFY2(!names.contains(QLatin1String(hidden)), hidden);

        // Every kind of control is on the way, in reading order: the tool strip, the tabs and
        // their page, the comment grid, the key pad area by area and row by row, the comment
        // fields row by row.
        const QStringList anchors = {
            "OpenButton",   "CloseButton", "btnMODE",     "btnENB",
            "btnComment",   "btnCmntEdit", "btnEditDone", "qt_tabwidget_tabbar",
            "IDStringGrid", "btnIDScan",   "StringGrid1", "btnIN",
            "btnERR",       "btn12",       "btn15",       "btnCLR",
            "btn8",         "btnENT",      "btn0",        "btn3",
            "btnUP",        "btnLEFT",     "btnONSET",    "btnRIGHT",
            "btnDOWN",      "btnDATA",     "CmntEdit0",   "CmntEdit8",
            "CmntEdit1",    "CmntEdit63"};
        qsizetype previous = -1;
        for (const QString &anchor : anchors) {
            const qsizetype at = names.indexOf(anchor);
            QVERIFY2(at > previous,
                     qPrintable(anchor + " out of order in: " + names.join(QLatin1Char(' '))));
            previous = at;
        }
        QVERIFY2(names.contains("Q3/Q4") || names.contains("Q2") ||
                     std::any_of(walk.begin(), walk.end(),
                                 [](QWidget *w) { return w->inherits("QRadioButton"); }),
                 qPrintable(names.join(QLatin1Char(' '))));
        // A grid is one stop: Tab leaves it rather than walking its cells.
        for (qsizetype i = 0; i + 1 < walk.size(); ++i)
            if (qobject_cast<QAbstractItemView *>(walk[i]))
                QVERIFY(walk[i + 1]->parentWidget() != walk[i] &&
                        !walk[i]->isAncestorOf(walk[i + 1]));
        // The second tab's page comes into the walk when it is shown.
        auto *tabs = m_form->findChild<QTabWidget *>("PageControl1");
        tabs->setCurrentIndex(1);
        QWidget *tabBar = tabs->tabBar();
        tabBar->setFocus(Qt::TabFocusReason);
        QVERIFY(waitFor([&] { return QApplication::focusWidget() == tabBar; }));
        key("Tab");
        QVERIFY(waitFor([&] { return QApplication::focusWidget() != tabBar; }));
        QVERIFY2(tabs->widget(1)->isAncestorOf(QApplication::focusWidget()),
                 qPrintable(name(QApplication::focusWidget())));
    }

    void frameIsReadFromTheServer()
    {
        // What the program corrects the window's place by: under a window manager, the
        // client's place on the screen less the frame extents, as xwininfo and xprop see them;
        // on a bare server there is no frame to tell.
        QWidget window;
        window.setGeometry(40, 60, 300, 200);
        window.show();
        const QString id = QString::number(window.winId());
        if (!server->hasWindowManager()) {
            QVERIFY(QTest::qWaitForWindowExposed(&window, 20000));
            QVERIFY(!WindowSystem::frameOnServer(&window).has_value());
            return;
        }
        QList<int> edges;
        QVERIFY(waitFor([&] {
            edges.clear();
            const QString line = server->property(id, QStringLiteral("_NET_FRAME_EXTENTS"));
            for (const QString &item : line.section(QLatin1Char('='), 1).split(QLatin1Char(',')))
                edges << item.trimmed().toInt();
            return edges.size() == 4 && WindowSystem::frameOnServer(&window).has_value();
        }));
        // The window manager may still be placing it: both are read until they agree.
        QRect seen;
        QRect expected;
        QVERIFY2(waitFor([&] {
                     const QRect client = server->geometry(id);
                     expected = QRect(client.left() - edges[0], client.top() - edges[2],
                                      client.width() + edges[0] + edges[1],
                                      client.height() + edges[2] + edges[3]);
                     seen = WindowSystem::frameOnServer(&window).value_or(QRect());
                     return seen == expected;
                 }),
                 qPrintable(QStringLiteral("%1,%2 %3x%4 against %5,%6 %7x%8")
                                .arg(seen.x())
                                .arg(seen.y())
                                .arg(seen.width())
                                .arg(seen.height())
                                .arg(expected.x())
                                .arg(expected.y())
                                .arg(expected.width())
                                .arg(expected.height())));
        QVERIFY(edges[2] > 0); // openbox's caption
    }
};

int main(int argc, char **argv)
{
    // The X server comes first: the application object connects to it.
    bool windowManager = false;
    std::vector<char *> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--window-manager") == 0)
            windowManager = true;
        else
            args.push_back(argv[i]);
    }
    int count = int(args.size());
    XServer x;
    server = &x;
    if (!x.start()) {
        std::fprintf(stderr, "FAIL: %s\n", qPrintable(x.why()));
        return 1;
    }
    qputenv("DISPLAY", x.display().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qunsetenv("QT_SCALE_FACTOR");
    QApplication app(count, args.data());
    if (windowManager && !x.startWindowManager()) {
        std::fprintf(stderr, "FAIL: %s\n", qPrintable(x.why()));
        return 1;
    }
    tst_X11Window test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, count, args.data());
}

#include "tst_x11window.moc"
