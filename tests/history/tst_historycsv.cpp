// The CSV of a time range of the history: the state at the range's start, then each bit that
// changed and each eight-channel word, in time order, in the channel monitor's word format.
#include "history/HistoryCsv.h"
#include "history/HistoryStore.h"
#include "platform/Exceptions.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace
{

constexpr qint64 kS = 1'000'000;
const qint64 kT0 = QDateTime(QDate(2026, 12, 9), QTime(10, 0)).toMSecsSinceEpoch() * 1000;

QString at(double seconds)
{
    return QDateTime::fromMSecsSinceEpoch((kT0 + qint64(seconds * kS)) / 1000)
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

} // namespace

class tst_HistoryCsv : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void rangeRows_data();
    void rangeRows();
    void fileHasByteOrderMarkAndCrLf();
    void unwritableFileIsReported();

private:
    HistoryStore m_store;
};

void tst_HistoryCsv::init()
{
    m_store.clear();
    HistoryKey in;
    in.kind = QStringLiteral("IN");
    in.addrText = QStringLiteral("016");
    in.first = 16;
    HistoryKey word;
    word.kind = QStringLiteral("OUT");
    word.addrText = QStringLiteral("W05");
    word.first = 80;
    word.word = true;
    const int k = m_store.keyOf(in, 0);
    const int w = m_store.keyOf(word, 1);
    m_store.record(kT0, k, 0, 0x0001);
    m_store.record(kT0 + 1 * kS, k, 0, 0x8002); // bits 0, 1 and 15 change
    m_store.record(kT0 + 2 * kS, w, 1, 0x8123); // 13-bit: ch4 291; 12-bit: ch0 291
    m_store.hide(kT0 + 3 * kS, k);
}

void tst_HistoryCsv::rangeRows_data()
{
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<bool>("twelveBit");
    QTest::addColumn<QStringList>("rows"); // some of the rows, in this order
    QTest::addColumn<int>("count");        // all data rows

    QTest::newRow("everything, 13-bit")
        << 0.0 << 4.0 << false
        << QStringList{at(0) + ",IN,016,b0(16),1",  at(0) + ",IN,016,b15(31),0",
                       at(1) + ",IN,016,b0(16),0",  at(1) + ",IN,016,b1(17),1",
                       at(1) + ",IN,016,b15(31),1", at(2) + ",OUT,W05,b0(5-0),1",
                       at(2) + ",OUT,W05,ch4,291",  at(3) + ",IN,016,,"}
        << 16 + 3 + 17 + 1;
    QTest::newRow("12-bit word format")
        << 1.5 << 2.5 << true
        << QStringList{at(1.5) + ",IN,016,b15(31),1", at(2) + ",OUT,W05,ch0,291"} << 16 + 17;
    QTest::newRow("a range after everything: the state at its start")
        << 3.5 << 4.0 << false
        << QStringList{at(3.5) + ",OUT,W05,b15(5-15),1", at(3.5) + ",OUT,W05,ch4,291"} << 17;
}

void tst_HistoryCsv::rangeRows()
{
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(bool, twelveBit);
    QFETCH(QStringList, rows);
    QFETCH(int, count);
    const QString text =
        HistoryCsv::text(m_store, kT0 + qint64(from * kS), kT0 + qint64(to * kS), twelveBit);
    QStringList lines = text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.takeFirst(), QStringLiteral("時刻,種別,アドレス,ビット/チャンネル,値"));
    QCOMPARE(lines.takeLast(), QString());
    QCOMPARE(lines.size(), count);
    qsizetype next = 0;
    for (const QString &row : rows) {
        const qsizetype found = lines.indexOf(row, next);
        QVERIFY2(found >= 0, qPrintable(row + " missing or out of order"));
        next = found + 1;
    }
}

void tst_HistoryCsv::fileHasByteOrderMarkAndCrLf()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("h.csv");
    HistoryCsv::write(path, m_store, kT0, kT0 + 4 * kS, false);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    QVERIFY(bytes.endsWith("\r\n"));
    QCOMPARE(QString::fromUtf8(bytes.mid(3)), HistoryCsv::text(m_store, kT0, kT0 + 4 * kS, false));
}

void tst_HistoryCsv::unwritableFileIsReported()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("missing/folder/h.csv");
    QVERIFY_THROWS_EXCEPTION(EFCreateError,
                             HistoryCsv::write(path, m_store, kT0, kT0 + 4 * kS, false));
}

QTEST_GUILESS_MAIN(tst_HistoryCsv)
#include "tst_historycsv.moc"
