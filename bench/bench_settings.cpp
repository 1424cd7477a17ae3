// A 50 MB settings file (a user's own notes section in front of the program's keys): what the
// Port menu's device lookups and the exit's save cost with it. The file is made in a temporary
// folder; the figures are wall-clock times of the real calls the window makes.
#include "bench/BenchSupport.h"
#include "comm/PortResolver.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>

using namespace bench;

namespace
{

constexpr qint64 kFileBytes = 50 * 1024 * 1024;

QByteArray bigSettings()
{
    QByteArray out = "[NOTES]\r\n";
    out.reserve(kFileBytes + 4096);
    for (int n = 0; out.size() < kFileBytes; ++n)
        out += "Note" + QByteArray::number(n) +
               "=a line the user keeps here, with some words of text to make it long\r\n";
    out += "[PORTS]\r\nCOM3=/dev/ttyUSB0\r\n[WINDOW]\r\nTop=50\r\nLeft=10\r\n[COM]\r\nPort=3\r\n";
    return out;
}

// A new modification time, as an editor's save would give the file.
void touch(const QString &path)
{
    struct timespec times[2] = {{0, UTIME_NOW}, {0, UTIME_NOW}};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

double milliseconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("qxwatch.ini");
    {
        QFile file(path);
        const QByteArray bytes = bigSettings();
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            row("settings 50 MB: file could not be made", 0, "-");
            return 1;
        }
    }
    const double residentBefore = residentMB();

    touch(path);
    QElapsedTimer timer;
    timer.start();
    QMap<int, QString> ports = PortResolver::portMap(path, {}, {});
    row("settings 50 MB: Port menu lookups (16 ports), file just changed", milliseconds(timer),
        "ms", Goal::Below, 1000);
    if (ports.value(3) != QLatin1String("/dev/ttyUSB0"))
        row("settings 50 MB: COM3 not found", 0, "-");

    timer.start();
    for (int i = 0; i < 10; ++i)
        ports = PortResolver::portMap(path, {}, {});
    row("settings 50 MB: Port menu lookups (16 ports), file unchanged", milliseconds(timer) / 10,
        "ms", Goal::Below, 10);
    row("settings 50 MB: memory held for the read file", residentMB() - residentBefore, "MB",
        Goal::Below, 150);

    const QList<SettingsFile::Entry> keys = {
        {"WINDOW", "Top", "60"},        {"WINDOW", "Left", "20"}, {"COM", "Port", "4"},
        {"BITORDER", "LSB", "R"},       {"QXMODE", "Mode", "0"},  {"QXMODE", "CommentOn", "1"},
        {"QXMODE", "CommentEdit", "1"},
    };
    timer.start();
    const bool written = SettingsFile(path).write(keys) == path;
    row("settings 50 MB: exit save (7 keys, one replacement)", milliseconds(timer), "ms",
        Goal::Below, 1500, written ? nullptr : "(write failed)");
    return written ? 0 : 1;
}
