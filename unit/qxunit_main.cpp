// qxunit: the simulated monitor unit on a pseudo-terminal.

#include "link/KeyCodes.h"
#include "link/LineRecording.h"
#include "platform/Exceptions.h"
#include "unit/MonitorUnit.h"
#include "unit/PtyUnit.h"
#include "unit/Scenario.h"

#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace
{

constexpr int kUsageError = 2;
constexpr qsizetype kHelpWidth = 88;

// "Keys (key frame codes): 01 IN, ..." from the key table, wrapped like the rest of the help.
QString keyList()
{
    QStringList items;
    bool digitsListed = false;
    for (const KeyCodes::NamedKey &key : KeyCodes::kNamedKeys) {
        const QByteArray code = key.code;
        if (!digitsListed && code > KeyCodes::digit(KeyCodes::kDigitCount - 1)) {
            items << QStringLiteral("%1..%2 hex 0..F")
                         .arg(QLatin1String(KeyCodes::digit(0)),
                              QLatin1String(KeyCodes::digit(KeyCodes::kDigitCount - 1)));
            digitsListed = true;
        }
        items << QStringLiteral("%1 %2").arg(QLatin1String(key.code), QLatin1String(key.name));
    }
    QString text;
    QString line = QStringLiteral("Keys (key frame codes):");
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QString item = items.at(i) + (i + 1 < items.size() ? u',' : u'.');
        if (line.size() + 1 + item.size() > kHelpWidth) {
            text += line + u'\n';
            line = item;
        } else {
            line += u' ' + item;
        }
    }
    return text + line + u'\n';
}

QString options()
{
    return QStringLiteral(
        "Usage: qxunit [--link PATH] [--scenario FILE] [--fast] [--refresh MS]\n"
        "              [--report-line FILE]\n"
        "  or:  qxunit [--link PATH] --replay RECORDING\n"
        "  or:  qxunit --print-scenario | --help | --version\n"
        "\n"
        "Simulates the QX monitor unit on a pseudo-terminal. The first line of standard output\n"
        "is the device path to connect to; the unit then runs until SIGINT or SIGTERM.\n"
        "\n"
        "  --link PATH       also make a symbolic link PATH to the device (removed at exit;\n"
        "                    a stale link at PATH is replaced)\n"
        "  --scenario FILE   the bus to simulate (default: the built-in scenario)\n"
        "  --fast            send frames as fast as the line takes them, not at 9600 bit/s\n"
        "  --refresh MS      resend the four display lines every MS milliseconds (default 200);\n"
        "                    0 with --fast: resend them as soon as the line has taken them\n"
        "  --report-line FILE  append the line settings the device was given to FILE, one\n"
        "                    line each time they change (rate=9600 csize=8 parenb=0 parodd=1\n"
        "                    cstopb=0 crtscts=0 ixon=0 ixoff=0); a pty keeps 8 data bits\n"
        "                    without parity, but the parity sense, rate, stop bits and flow\n"
        "                    control are as given\n"
        "  --replay FILE     send the bytes received in a recording made by qxwatch (File ->\n"
        "                    記録), with their recorded timing, instead of simulating; keys are\n"
        "                    read and dropped; the device stays open after the end\n"
        "  --print-scenario  print the built-in scenario file and exit\n"
        "  --help            print this text and exit\n"
        "  --version         print the version and exit\n"
        "\n");
}

QString keyEffects()
{
    return QStringLiteral(
        "Data mode: IN/OUT list bit rows (000..240) then words (Wnn); UP/DOWN move the cursor\n"
        "line, LEFT/RIGHT page; DATA (debug state) edits the cursor row (IWT/OWT), hex keys type,\n"
        "ENT stores, CLR abandons. ID shows the ID list: hex keys type a start address, ENT\n"
        "shows the first ID at or above it, LEFT steps on, '****' ends the list. ERR lists the\n"
        "erroneous IDs. Bit mode: LEFT one bit higher, RIGHT lower, DOWN 16 on, UP 16 back;\n"
        "ON (debug state) toggles the bit under the cursor on the side last chosen with IN/OUT.\n"
        "ENABLE switches debug/monitor, MODE bit/data, INI returns to IN, bit 000 and the\n"
        "scenario's outputs.\n"
        "\n");
}

QString usage()
{
    return options() + keyList() + keyEffects();
}

void fail(const QString &message)
{
    std::fprintf(stderr, "qxunit: %s\n", qPrintable(message));
}

} // namespace

int main(int argc, char *argv[])
{
    PtyUnit::Options options;
    std::optional<QString> scenarioPath;
    std::optional<QString> replayPath;
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));

    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (a == u"--help" || a == u"-h") {
            std::fputs(qPrintable(usage() + Scenario::formatHelp()), stdout);
            return 0;
        } else if (a == u"--version") {
            std::printf("qxunit %s\n", QX_VERSION);
            return 0;
        } else if (a == u"--print-scenario") {
            const QByteArray text = Scenario::builtInText();
            std::fwrite(text.constData(), 1, text.size(), stdout);
            return 0;
        } else if (a == u"--fast") {
            options.fast = true;
        } else if (a == u"--link" && hasValue) {
            options.linkPath = args.at(++i);
        } else if (a == u"--report-line" && hasValue) {
            options.reportLinePath = args.at(++i);
        } else if (a == u"--replay" && hasValue) {
            replayPath = args.at(++i);
        } else if (a == u"--scenario" && hasValue) {
            scenarioPath = args.at(++i);
        } else if (a == u"--refresh" && hasValue) {
            bool ok = false;
            const int ms = args.at(++i).toInt(&ok);
            if (!ok || ms < 0 || ms > 60000) {
                fail(QStringLiteral("--refresh takes milliseconds, 0 to 60000"));
                return kUsageError;
            }
            options.refreshPeriod = std::chrono::milliseconds(ms);
        } else {
            fail(QStringLiteral("unknown option or missing value: %1 (see --help)").arg(a));
            return kUsageError;
        }
    }
    if (options.refreshPeriod.count() == 0 && !options.fast) {
        fail(QStringLiteral("--refresh 0 needs --fast: a paced line refreshes on a period"));
        return kUsageError;
    }

    try {
        if (replayPath) {
            options.replay = std::make_shared<LineRecording>(LineRecording::load(*replayPath));
            if (!options.replay->damage().isEmpty())
                fail(QStringLiteral("%1: read up to a damaged or cut-off record (%2)")
                         .arg(*replayPath, options.replay->damage()));
        }
        MonitorUnit unit(scenarioPath ? Scenario::load(*scenarioPath) : Scenario::builtIn());
        PtyUnit::installStopHandlers();
        PtyUnit pty(unit, options);
        pty.open();
        std::printf("%s\n", qPrintable(pty.devicePath()));
        std::fflush(stdout);
        return pty.run();
    } catch (const Exception &e) {
        fail(e.detail().isEmpty() ? e.message() : e.message() + QStringLiteral(": ") + e.detail());
        return kUsageError;
    }
}
