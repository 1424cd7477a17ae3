// The Telnet layer of RFC 2217 connections, and the network addresses of [PORTS].
#include "comm/NetworkAddress.h"
#include "comm/TelnetCodec_p.h"

#include <QTest>

using Event = TelnetDecoder::Event;

class tst_TelnetCodec : public QObject
{
    Q_OBJECT

    // Feeds the input in pieces of `step` bytes; returns the data, collects the events.
    static QByteArray decode(const QByteArray &input, qsizetype step, std::vector<Event> &events)
    {
        TelnetDecoder d;
        QByteArray out;
        for (qsizetype i = 0; i < input.size(); i += step)
            d.feed(input.constData() + i, std::min(step, input.size() - i), out, events);
        return out;
    }

private slots:
    void dataAndCommandsComeApartWhereverTheInputIsCut()
    {
        using namespace Telnet;
        const QByteArray input = QByteArray("a\xFF\xFF", 3) + command(kDo, kComPortOption) + "b" +
                                 subnegotiation(kComPortOption, QByteArray("\x6A\xFF\x01", 3)) +
                                 QByteArray("\xFF\xF1", 2) /* NOP */ + "c" +
                                 command(kWill, kBinary);
        for (qsizetype step = 1; step <= input.size(); ++step) {
            std::vector<Event> events;
            QCOMPARE(decode(input, step, events), QByteArray("a\xFF"
                                                             "bc",
                                                             4));
            QCOMPARE(events.size(), std::size_t(3));
            QCOMPARE(events[0].kind, Event::Kind::Option);
            QCOMPARE(events[0].verb, kDo);
            QCOMPARE(events[0].option, kComPortOption);
            QCOMPARE(events[1].kind, Event::Kind::Subnegotiation);
            QCOMPARE(events[1].option, kComPortOption);
            // The escaped 0xFF inside the subnegotiation arrives once.
            QCOMPARE(events[1].payload, QByteArray("\x6A\xFF\x01", 3));
            QCOMPARE(events[2].verb, kWill);
            QCOMPARE(events[2].option, kBinary);
        }
    }

    void escapingRoundTripsEveryByte()
    {
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all.append(char(i));
        all += QByteArray(3, char(0xFF));
        const QByteArray wire = Telnet::escape(all.constData(), all.size());
        QCOMPARE(wire.size(), all.size() + 4);
        std::vector<Event> events;
        QCOMPARE(decode(wire, 7, events), all);
        QVERIFY(events.empty());
    }

    void malformedSubnegotiationsAreBoundedAndDropped()
    {
        using namespace Telnet;
        std::vector<Event> events;
        // Too long: dropped whole, its end still found, the data after it kept.
        const QByteArray longSub =
            subnegotiation(kComPortOption, QByteArray(TelnetDecoder::kMaxSubnegotiation + 10, 'x'));
        QCOMPARE(decode(longSub + "ok", 5, events), QByteArray("ok"));
        QVERIFY(events.empty());

        // A command inside a subnegotiation cuts it off and is taken as a command.
        events.clear();
        const QByteArray cut =
            QByteArray("\xFF\xFA\x2C\x65", 4) + command(kDont, kComPortOption) + "z";
        QCOMPARE(decode(cut, 1, events), QByteArray("z"));
        QCOMPARE(events.size(), std::size_t(1));
        QCOMPARE(events[0].verb, kDont);

        // A subnegotiation that never ends swallows what follows, but keeps nothing of it.
        events.clear();
        TelnetDecoder d;
        QByteArray out;
        const QByteArray open("\xFF\xFA\x2C", 3);
        d.feed(open.constData(), open.size(), out, events);
        const QByteArray junk(1 << 20, 'j');
        d.feed(junk.constData(), junk.size(), out, events);
        QVERIFY(out.isEmpty());
        QVERIFY(events.empty());
        d.reset();
        d.feed("k", 1, out, events);
        QCOMPARE(out, QByteArray("k"));
    }

    void networkAddresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("protocol");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        using P = NetworkAddress::Protocol;
        QTest::newRow("raw") << "tcp://192.168.1.20:4001" << int(P::Raw) << "192.168.1.20" << 4001;
        QTest::newRow("rfc2217 name") << "RFC2217://unit-7.plant.local:2217" << int(P::Rfc2217)
                                      << "unit-7.plant.local" << 2217;
        QTest::newRow("ipv6") << "rfc2217://[fe80::1]:7000" << int(P::Rfc2217) << "fe80::1" << 7000;
        QTest::newRow("no port") << "tcp://host" << int(P::None) << "" << 0;
        QTest::newRow("port 0") << "tcp://host:0" << int(P::None) << "" << 0;
        QTest::newRow("port too big") << "tcp://host:65536" << int(P::None) << "" << 0;
        QTest::newRow("empty host") << "tcp://:4001" << int(P::None) << "" << 0;
        QTest::newRow("device") << "/dev/ttyUSB0" << int(P::None) << "" << 0;
        QTest::newRow("other scheme") << "telnet://host:23" << int(P::None) << "" << 0;
    }
    void networkAddresses()
    {
        QFETCH(QString, text);
        QFETCH(int, protocol);
        QFETCH(QString, host);
        QFETCH(int, port);
        const NetworkAddress a = NetworkAddress::parse(text);
        QCOMPARE(int(a.protocol), protocol);
        QCOMPARE(a.host, host);
        QCOMPARE(int(a.port), port);
        if (a.isValid())
            QCOMPARE(NetworkAddress::parse(a.text()).text(), a.text());
    }
};

QTEST_MAIN(tst_TelnetCodec)
#include "tst_telnetcodec.moc"
