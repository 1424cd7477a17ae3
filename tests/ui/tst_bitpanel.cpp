// Mouse events travel through the window as a user's would, so that a click lands on whatever
// element lies on top at that point and a right click raises a context menu request.
#define QTEST_QPA_MOUSE_HANDLING

#include "link/Frames.h"
#include "platform/ImageBox.h"
#include "tests/support/FakePort.h"
#include "ui/BitPanel.h"
#include "ui/FormContext.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <memory>

namespace
{

// Lamp places of the panel in client pixels: row tops, and the left edge of bit b in "R" order.
constexpr int kRowTop[4] = {56, 80, 104, 128};
constexpr int kColLeft[16] = {392, 376, 360, 344, 328, 312, 296, 280,
                              256, 240, 224, 208, 192, 176, 160, 144};

// A stand-in for the main window: the display line texts, the comment panel entries, a status
// bar, btnLSB and a fake port, with the bit panel built on top.
struct Window {
    QWidget form;
    QWidget *client = new QWidget(&form);
    QStatusBar *statusBar = new QStatusBar(&form);
    FakePort port;
    FormContext ctx;
    std::unique_ptr<BitPanel> panel;

    explicit Window(const QString &order = QStringLiteral("R"))
    {
        form.resize(911, 668);
        client->setGeometry(0, 0, 911, 640);
        statusBar->setGeometry(0, 640, 911, 28);
        for (int n = 1; n <= 4; ++n) {
            const int y = 56 + 24 * (n - 1);
            for (auto [prefix, x, text] : {std::tuple{"IO", 8, "--"}, std::tuple{"Addr", 44, "000"},
                                           std::tuple{"Data", 80, "0000"}}) {
                auto *l = new QLabel(QLatin1String(text), client);
                l->setObjectName(QLatin1String(prefix) + QString::number(n));
                l->setGeometry(x, y, 34, 20);
            }
        }
        auto *lsb = new QPushButton(QStringLiteral("LSB"), client);
        lsb->setObjectName(QStringLiteral("btnLSB"));
        lsb->setGeometry(72, 0, 24, 24);
        for (int n = 0; n < 64; ++n) {
            const QPoint at(10 + (n % 16) * 55, 300 + (n / 16) * 40);
            auto *lab = new QLabel(client);
            lab->setObjectName(QStringLiteral("Lab%1").arg(n));
            lab->setGeometry(QRect(at, QSize(30, 17)));
            auto *lamp = new ImageBox(client);
            lamp->setObjectName(QStringLiteral("Image%1").arg(64 + n));
            lamp->setGeometry(QRect(at + QPoint(30, 0), QSize(17, 17)));
            auto *edit = new QLineEdit(QStringLiteral("stale"), client);
            edit->setObjectName(QStringLiteral("CmntEdit%1").arg(n));
            edit->setGeometry(QRect(at + QPoint(0, 18), QSize(50, 19)));
        }
        for (int i = 0; i < CommentTables::kBitCount; ++i) {
            ctx.comments.CommentBI[i] = QStringLiteral("bi%1").arg(i);
            ctx.comments.CommentBO[i] = QStringLiteral("bo%1").arg(i);
        }
        for (int i = 0; i < CommentTables::kWordBitCount; ++i) {
            ctx.comments.CommentWI[i] = QStringLiteral("wi%1").arg(i);
            ctx.comments.CommentWO[i] = QStringLiteral("wo%1").arg(i);
        }
        ctx.port = &port;
        ctx.form = &form;
        ctx.client = client;
        ctx.statusBar = statusBar;
        ctx.BitOrder = order;
        panel = std::make_unique<BitPanel>(ctx);
        panel->connectLamps();
    }

    template <class T = QWidget> T *el(const QString &name) const
    {
        return client->findChild<T *>(name);
    }
    ImageBox *lamp(int k) const { return el<ImageBox>(QStringLiteral("Image%1").arg(k)); }
    QWidget *cursor() const { return el(QStringLiteral("BitCursor")); }
    QLabel *addr1() const { return el<QLabel>(QStringLiteral("Addr1")); }

