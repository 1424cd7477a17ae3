#include "link/DisplayFrame.h"
#include "link/Frames.h"

#include <QTest>

class tst_DisplayFrame : public QObject
{
    Q_OBJECT
private slots:
    void decodesHeadersAndFields_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("debug");
        QTest::addColumn<bool>("bitMode");
        QTest::addColumn<int>("line");
        QTest::addColumn<bool>("cursor");
        QTest::addColumn<char>("kind");
        QTest::addColumn<QByteArray>("addr");
        QTest::addColumn<QByteArray>("data");

        QTest::newRow("debug, data mode, line 1 with the cursor")
            << QByteArray("*rt100000012C") << true << false << 0 << true << '1' << QByteArray("000")
            << QByteArray("0001");
        QTest::newRow("debug, bit mode, line 1 with the cursor")
            << QByteArray("*vt201600FF2D") << true << true << 0 << true << '2' << QByteArray("016")
            << QByteArray("00FF");
        QTest::newRow("monitor, bit mode")
            << Frames::displayFrame('t', 0x70, '1', "100", "0000") << false << true << 0 << false
            << '1' << QByteArray("100") << QByteArray("0000");
        QTest::newRow("header A bit 0 is not interpreted")
            << Frames::displayFrame('s', 0x71, '3', "W05", "8123") << true << false << 1 << false
            << '3' << QByteArray("W05") << QByteArray("8123");
        QTest::newRow("line 4 without the cursor")
            << Frames::displayFrame('p', 0x73, '4', "   ", "****") << false << false << 3 << false
            << '4' << QByteArray("   ") << QByteArray("****");
        QTest::newRow("line 3 with the cursor")
            << Frames::displayFrame('r', 0x76, '2', "016", "8001") << true << false << 2 << true
            << '2' << QByteArray("016") << QByteArray("8001");
        QTest::newRow("header B's upper bits are not interpreted")
            << Frames::displayFrame('r', char(0xFD), '1', "000", "0000") << true << false << 1
            << true << '1' << QByteArray("000") << QByteArray("0000");
        QTest::newRow("header B outside the unit's range")
            << Frames::displayFrame('w', '0', '9', "12a", "12ab") << true << true << 0 << false
            << '9' << QByteArray("12a") << QByteArray("12ab");
    }
    void decodesHeadersAndFields()
    {
        QFETCH(QByteArray, frame);
        QFETCH(bool, debug);
        QFETCH(bool, bitMode);
        QFETCH(int, line);
        QFETCH(bool, cursor);
        QFETCH(char, kind);
        QFETCH(QByteArray, addr);
        QFETCH(QByteArray, data);

        QVERIFY(Frames::displayCheckMatches(frame.constData()));
        const DisplayFrame f = DisplayFrame::decode(frame.constData());
        QCOMPARE(f.debug, debug);
        QCOMPARE(f.bitMode, bitMode);
        QCOMPARE(f.line, line);
        QCOMPARE(f.cursor, cursor);
        QCOMPARE(f.kind, kind);
        QCOMPARE(f.addr, addr);
        QCOMPARE(f.data, data);
        QCOMPARE(f.raw, frame);
    }

    // A frame's bytes above 0x7F travel into the texts unchanged (the window shows them as
    // Shift-JIS); decoding neither widens nor truncates them.
    void keepsBytesAboveAscii()
    {
        const QByteArray frame =
            Frames::displayFrame('r', 0x70, char(0x82), "\x82\xa0 ", "\x81\x60  ");
        const DisplayFrame f = DisplayFrame::decode(frame.constData());
        QCOMPARE(f.kind, char(0x82));
        QCOMPARE(f.addr, QByteArray("\x82\xa0 "));
        QCOMPARE(f.data, QByteArray("\x81\x60  "));
        QCOMPARE(f.raw.size(), 13);
    }
};

QTEST_GUILESS_MAIN(tst_DisplayFrame)
#include "tst_displayframe.moc"
