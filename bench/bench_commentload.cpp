// Loading a large comment file into the grid: 1,000,000 lines (about 21 MB) through the real
// grid, its model and its loading thread, as File "開く(&O)" does. Figures: the load's wall time,
// the process's peak resident memory, and the longest the window thread went without handling
// its events during the load.
#include "BenchSupport.h"

#include "comments/CommentGrid.h"
#include "link/DisplayLineTexts.h"
#include "platform/SjisText.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>

namespace
{

class NoLines : public DisplayLineTexts
{
public:
    QString kind(int) const override { return QStringLiteral("--"); }
    QString addr(int) const override { return QString(); }
    QString data(int) const override { return QString(); }
    int CurLine() const override { return 0; }
};

// The process's peak resident set (VmHWM) in MB.
double peakResidentMB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    constexpr int kLines = 1000000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("large.csv"));
    {
        QByteArray bytes;
        bytes.reserve(qsizetype(kLines) * 24);
        const char *const types[] = {"BI", "BO", "WI", "WO"};
        for (int i = 0; i < kLines; ++i) {
            bytes += types[i % 4];
            bytes += ',';
            bytes += QByteArray::number(i % 1024);
            bytes += ',';
            bytes += toSjis(QStringLiteral("ﾎﾟﾝﾌﾟ%1").arg(i % 997));
            bytes += "\r\n";
        }
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "bench_commentload: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }

    QWidget form;
    auto *client = new QWidget(&form);
    NoLines lines;
    CommentTables tables;
    CommentGrid grid(client, &form, tables, lines, [] {});
    grid.setMessageBox([](const QString &, const QString &) {});
    form.resize(920, 700);
    form.show();

    // How long the window thread goes without handling its events while the load runs.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    const double before = peakResidentMB();
    QElapsedTimer clock;
    clock.start();
    sinceTick.start();
    tick.start();
    grid.LoadCommentFile(path);
    const double seconds = clock.nsecsElapsed() / 1e9;
    longestGap = std::max(longestGap, sinceTick.elapsed());
    tick.stop();
    const double peak = peakResidentMB();
    if (grid.rowCount() != kLines + 1) {
        std::fprintf(stderr, "bench_commentload: %d rows loaded\n", grid.rowCount() - 1);
        return 1;
    }
    bench::row("comment file load, 1,000,000 lines (21 MB)", seconds, "s", bench::Goal::Below, 3);
    bench::row("comment file load, peak resident memory", peak, "MB", bench::Goal::Below, 300);
    bench::row("comment file load, resident before the load", before, "MB");
    bench::row("comment file load, longest window-thread pause", double(longestGap), "ms",
               bench::Goal::Below, 250);
    return 0;
}