    // As the main window fills it at start-up; the names are then changed so that only the
    // table can find the elements.
    void fillControlTableAndRename()
    {
        QStringList names;
        for (int n = 1; n <= 4; ++n)
            names << QStringLiteral("Edit%1").arg(n) << QStringLiteral("IO%1").arg(n)
                  << QStringLiteral("Addr%1").arg(n) << QStringLiteral("Data%1").arg(n);
        QList<QWidget *> table(304, nullptr);
        const auto put = [&](int slot, const QString &name) {
            if (QWidget *w = el(name)) {
                table[slot] = w;
                w->setObjectName(QStringLiteral("renamed%1").arg(slot));
            }
        };
        for (int n = 1; n <= 4; ++n) {
            put(3 + n, QStringLiteral("IO%1").arg(n));
            put(7 + n, QStringLiteral("Addr%1").arg(n));
            put(11 + n, QStringLiteral("Data%1").arg(n));
        }
        for (int n = 0; n < 128; ++n)
            put(32 + n, QStringLiteral("Image%1").arg(n));
        for (int n = 2; n <= 17; ++n)
            put(158 + n, QStringLiteral("Label%1").arg(n));
        for (int n = 0; n < 64; ++n) {
            put(176 + n, QStringLiteral("CmntEdit%1").arg(n));
            put(240 + n, QStringLiteral("Lab%1").arg(n));
        }
        ctx.ControlTable = table;
    }

    void setLine(int line, const QString &kind, const QString &addr, const QString &data)
    {
        el<QLabel>(QStringLiteral("IO%1").arg(line + 1))->setText(kind);
        el<QLabel>(QStringLiteral("Addr%1").arg(line + 1))->setText(addr);
        el<QLabel>(QStringLiteral("Data%1").arg(line + 1))->setText(data);
    }

    void showForClicks()
    {
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
    }
};

// The monitor unit's cursor as far as lamp clicks need it: each arrow key moves its bit address,
// and the new address shows in Addr1 once the window gets to process events.
struct FakeUnit {
    Window &w;
    int address;
    bool answers = true;
    QList<QByteArray> codes;
    std::function<void()> onFirstKey;

    FakeUnit(Window &window, int start) : w(window), address(start)
    {
        w.addr1()->setText(text(address));
        w.port.onSend = [this](const QByteArray &frame) { key(frame); };
    }

    static QString text(int a) { return QStringLiteral("%1").arg(a, 3, 10, QLatin1Char('0')); }

    void key(const QByteArray &frame)
    {
        const auto code = Frames::parseKeyFrame(frame);
        QVERIFY(code.has_value());
        codes << *code;
        if (codes.size() == 1 && onFirstKey)
            onFirstKey();
        if (!answers)
            return;
        if (*code == "24")
            ++address;
        else if (*code == "25")
            --address;
        else if (*code == "27")
            address += 16;
        else if (*code == "22")
            address -= 16;
        QTimer::singleShot(0, w.addr1(), [this] { w.addr1()->setText(text(address)); });
    }
};

QList<QByteArray> repeated(const QByteArray &code, int n)
{
    return QList<QByteArray>(n, code);
}

QPoint centre(const QWidget *w)
{
    return w->rect().center();
}

} // namespace

class tst_BitPanel : public QObject
{
    Q_OBJECT

private slots:
    void lampsAndLabelsFollowTheBitOrder_data()
    {
        QTest::addColumn<QString>("order");
        QTest::addColumn<int>("toggles");
        QTest::addColumn<bool>("bit0Left");
        QTest::addColumn<bool>("viaTable");
        QTest::newRow("R") << "R" << 0 << false << false;
        QTest::newRow("L") << "L" << 0 << true << false;
        QTest::newRow("R toggled once") << "R" << 1 << true << false;
        QTest::newRow("R toggled twice") << "R" << 2 << false << false;
        QTest::newRow("L toggled twice") << "L" << 2 << true << false;
        QTest::newRow("L toggled once, elements via ControlTable") << "L" << 1 << false << true;
        QTest::newRow("unknown order lays out as R") << "x" << 0 << false << false;
    }

