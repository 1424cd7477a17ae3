// The history in the main window: fed by the real receiver from a known frame stream, live and
// from a replay with the recorded times; its menu item; its window's place kept in the settings
// file; the picture of the window.
#include "history/BitTimeline.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "history/HistoryWindow.h"
#include "link/LineRecording.h"
#include "platform/Exceptions.h"
#include "record/ReplayPlayer.h"
#include "tests/ui/FormFixture.h"
#include "ui/HistoryControl.h"
#include "ui/RecordControl.h"

#include <QImage>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

namespace
{

// The store's changes as "key first:value" (shown) or "key first:-" (left), in order.
QStringList changes(const HistoryStore &s)
{
    QStringList out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const HistoryStore::Change &c = s.at(i);
        const HistoryKey &k = s.key(int(c.key));
        out << QStringLiteral("%1 %2:%3")
                   .arg(k.kind)
                   .arg(k.word ? QStringLiteral("W%1").arg(k.wordNumber())
                               : QString::number(k.first))
                   .arg(c.shown ? QString::number(c.value, 16) : QStringLiteral("-"));
    }
    return out;
}

} // namespace

class tst_History : public QObject
{
    Q_OBJECT
private slots:
    void knownFrameStreamBecomesTheHistory();
    void menuItemOpensTheWindow();
    void replayFeedsTheRecordedTimes();
    void windowPlaceIsKeptInTheSettingsFile();
    void windowPictureIsSaved();

private:
    FormFixture m_fixture;
};

void tst_History::knownFrameStreamBecomesTheHistory()
{
    TForm1 form(m_fixture.options());
    FakePort port;
    form.context().link.setPort(&port);
    const HistoryStore &store = form.historyControl().store();
    receive(form, port,
            frame('r', 0, true, '1', "016", "0001") + frame('r', 1, false, '2', "W05", "8123"));
    receive(form, port, frame('r', 0, true, '1', "016", "0001")); // a repeat is no change
    receive(form, port, frame('r', 0, true, '1', "016", "0003"));
    receive(form, port, frame('r', 0, true, '1', "032", "0003")); // the line's address changes
    // Bit mode: the second line of the block of cursor 070 shows the bits 80 .. 95.
    receive(form, port, frame('v', 1, false, '1', "070", "F000"));
    // "IN 016" left first in data mode, then the OUT word W05 for the bit-mode row.
    QCOMPARE(changes(store), (QStringList{"IN 16:1", "OUT W5:8123", "IN 16:3", "IN 16:-", "IN 32:3",
                                          "OUT W5:-", "IN 80:f000"}));
    QCOMPARE(store.keyCount(), 4);
    QCOMPARE(int(store.spans().size()), 1);
    const qint64 now = QDateTime::currentMSecsSinceEpoch() * 1000;
    QVERIFY(std::abs(store.lastFrameUs() - now) < 60'000'000);

    // A disconnect: every kind "--", the rows end.
    form.displayLines().clearKinds();
    QCOMPARE(changes(store).mid(7), (QStringList{"IN 32:-", "IN 80:-"}));
}

void tst_History::menuItemOpensTheWindow()
{
    TForm1 form(m_fixture.options());
    QAction *item = action(form, "MenuFileHistory");
    QVERIFY(item);
    QCOMPARE(item->text(), QStringLiteral("履歴(&H)…"));
    // Its access key is its own within the File menu.
    auto *file = form.findChild<QMenu *>("File1");
    QVERIFY(file->actions().contains(item));
    QStringList keys;
    for (QAction *a : file->actions()) {
        const qsizetype amp = a->text().indexOf(u'&');
        if (amp >= 0 && amp + 1 < a->text().size())
            keys << a->text().mid(amp + 1, 1).toUpper();
    }
    QCOMPARE(keys.count(QStringLiteral("H")), 1);
    QCOMPARE(keys.removeDuplicates(), 0);

    FakePort port;
    form.context().link.setPort(&port);
    receive(form, port, frame('p', 0, true, '1', "016", "0001"));
    item->trigger();
    auto *window = form.findChild<HistoryWindow *>("HistoryWindow");
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QVERIFY(window->isWindow());
    QVERIFY(!window->isModal());
    QTRY_VERIFY(window->timeline().bitRowY(0, 0) > 0);
    QVERIFY(window->reachText().startsWith(QStringLiteral("1 件の変化を保持")));
    // The main window keeps its fixed size.
    QCOMPARE(form.outerSize(), QSize(694, 332));
}

