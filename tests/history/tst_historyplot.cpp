// The timeline and the trends drawn: rendered to an image and read back pixel by pixel at known
// times. Levels in the lamps' colours (IN green, OUT red, other kinds grey), off as a thin dark
// line, nothing where no frame was heard or the key was not shown; curves at their values in
// the channel monitor's format, channels hidden on request.
#include "history/BitTimeline.h"
#include "history/ChannelTrends.h"
#include "history/HistoryStore.h"
#include "history/HistoryView.h"

#include <QImage>
#include <QTest>

namespace
{

constexpr qint64 kS = 1'000'000;
constexpr qint64 kT0 = 1'700'000'000LL * kS; // some day in 2023

HistoryKey key(const char *kind, const char *addr, qint64 first, bool word = false)
{
    HistoryKey k;
    k.kind = QString::fromLatin1(kind);
    k.addrText = QString::fromLatin1(addr);
    k.first = first;
    k.word = word;
    return k;
}

// Frames heard every 13 ms over [from, to].
void hear(HistoryStore &s, qint64 from, qint64 to)
{
    for (qint64 t = from; t <= to; t += 13'000)
        s.frame(t);
    s.frame(to);
}

} // namespace

class tst_HistoryPlot : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void levelsAtKnownTimes_data();
    void levelsAtKnownTimes();
    void rowsFollowTheKeysShownInView();
    void trendsDrawEachChannelAtItsValue_data();
    void trendsDrawEachChannelAtItsValue();

private:
    // Two spans of frames: 0 .. 4 s and 8 .. 10 s; the source's now is 15 s.
    //   IN 016 (line 1): bit 0 on from 0 s, off from 2 s; left the display at 9 s.
    //   OUT 032 (line 2): bit 0 off from 0 s, on from 2 s.
    //   ERR 000 (line 3): bit 0 on throughout.
    //   IN W05 (line 4): channel 1 at 1000 and channel 6 at 5000 (13-bit) from 2.25 s to 3.5 s,
    //   and again from 8 s to 10 s.
    void fill(HistoryStore &s);
    HistoryStore m_store;
    int m_in = -1, m_out = -1, m_err = -1, m_word = -1;
};

void tst_HistoryPlot::fill(HistoryStore &s)
{
    s.clear();
    m_in = s.keyOf(key("IN", "016", 16), 0);
    m_out = s.keyOf(key("OUT", "032", 32), 1);
    m_err = s.keyOf(key("ERR", "000", 0), 2);
    m_word = s.keyOf(key("IN", "W05", 80, true), 3);
    s.record(kT0, m_in, 0, 0x0001);
    s.record(kT0, m_out, 1, 0x0000);
    s.record(kT0, m_err, 2, 0x0001);
    hear(s, kT0, kT0 + 2 * kS - 1);
    s.record(kT0 + 2 * kS, m_in, 0, 0x0000);
    s.record(kT0 + 2 * kS, m_out, 1, 0x0001);
    auto samples = [&](qint64 from, qint64 to) {
        for (qint64 t = from; t <= to; t += kS / 4) {
            s.record(t, m_word, 3, quint16((1 << 13) | 1000));
            s.record(t + kS / 8, m_word, 3, quint16((6 << 13) | 5000));
            s.frame(t + kS / 8);
        }
    };
    samples(kT0 + 2 * kS + kS / 4, kT0 + 3 * kS + kS / 2);
    hear(s, kT0 + 3 * kS + kS / 2 + kS / 8, kT0 + 4 * kS);
    samples(kT0 + 8 * kS, kT0 + 9 * kS);
    s.hide(kT0 + 9 * kS, m_in);
    hear(s, kT0 + 9 * kS, kT0 + 10 * kS);
}

void tst_HistoryPlot::init()
{
    fill(m_store);
}

void tst_HistoryPlot::levelsAtKnownTimes_data()
{
    QTest::addColumn<QString>("which");
    QTest::addColumn<int>("bit");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QColor>("on");
    QTest::addColumn<QColor>("off");

    const QColor none; // the background
    QTest::newRow("IN on, green bar") << "IN" << 0 << 1.0 << QColor(0, 255, 0) << none;
    QTest::newRow("IN off after its change, dark green line")
        << "IN" << 0 << 3.0 << none << QColor(0, 128, 0);
    QTest::newRow("IN bit never on, dark green line")
        << "IN" << 5 << 1.0 << none << QColor(0, 128, 0);
    QTest::newRow("OUT off, dark red line") << "OUT" << 0 << 1.0 << none << QColor(128, 0, 0);
    QTest::newRow("OUT on after its change, red bar")
        << "OUT" << 0 << 3.0 << QColor(255, 0, 0) << none;
    QTest::newRow("other kinds are grey") << "ERR" << 0 << 1.0 << QColor(150, 150, 150) << none;
    QTest::newRow("no frames heard: blank, not held") << "OUT" << 0 << 6.0 << none << none;
    QTest::newRow("heard again: drawn again") << "OUT" << 0 << 8.5 << QColor(255, 0, 0) << none;
    QTest::newRow("key left the display: blank") << "IN" << 1 << 9.5 << none << none;
    QTest::newRow("the unit silent at the end: blank") << "ERR" << 0 << 11.5 << none << none;
}

