#include "link/Frames.h"
#include "unit/KeyFrameParser.h"

#include <QRandomGenerator>
#include <QTest>

class tst_KeyFrameParser : public QObject
{
    Q_OBJECT

private slots:
    void findsFramesInStream_data()
    {
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QByteArrayList>("codes");

        QTest::newRow("IN key") << QByteArrayList{"*012b"} << QByteArrayList{"01"};
        QTest::newRow("INI letters") << QByteArrayList{"*ON2b"} << QByteArrayList{"ON"};
        QTest::newRow("two frames in one read")
            << QByteArrayList{"*012b*2921"} << QByteArrayList{"01", "29"};
        QTest::newRow("byte by byte")
            << QByteArrayList{"*", "0", "1", "2", "b"} << QByteArrayList{"01"};
        QTest::newRow("split across reads")
            << QByteArrayList{"*01", "2b*29", "21"} << QByteArrayList{"01", "29"};
        QTest::newRow("noise before")
            << QByteArrayList{QByteArray("xy\0z", 4) + "*012b"} << QByteArrayList{"01"};
        QTest::newRow("upper-case check rejected") << QByteArrayList{"*262E"} << QByteArrayList{};
        QTest::newRow("rejected frame then good one")
            << QByteArrayList{"*262E*2921"} << QByteArrayList{"29"};
        QTest::newRow("wrong check rejected")
            << QByteArrayList{"*012c", "*2921"} << QByteArrayList{"29"};
        QTest::newRow("star inside a broken frame starts the next")
            << QByteArrayList{"*0*012b"} << QByteArrayList{"01"};
        QTest::newRow("doubled star") << QByteArrayList{"**012b"} << QByteArrayList{"01"};
        QTest::newRow("frame cut short by the next")
            << QByteArrayList{"*01", "*2921"} << QByteArrayList{"29"};
        QTest::newRow("code outside the key table still parses")
            << QByteArrayList{"*992a"} << QByteArrayList{"99"};
        QTest::newRow("incomplete frame yields nothing")
            << QByteArrayList{"*01"} << QByteArrayList{};
    }

    void findsFramesInStream()
    {
        QFETCH(QByteArrayList, chunks);
        QFETCH(QByteArrayList, codes);
        KeyFrameParser parser;
        QByteArrayList found;
        for (const QByteArray &c : chunks)
            found += parser.feed(c);
        QCOMPARE(found, codes);
    }

    // Key frames scattered in noise without "*", read in chunks of random size: every frame is
    // found, in order, whatever the chunk boundaries.
    void findsEveryFrameWhateverTheReadSizes()
    {
        auto *rng = QRandomGenerator::global();
        const QByteArrayList keys{"01", "03", "06", "21", "24", "25", "28", "30", "ON"};
        for (int round = 0; round < 50; ++round) {
            QByteArray stream;
            QByteArrayList sent;
            for (int i = 0; i < 20; ++i) {
                const int noise = rng->bounded(4);
                for (int n = 0; n < noise; ++n) {
                    char b = static_cast<char>(rng->bounded(256));
                    stream += b == '*' ? '#' : b;
                }
                const QByteArray code = keys.at(rng->bounded(keys.size()));
                sent += code;
                stream += Frames::keyFrame(code);
            }
            KeyFrameParser parser;
            QByteArrayList found;
            for (qsizetype at = 0; at < stream.size();) {
                const qsizetype n = std::min<qsizetype>(1 + rng->bounded(7), stream.size() - at);
                found += parser.feed(QByteArrayView(stream.constData() + at, n));
                at += n;
            }
            QCOMPARE(found, sent);
            QCOMPARE(parser.pendingSize(), 0);
        }
    }
};

QTEST_APPLESS_MAIN(tst_KeyFrameParser)
#include "tst_keyframeparser.moc"