void tst_History::replayFeedsTheRecordedTimes()
{
    TForm1 form(m_fixture.options());
    FakePort port;
    form.context().link.setPort(&port);
    receive(form, port, frame('p', 0, true, '1', "016", "0001")); // live, before the replay
    auto rec = std::make_shared<LineRecording>();
    const qint64 t0 = 1'600'000'000LL * 1'000'000;
    rec->appendReceived(t0, frame('p', 0, true, '1', "016", "0001") +
                                frame('p', 1, false, '2', "032", "0000"));
    rec->appendReceived(t0 + 500'000, frame('p', 0, true, '1', "016", "0002"));
    rec->appendReceived(t0 + 9'000'000, frame('p', 1, false, '2', "032", "8000"));
    form.context().link.setPort(nullptr);
    form.recordControl().startReplay(rec, QStringLiteral("known.pcap"));
    ReplayPlayer *player = form.recordControl().player();
    QVERIFY(player);
    player->setSpeed(0);
    QTRY_VERIFY(player->atEnd() && !player->isPlaying());
    const HistoryStore &store = form.historyControl().store();
    // The live history went with the replay's start; the times are the recorded ones.
    QCOMPARE(changes(store), (QStringList{"IN 16:1", "OUT 32:0", "IN 16:2", "OUT 32:8000"}));
    QCOMPARE(store.at(0).timeUs, t0);
    QCOMPARE(store.at(1).timeUs, t0);
    QCOMPARE(store.at(2).timeUs, t0 + 500'000);
    QCOMPARE(store.at(3).timeUs, t0 + 9'000'000);
    // 8.5 s without a frame in the recording: a gap.
    QCOMPARE(int(store.spans().size()), 2);
    QCOMPARE(store.spans().front().endUs, t0 + 500'000);
    QCOMPARE(store.spans().back().startUs, t0 + 9'000'000);
    form.recordControl().stopReplay();
    // The rows end where the recording ended, not at the wall clock.
    QCOMPARE(store.at(store.size() - 1).timeUs, t0 + 9'000'000);
    QCOMPARE(store.latestUs(), t0 + 9'000'000);
}

void tst_History::windowPlaceIsKeptInTheSettingsFile()
{
    const TForm1::Options options = m_fixture.options();
    {
        TForm1 form(options);
        HistoryWindow &w = form.historyControl().window();
        form.historyControl().showWindow();
        w.resize(1100, 520);
        w.close();
        const QString ini = QString::fromLatin1(readFile(options.settingsPath));
        QVERIFY2(ini.contains(QStringLiteral("[HISTORY]")), qPrintable(ini));
        QVERIFY(ini.contains(QStringLiteral("Width=1100")));
        QVERIFY(ini.contains(QStringLiteral("Height=520")));
    }
    TForm1 again(options);
    again.historyControl().showWindow();
    QCOMPARE(again.historyControl().window().size(), QSize(1100, 520));
}

void tst_History::windowPictureIsSaved()
{
    TForm1 form(m_fixture.options());
    form.historyControl().showWindow();
    HistoryWindow &w = form.historyControl().window();
    QTemporaryDir dir;
    const QString path = dir.filePath("h.png");
    w.exportPng(path);
    const QImage image(path);
    QCOMPARE(image.size(), w.size() * w.devicePixelRatio());
    QVERIFY_THROWS_EXCEPTION(EFCreateError, w.exportPng(dir.filePath("no/such/folder/h.png")));
}

QTEST_MAIN(tst_History)
#include "tst_history.moc"