void tst_HistoryPlot::levelsAtKnownTimes()
{
    QFETCH(QString, which);
    QFETCH(int, bit);
    QFETCH(double, seconds);
    QFETCH(QColor, on);
    QFETCH(QColor, off);

    HistoryView view(m_store);
    view.now = [] { return kT0 + 15 * kS; };
    view.setRange(kT0, kT0 + 12 * kS);
    BitTimeline timeline(m_store, view);
    timeline.resize(830, 1600);
    timeline.show();
    QVERIFY(QTest::qWaitForWindowExposed(&timeline));
    const QImage image = timeline.viewport()->grab().toImage();
    const QColor base = timeline.palette().color(QPalette::Base);
    const int k = which == "IN" ? m_in : which == "OUT" ? m_out : m_err;
    const int top = timeline.bitRowY(k, bit);
    QVERIFY(top > 0);
    QVERIFY(top + BitTimeline::kBitHeight < image.height());
    const int x = int(timeline.xOf(kT0 + qint64(seconds * kS)));
    QVERIFY(x > TimePlot::kLabelWidth && x < image.width());
    QCOMPARE(image.pixelColor(x, BitTimeline::onSampleY(top)), on.isValid() ? on : base);
    QCOMPARE(image.pixelColor(x, BitTimeline::offSampleY(top)),
             off.isValid() ? off : (on.isValid() ? on : base));
}

void tst_HistoryPlot::rowsFollowTheKeysShownInView()
{
    HistoryView view(m_store);
    view.now = [] { return kT0 + 15 * kS; };
    BitTimeline timeline(m_store, view);
    timeline.resize(830, 1600);
    timeline.show();
    QVERIFY(QTest::qWaitForWindowExposed(&timeline));
    view.setRange(kT0, kT0 + 12 * kS);
    QTRY_VERIFY(timeline.bitRowY(m_in, 0) > 0);
    const int outBelowIn = timeline.bitRowY(m_out, 0);
    QVERIFY(outBelowIn > timeline.bitRowY(m_in, 15));
    // IN 016 left the display at 9 s: after that its rows go, and the next line's move up.
    view.setRange(kT0 + 9 * kS + kS / 2, kT0 + 12 * kS);
    QTRY_COMPARE(timeline.bitRowY(m_in, 0), -1);
    QVERIFY(timeline.bitRowY(m_out, 0) > 0);
    QVERIFY(timeline.bitRowY(m_out, 0) < outBelowIn);
}

void tst_HistoryPlot::trendsDrawEachChannelAtItsValue_data()
{
    QTest::addColumn<bool>("twelveBit");
    QTest::addColumn<quint8>("hidden");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("channel"); // -1: nothing at either value
    QTest::addColumn<int>("value");

    // 13-bit: (1 << 13) | 1000 is channel 1, value 1000; (6 << 13) | 5000 channel 6, 5000.
    QTest::newRow("13-bit, channel 1") << false << quint8(0) << 3.1 << 1 << 1000;
    QTest::newRow("13-bit, channel 6") << false << quint8(0) << 3.1 << 6 << 5000;
    QTest::newRow("13-bit, channel 6 after the gap") << false << quint8(0) << 8.6 << 6 << 5000;
    QTest::newRow("channel 1 hidden") << false << quint8(1 << 1) << 3.1 << -1 << 1000;
    // 12-bit: 0x2000 | 1000 is channel 2, value 1000; (6 << 13) | 5000 = 0xD388: channel 5,
    // value 0x388 = 904.
    QTest::newRow("12-bit, the same word as channel 2") << true << quint8(0) << 3.1 << 2 << 1000;
    QTest::newRow("12-bit, channel 5") << true << quint8(0) << 3.1 << 5 << 904;
    QTest::newRow("no frames heard: no curve") << false << quint8(0) << 6.0 << -1 << 1000;
}

void tst_HistoryPlot::trendsDrawEachChannelAtItsValue()
{
    QFETCH(bool, twelveBit);
    QFETCH(quint8, hidden);
    QFETCH(double, seconds);
    QFETCH(int, channel);
    QFETCH(int, value);

    HistoryView view(m_store);
    view.now = [] { return kT0 + 15 * kS; };
    view.twelveBit = [twelveBit] { return twelveBit; };
    for (int c = 0; c < 8; ++c)
        view.setChannelShown(c, !((hidden >> c) & 1));
    view.setRange(kT0, kT0 + 12 * kS);
    ChannelTrends trends(m_store, view);
    trends.resize(830, 400);
    trends.show();
    QVERIFY(QTest::qWaitForWindowExposed(&trends));
    const QImage image = trends.viewport()->grab().toImage();
    const int x = int(trends.xOf(kT0 + qint64(seconds * kS)));
    const int y = trends.valueY(m_word, value);
    QVERIFY(y > 0 && y < image.height());
    if (channel >= 0) {
        QCOMPARE(image.pixelColor(x, y), ChannelTrends::channelColour(channel));
    } else {
        for (int c = 0; c < 8; ++c)
            QVERIFY(image.pixelColor(x, y) != ChannelTrends::channelColour(c));
    }
    // No other band: the bit keys have none.
    QCOMPARE(trends.valueY(m_in, value), -1);
}

QTEST_MAIN(tst_HistoryPlot)
#include "tst_historyplot.moc"
