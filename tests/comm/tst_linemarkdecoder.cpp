#include "comm/LineMarkDecoder_p.h"

#include <QTest>

// The driver's parity marks must come out of the stream however the reads split it.
class tst_LineMarkDecoder : public QObject
{
    Q_OBJECT
private slots:
    void givesBackDataBytes_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("plain bytes pass")
            << QByteArray("abc\x00\x13", 5) << QByteArray("abc\x00\x13", 5);
        QTest::newRow("doubled 0xFF is one 0xFF") << QByteArray("a\xff\xff"
                                                                "b")
                                                  << QByteArray("a\xff"
                                                                "b");
        QTest::newRow("two escaped 0xFF in a row")
            << QByteArray("\xff\xff\xff\xff") << QByteArray("\xff\xff");
        QTest::newRow("parity mark gives the received byte")
            << QByteArray("x\xff\x00\x41y", 5) << QByteArray("xAy");
        QTest::newRow("marked 0xFF byte") << QByteArray("\xff\x00\xff", 3) << QByteArray("\xff");
        QTest::newRow("break mark gives 0x00")
            << QByteArray("\xff\x00\x00", 3) << QByteArray("\x00", 1);
        QTest::newRow("0xFF before an ordinary byte is kept") << QByteArray("\xff"
                                                                            "A")
                                                              << QByteArray("\xff"
                                                                            "A");
    }

    void givesBackDataBytes()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QByteArray, data);
        // Every split point, including inside a mark.
        for (qsizetype cut = 0; cut <= raw.size(); ++cut) {
            LineMarkDecoder d;
            QByteArray out;
            d.feed(raw.constData(), cut, out);
            d.feed(raw.constData() + cut, raw.size() - cut, out);
            QCOMPARE(out, data);
            QVERIFY(!d.midMark());
        }
        // One byte at a time.
        LineMarkDecoder d;
        QByteArray out;
        for (char c : raw)
            d.feed(&c, 1, out);
        QCOMPARE(out, data);
    }

    void holdsAnUnfinishedMark()
    {
        LineMarkDecoder d;
        QByteArray out;
        d.feed("a\xff", 2, out);
        QCOMPARE(out, QByteArray("a"));
        QVERIFY(d.midMark());
        d.reset();
        d.feed("b", 1, out);
        QCOMPARE(out, QByteArray("ab"));
    }
};

QTEST_GUILESS_MAIN(tst_LineMarkDecoder)
#include "tst_linemarkdecoder.moc"