    void lampsAndLabelsFollowTheBitOrder()
    {
        QFETCH(QString, order);
        QFETCH(int, toggles);
        QFETCH(bool, bit0Left);
        QFETCH(bool, viaTable);

        Window w(order);
        std::vector<ImageBox *> lamps;
        std::vector<QWidget *> labels;
        for (int k = 0; k < 64; ++k)
            lamps.push_back(w.lamp(k));
        for (int i = 0; i < 16; ++i)
            labels.push_back(w.el(QStringLiteral("Label%1").arg(i + 2)));
        if (viaTable)
            w.fillControlTableAndRename();
        w.showForClicks();
        for (int t = 0; t < toggles; ++t)
            QTest::mouseClick(w.el<QPushButton>("btnLSB"), Qt::LeftButton);
        QCOMPARE(w.ctx.BitOrder, bit0Left ? QString("L") : QString("R"));

        for (int k = 0; k < 64; ++k) {
            const int bit = 15 - k % 16;
            const int left = bit0Left ? kColLeft[15 - bit] : kColLeft[bit];
            QCOMPARE(lamps[k]->geometry(), QRect(left, kRowTop[k / 16], 17, 17));
        }
        for (int i = 0; i < 16; ++i) {
            QCOMPARE(labels[i]->property("text").toString(), QString::number(i));
            QCOMPARE(labels[i]->y(), 32);
            // The label of bit i stands over the lamps of bit i (lamp 15 - i of each row).
            QCOMPARE(labels[i]->x(), lamps[15 - i]->x());
        }
        // Bits 7 and 8 are set apart by 24 pixels in either order.
        QCOMPARE(qAbs(lamps[7]->x() - lamps[8]->x()), 24);
    }

    void cursorSitsOnTheLampOfTheAddress_data()
    {
        QTest::addColumn<QString>("order");
        QTest::addColumn<QString>("addr");
        QTest::addColumn<QPoint>("place");
        QTest::newRow("0, R") << "R"
                              << "000" << QPoint(392, 56);
        QTest::newRow("0, L") << "L"
                              << "000" << QPoint(144, 56);
        QTest::newRow("37, R") << "R"
                               << "037" << QPoint(312, 104);
        QTest::newRow("37, L") << "L"
                               << "037" << QPoint(224, 104);
        QTest::newRow("100, R") << "R"
                                << "100" << QPoint(328, 104);
        QTest::newRow("100, L") << "L"
                                << "100" << QPoint(208, 104);
        QTest::newRow("63, R") << "R"
                               << "063" << QPoint(144, 128);
        QTest::newRow("37, unknown order as R") << "?"
                                                << "037" << QPoint(312, 104);
        // Not a bit address: the cursor stays at the place of the 37 set before.
        QTest::newRow("word address, R") << "R"
                                         << "W01" << QPoint(312, 104);
        QTest::newRow("blank address, L") << "L"
                                          << "   " << QPoint(224, 104);
        QTest::newRow("negative address, R") << "R"
                                             << "-1" << QPoint(312, 104);
    }

    void cursorSitsOnTheLampOfTheAddress()
    {
        QFETCH(QString, order);
        QFETCH(QString, addr);
        QFETCH(QPoint, place);

        Window w(order);
        w.panel->PlaceBitCursor("037");
        w.panel->PlaceBitCursor(addr);
        QCOMPARE(w.cursor()->geometry(), QRect(place, QSize(17, 17)));
    }

