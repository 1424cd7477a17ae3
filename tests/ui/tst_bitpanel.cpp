// Mouse events travel through the window as a user's would, so that a click lands on whatever
// element lies on top at that point and a right click raises a context menu request.
#define QTEST_QPA_MOUSE_HANDLING

#include "tests/ui/BitPanelFixture.h"

using namespace BitPanelTest;

// Where lamps, labels and the cursor stand, and what each line's comment entries show.
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
        w.ctx.link.setBitMode(bitMode);
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
