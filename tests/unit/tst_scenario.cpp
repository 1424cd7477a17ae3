#include "platform/Exceptions.h"
#include "unit/MonitorUnit.h"
#include "unit/Scenario.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

class tst_Scenario : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_count = 0;

    QString write(const QByteArray &content)
    {
        const QString path = m_dir.filePath(QStringLiteral("s%1.ini").arg(++m_count));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            qFatal("cannot write test file");
        return path;
    }

private slots:
    void loadsEverySection()
    {
        const Scenario s = Scenario::load(write("[unit]\r\ndebug=1\r\nMode=Bit\r\n"
                                                "ChannelPeriod=50\r\nCounterPeriod=20\r\n"
                                                "[IDs]\r\n905=OK\r\n6ff=err\r\n010=OK\r\n"
                                                "[InputBits]\r\n016=00f0\r\n"
                                                "[OutputBits]\r\n240=C001\r\n"
                                                "[InputWords]\r\nW07=1234\r\n"
                                                "[OutputWords]\r\nw63=FFFF\r\n"
                                                "[Counters]\r\nW08=-3\r\n"
                                                "[BlinkBits]\r\n255=40\r\n"
                                                "[EightChannel]\r\nW09=12,1,2,3\r\n"));
        QVERIFY(s.debug);
        QVERIFY(s.bitMode);
        QCOMPARE(s.channelPeriod, 50ms);
        QCOMPARE(s.counterPeriod, 20ms);
        QCOMPARE(s.ids.size(), 3);
        QCOMPARE(s.ids.at(0).id, 0x010); // kept in ascending order
        QCOMPARE(s.ids.at(1).id, 0x6FF);
        QVERIFY(s.ids.at(1).erroneous);
        QCOMPARE(s.ids.at(2).id, 0x905);
        QCOMPARE(s.inputBits[1], 0x00F0);
        QCOMPARE(s.outputBits[15], 0xC001);
        QCOMPARE(s.inputWords.at(7), 0x1234);
        QCOMPARE(s.outputWords.at(63), 0xFFFF);
        QCOMPARE(s.counters.at(8), -3);
        QVERIFY(s.inputWords.count(8)); // a counter is an input word
        QCOMPARE(s.blinkBits.at(255), 40);
        QCOMPARE(s.eightChannel.size(), 1);
        QCOMPARE(s.eightChannel.at(0).word, 9);
        QCOMPARE(s.eightChannel.at(0).format, 12);
        QCOMPARE(s.eightChannel.at(0).values[2], 3);
        QVERIFY(s.inputWords.count(9));

        const MonitorUnit unit(s);
        QCOMPARE(unit.displayFrames().at(0).at(1), 'v'); // debug, bit mode
    }

    void rejectsEntriesThatMakeNoSense_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("where");

        QTest::newRow("ID not hexadecimal") << QByteArray("[IDs]\nG00=OK\n") << "[IDs] G00";
        QTest::newRow("ID of four digits") << QByteArray("[IDs]\n1000=OK\n") << "[IDs] 1000";
        QTest::newRow("ID state") << QByteArray("[IDs]\n600=MAYBE\n") << "[IDs] 600";
        QTest::newRow("bit row not on a row start")
            << QByteArray("[InputBits]\n017=0001\n") << "[InputBits] 017";
        QTest::newRow("bit row beyond the image")
            << QByteArray("[OutputBits]\n256=0001\n") << "[OutputBits] 256";
        QTest::newRow("bit row value too long")
            << QByteArray("[InputBits]\n016=00001\n") << "[InputBits] 016";
        QTest::newRow("word beyond W63")
            << QByteArray("[InputWords]\nW64=0000\n") << "[InputWords] W64";
        QTest::newRow("word value not hexadecimal")
            << QByteArray("[OutputWords]\nW01=12G4\n") << "[OutputWords] W01";
        QTest::newRow("counter step") << QByteArray("[Counters]\nW01=fast\n") << "[Counters] W01";
        QTest::newRow("blink period zero")
            << QByteArray("[BlinkBits]\n002=0\n") << "[BlinkBits] 002";
        QTest::newRow("eight-channel format")
            << QByteArray("[EightChannel]\nW04=14\n") << "[EightChannel] W04";
        QTest::newRow("12-bit value too large")
            << QByteArray("[EightChannel]\nW04=12,4096\n") << "[EightChannel] W04";
        QTest::newRow("nine channel values")
            << QByteArray("[EightChannel]\nW04=13,1,2,3,4,5,6,7,8,9\n") << "[EightChannel] W04";
        QTest::newRow("mode") << QByteArray("[Unit]\nMode=fast\n") << "[Unit] Mode";
        QTest::newRow("unknown unit key") << QByteArray("[Unit]\nColour=1\n") << "[Unit] Colour";
    }

    void rejectsEntriesThatMakeNoSense()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, where);
        const QString path = write(text);
        try {
            Scenario::load(path);
            QFAIL("accepted");
        } catch (const Exception &e) {
            QVERIFY2(e.message().contains(where), qPrintable(e.message()));
            QVERIFY2(e.message().startsWith(path), qPrintable(e.message()));
        }
    }

    void missingFileIsAnOpenError()
    {
        QVERIFY_THROWS_EXCEPTION(EFOpenError, Scenario::load(m_dir.filePath("none.ini")));
    }

    // The default bus has to give every tool of the window something to show.
    void builtInScenarioCoversEveryKind()
    {
        const Scenario s = Scenario::builtIn();
        QSet<int> leading;
        bool erroneous = false;
        for (const auto &id : s.ids) {
            leading.insert(id.id >> 8);
            erroneous = erroneous || id.erroneous;
        }
        for (const int k : {0, 2, 4, 6, 8, 9}) // Q3/Q4: WO WI BO BI UW LM
            QVERIFY2(leading.contains(k), qPrintable(QString::number(k)));
        for (const int k : {0, 1, 2, 3}) // Q2: OUT OUT IN IN
            QVERIFY2(leading.contains(k), qPrintable(QString::number(k)));
        QVERIFY(erroneous);
        QSet<int> formats;
        for (const auto &u : s.eightChannel)
            formats.insert(u.format);
        QCOMPARE(formats, (QSet<int>{12, 13}));
        QVERIFY(!s.counters.empty());
        QVERIFY(!s.blinkBits.empty());
        QVERIFY(!s.outputWords.empty());
        QVERIFY(s.channelPeriod > 0ms);
    }
};

QTEST_APPLESS_MAIN(tst_Scenario)
#include "tst_scenario.moc"