    void toggleLeavesTheCursorWhereItWas()
    {
        Window w;
        w.panel->PlaceBitCursor("037");
        const QRect before = w.cursor()->geometry();
        w.panel->btnLSBClick();
        QCOMPARE(w.cursor()->geometry(), before);
        w.panel->PlaceBitCursor("037");
        QCOMPARE(w.cursor()->pos(), QPoint(224, 104));
    }

    void cursorInvertsWhatLiesBeneath()
    {
        Window w;
        const QPixmap green = w.el<ImageBox>("GrnLED")->picture();
        QCOMPARE(green.size(), QSize(16, 16));
        w.lamp(15)->setPicture(green); // bit 0 of the first row, at 392, 56 in R order
        w.panel->PlaceBitCursor("000");
        w.cursor()->hide();
        const QImage plain = w.client->grab().toImage();
        w.cursor()->show();
        const QImage marked = w.client->grab().toImage();

        const auto rgb = [](const QImage &img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; };
        // The outline over the lamp's black ground comes out white; inside, the lamp is
        // untouched; below and right of the picture the frame's ground is inverted too.
        QCOMPARE(rgb(plain, 392, 56), 0x000000u);
        QCOMPARE(rgb(marked, 392, 56), 0xFFFFFFu);
        QCOMPARE(rgb(plain, 392, 64), 0x000000u);
        QCOMPARE(rgb(marked, 392, 64), 0xFFFFFFu);
        QCOMPARE(rgb(plain, 400, 64), 0x00FF00u);
        QCOMPARE(rgb(marked, 400, 64), 0x00FF00u);
        QCOMPARE(rgb(plain, 392 + 16, 56 + 16), ~rgb(marked, 392 + 16, 56 + 16) & 0xFFFFFF);
    }

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
        w.ctx.BitMode = w.ctx.DebugMode = true;
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
        w.ctx.BitMode = bitMode;
        w.ctx.DebugMode = debug;
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
        w.ctx.BitMode = w.ctx.DebugMode = true;
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

    void clickDuringAMoveIsIgnored()
    {
        Window w;
        w.ctx.BitMode = w.ctx.DebugMode = true;
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
        w.ctx.BitMode = w.ctx.DebugMode = true;
        FakeUnit unit(w, 0);
        w.addr1()->setText("W01");
        w.panel->MoveCursorToLamp(0);
        QCOMPARE(w.port.sendCount, 0);
    }

