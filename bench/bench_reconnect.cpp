// The self-healing link: a port mapped by a by-id-like link loses its device (the far end of
// the pty closes), then a new pty appears under the same link; measured is the time from the
// link's return to the port being open again (median and worst of the rounds).
#include "bench/BenchSupport.h"
#include "comm/CommX.h"
#include "ui/PortControl.h"
#include "ui/TForm1.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace
{

constexpr int kRounds = 10;
constexpr qint64 kGiveUpMs = 5000;

bool waitFor(const std::function<bool()> &done)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > kGiveUpMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    auto pty = std::make_unique<bench::Pty>();
    const QString link = dir.filePath("usb-QX_unit-if00");
    QFile::link(pty->path, link);
    QFile ini(dir.filePath("qxwatch.ini"));
    if (!ini.open(QIODevice::WriteOnly))
        return 1;
    ini.write(QStringLiteral("[PORTS]\r\nCOM1=%1\r\n").arg(link).toLocal8Bit());
    ini.close();

    TForm1::Options options;
    options.settingsPath = ini.fileName();
    TForm1 form(options);
    form.findChild<QAction *>("COM011")->trigger();
    form.portControl().OpenButtonClick();

    std::vector<double> ms;
    for (int round = 0; round < kRounds; ++round) {
        pty.reset();
        if (!waitFor([&] { return !form.CommX1().isOpen(); }))
            break;
        pty = std::make_unique<bench::Pty>();
        const QString temp = link + ".new";
        QFile::link(pty->path, temp);
        QElapsedTimer t;
        t.start();
        ::rename(QFile::encodeName(temp).constData(), QFile::encodeName(link).constData());
        if (!waitFor([&] { return form.CommX1().isOpen(); }))
            break;
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    if (ms.size() != std::size_t(kRounds)) {
        bench::row("reconnect after the device returns", double(ms.size()), "rounds of 10",
                   bench::Goal::AtLeast, kRounds, "(did not reconnect)");
        return 1;
    }
    bench::row("reconnect after the device returns, median", bench::percentile(ms, 0.5), "ms",
               bench::Goal::Below, 1000);
    bench::row("reconnect after the device returns, worst of 10", bench::percentile(ms, 1.0), "ms",
               bench::Goal::Below, 1000);
    return 0;
}