    void clicksOnTheCursor()
    {
        Window w;
        w.ctx.BitMode = w.ctx.DebugMode = true;
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

    void commentLineEntries_data()
    {
        QTest::addColumn<bool>("bitMode");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("addr");
        QTest::addColumn<QString>("data");
        QTest::addColumn<bool>("viaTable");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QStringList>("comments");

        const auto numbers = [](qint64 first) {
            QStringList l;
            for (int m = 0; m < 16; ++m)
                l << QString::number(first + m);
            return l;
        };
        const auto words = [](int word) {
            QStringList l;
            for (int m = 0; m < 16; ++m)
                l << QStringLiteral("%1-%2").arg(word).arg(m);
            return l;
        };
        const auto table = [](const char *prefix, int first, int size) {
            QStringList l;
            for (int m = 0; m < 16; ++m)
                l << (first + m < size ? QLatin1String(prefix) + QString::number(first + m)
                                       : QString());
            return l;
        };
        const QStringList none(16, QString());

        QTest::newRow("bit mode, cursor 070, line 2 IN")
            << true << 1 << "IN"
            << "070"
            << "0000" << false << numbers(80) << table("bi", 80, 256);
        QTest::newRow("bit mode, line 4 OUT, via ControlTable")
            << true << 3 << "OUT"
            << "200"
            << "0000" << true << numbers(240) << table("bo", 240, 256);
        QTest::newRow("bit mode, word address past the bit tables")
            << true << 3 << "IN"
            << "W20"
            << "0000" << false << numbers(368) << none;
        QTest::newRow("bit mode, word address within the bit tables")
            << true << 0 << "IN"
            << "W02"
            << "0000" << false << numbers(32) << table("bi", 32, 256);
        QTest::newRow("data mode, word 5 OUT")
            << false << 0 << "OUT"
            << "W05"
            << "0000" << false << words(5) << table("wo", 80, 1024);
        QTest::newRow("data mode, word 63 IN, via ControlTable")
            << false << 2 << "IN"
            << "W63"
            << "0000" << true << words(63) << table("wi", 1008, 1024);
        QTest::newRow("data mode, bit 017 IN")
            << false << 2 << "IN"
            << "017"
            << "0000" << false << numbers(17) << table("bi", 17, 256);
        QTest::newRow("data mode, bit 248 OUT runs past the table")
            << false << 1 << "OUT"
            << "248"
            << "0000" << false << numbers(248) << table("bo", 248, 256);
        QTest::newRow("kind ERR: labels, no comments") << false << 2 << "ERR"
                                                       << "017"
                                                       << "0000" << false << numbers(17) << none;
        QTest::newRow("kind OWT on a word: labels, no comments")
            << false << 0 << "OWT"
            << "W05"
            << "0000" << false << words(5) << none;
        QTest::newRow("kind ID: labels, no comments") << true << 0 << "ID"
                                                      << "070"
                                                      << "0000" << false << numbers(64) << none;
        QTest::newRow("blank third address character: base 0")
            << false << 0 << "IN"
            << "01 "
            << "0000" << false << numbers(0) << table("bi", 0, 256);
        QTest::newRow("data beginning with R: base 0")
            << false << 1 << "OUT"
            << "017"
            << "R123" << false << numbers(0) << table("bo", 0, 256);
        QTest::newRow("address not a number: base 0")
            << false << 0 << "IN"
            << "abc"
            << "0000" << false << numbers(0) << table("bi", 0, 256);
        QTest::newRow("word number not a number: base 0")
            << false << 0 << "IN"
            << "Wxy"
            << "0000" << false << words(0) << table("wi", 0, 1024);
    }

    void commentLineEntries()
    {
        QFETCH(bool, bitMode);
        QFETCH(int, line);
        QFETCH(QString, kind);
        QFETCH(QString, addr);
        QFETCH(QString, data);
        QFETCH(bool, viaTable);
        QFETCH(QStringList, labels);
        QFETCH(QStringList, comments);

        Window w;
        w.ctx.BitMode = bitMode;
        w.setLine(line, kind, addr, data);
        std::vector<QLabel *> labs;
        std::vector<QLineEdit *> edits;
        std::vector<ImageBox *> mains, copies;
        for (int m = 0; m < 16; ++m) {
            const int n = 16 * line + m;
            labs.push_back(w.el<QLabel>(QStringLiteral("Lab%1").arg(n)));
            edits.push_back(w.el<QLineEdit>(QStringLiteral("CmntEdit%1").arg(n)));
            mains.push_back(w.lamp(n));
            copies.push_back(w.lamp(64 + n));
        }
        const QPixmap on = BitPanel::lampPicture(Qt::red), off = BitPanel::lampPicture(Qt::darkRed);
        for (int m = 0; m < 16; ++m)
            mains[m]->setPicture(m % 3 ? off : on);
        if (viaTable)
            w.fillControlTableAndRename();

        w.panel->ShowCommentLine(line);
        for (int m = 0; m < 16; ++m) {
            QCOMPARE(labs[m]->text(), labels.at(m));
            QCOMPARE(edits[m]->text(), comments.at(m));
            QCOMPARE(copies[m]->picture().cacheKey(), mains[m]->picture().cacheKey());
        }
        // The other lines' entries are left alone.
        const int other = (line + 1) % 4 * 16;
        QCOMPARE(w.el<QLineEdit>(viaTable ? QStringLiteral("renamed%1").arg(176 + other)
                                          : QStringLiteral("CmntEdit%1").arg(other))
                     ->text(),
                 QString("stale"));
    }
};

QTEST_MAIN(tst_BitPanel)
#include "tst_bitpanel.moc"
