#include "ui/CommandLine.h"

#include "comm/PortResolver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <algorithm>

#ifndef QX_VERSION
#error "QX_VERSION is the program's version, from the build"
#endif

namespace
{

// Every text of the command line. Technicians read them in a terminal or a manual page, where
// the rest of their tools speak English.
struct Texts {
    QString description = QStringLiteral(
        "Front panel for the hand-held monitor unit of a QX field bus on a serial port.");
    QString help = QStringLiteral("Print this help and exit.");
    QString version = QStringLiteral("Print the version and exit.");
    QString port = QStringLiteral(
        "Map a port for this run only, as COMn=DEVICE (n from 1 to 16), before the settings "
        "file's [PORTS]; never saved. May be given more than once.");
    QString portValue = QStringLiteral("map");
    QString connect = QStringLiteral("Connect to the chosen port at start.");
    QString exportCsv = QStringLiteral(
        "Write the display changes of a recording (File menu, 記録) to a CSV file, given as the "
        "argument after it (UTF-8), and exit without a window.");
    QString exportValue = QStringLiteral("recording");
    QString lang = QStringLiteral(
        "The language of the window: en (English) or ja (Japanese, the program's own). Without "
        "it, Japanese when LANGUAGE, LC_ALL, LC_MESSAGES or LANG (the first one set) names "
        "Japanese, C or POSIX, or when none is set; English otherwise.");
    QString langValue = QStringLiteral("language");
    QString badLang = QStringLiteral("--lang wants en or ja, not '%1'");
    QString exportWants = QStringLiteral("--export-csv wants a recording and a CSV file: "
                                         "--export-csv RECORDING OUT.csv");
    QString badPort = QStringLiteral("--port wants COMn=DEVICE with n from 1 to 16 (for example "
                                     "--port COM1=/dev/ttyUSB0), not '%1'");
    QString fileName = QStringLiteral("comment-file");
    QString fileSyntax = QStringLiteral("[comment-file]");
    QString file = QStringLiteral("A comment file (CSV, Shift-JIS) to load at start. A name "
                                  "that begins with '-' goes after \"--\".");
    QString more = QStringLiteral(
        "\n"
        "Settings file: <program>.ini beside the program when that file exists, or when the\n"
        "program is not installed and its folder is writable; otherwise\n"
        "$XDG_CONFIG_HOME/qxwatch/qxwatch.ini (by default ~/.config/qxwatch/qxwatch.ini).\n"
        "When the file beside the program cannot be written, the settings go to the latter,\n"
        "and the program says so.\n"
        "\n"
        "Ports: the Port menu's COM1 to COM16 are the devices given by --port and named under\n"
        "[PORTS] in the settings file (for example\n"
        "COM3=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0, a name that\n"
        "stays the same when the adapter is plugged in again); the numbers none takes go to\n"
        "the serial devices found, /dev/ttyS* first, then /dev/ttyUSB*, then /dev/ttyACM*,\n"
        "leaving out the kernel's console and lines a getty waits on. A port another program\n"
        "uses (a UUCP lock file in /run/lock, a flock, exclusive mode, or simply open) is\n"
        "refused, naming that program. A lost device is connected again when it comes back,\n"
        "unless the File menu's auto reconnect item is off. SIGTERM, SIGHUP and\n"
        "SIGINT end the program as closing its window does.\n");
    QString errorHint = QStringLiteral("(see %1 --help; a comment file whose name begins with "
                                       "'-' goes after \"--\": %1 -- %2)");
};

// The first option as typed that the parser did not know, for the hint on how to pass such a
// name as a file.
QString firstUnknownOption(const QStringList &arguments, const QStringList &unknownNames)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("--"))
            break;
        const QString name = a.mid(a.startsWith(QLatin1String("--")) ? 2 : 1).section('=', 0, 0);
        if (a.startsWith(QLatin1Char('-')) && unknownNames.contains(name))
            return a;
    }
    return QStringLiteral("-x.csv");
}

// The options the toolkit's application objects take out of the command line (the window
// system's, the widgets' and the debugger's), as the toolkit documents them.
bool isToolkitOption(const QString &name)
{
    static const QStringList names{
        "cmap",          "display", "dograb",        "fontengine",      "geometry",
        "name",          "ncols",   "nograb",        "platform",        "platformpluginpath",
        "platformtheme", "plugin",  "qmljsdebugger", "qwindowgeometry", "qwindowicon",
        "qwindowtitle",  "reverse", "session",       "style",           "stylesheet",
        "sync",          "title",   "visual",        "widgetcount"};
    return names.contains(name);
}

} // namespace

QString CommandLine::version()
{
    return QStringLiteral(QX_VERSION);
}

QStringList CommandLine::fromArgv(int argc, char **argv)
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list.append(QString::fromLocal8Bit(argv[i]));
    return list;
}

CommandLine CommandLine::parse(const QStringList &arguments)
{
    const Texts texts;
    QCommandLineParser parser;
    // "-x.csv" is one unknown option named "x.csv", not five short ones.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(texts.description);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, texts.help);
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     texts.version);
    const QCommandLineOption port(QStringLiteral("port"), texts.port, texts.portValue);
    const QCommandLineOption connect(QStringLiteral("connect"), texts.connect);
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(port);
    parser.addOption(connect);
    const QCommandLineOption exportCsv(QStringLiteral("export-csv"), texts.exportCsv,
                                       texts.exportValue);
    parser.addOption(exportCsv);
    const QCommandLineOption lang(QStringLiteral("lang"), texts.lang, texts.langValue);
    parser.addOption(lang);
    parser.addPositionalArgument(texts.fileName, texts.file, texts.fileSyntax);

    CommandLine result;
    const bool parsed = parser.parse(arguments);
    // Help and version win over a mistake elsewhere on the line, as a user asking for help
    // after a wrong option expects.
    if (parser.isSet(help)) {
        result.m_action = Action::ShowHelp;
        QString text = parser.helpText();
        // The usage line names the program as the user types it from anywhere, not by the
        // path it was started with this time.
        const QString typed =
            QCoreApplication::instance() ? QCoreApplication::arguments().value(0) : QString();
        const qsizetype at = typed.isEmpty() ? -1 : text.indexOf(typed);
        if (at >= 0 && at < text.indexOf(QLatin1Char('\n')))
            text.replace(at, typed.size(), programName());
        result.m_text = text + texts.more;
    } else if (parser.isSet(version)) {
        result.m_action = Action::ShowVersion;
        result.m_text = programName() + QLatin1Char(' ') + CommandLine::version() + '\n';
    } else if (!parsed) {
        result.m_action = Action::UsageError;
        const QStringList unknown = parser.unknownOptionNames();
        result.m_toolkitMayExplain = std::any_of(unknown.begin(), unknown.end(), isToolkitOption);
        const QString example = firstUnknownOption(arguments, unknown);
        result.m_text = programName() + QStringLiteral(": ") + parser.errorText() + '\n' +
                        texts.errorHint.arg(programName(), example) + '\n';
    } else {
        for (const QString &value : parser.values(port)) {
            const auto [number, device] = PortResolver::parseOverride(value);
            if (number == 0) {
                result.m_action = Action::UsageError;
                result.m_text =
                    programName() + QStringLiteral(": ") + texts.badPort.arg(value) + '\n';
                break;
            }
            result.m_ports.insert(number, device);
        }
        result.m_connect = parser.isSet(connect);
        result.m_language = parser.value(lang);
        if (result.m_action == Action::Run && !result.m_language.isEmpty() &&
            result.m_language != QLatin1String("en") && result.m_language != QLatin1String("ja")) {
            result.m_action = Action::UsageError;
            result.m_text =
                programName() + QStringLiteral(": ") + texts.badLang.arg(result.m_language) + '\n';
        }
        if (result.m_action == Action::Run && parser.isSet(exportCsv)) {
            if (parser.positionalArguments().size() != 1) {
                result.m_action = Action::UsageError;
                result.m_text = programName() + QStringLiteral(": ") + texts.exportWants + '\n';
            } else {
                result.m_action = Action::ExportCsv;
                result.m_exportFrom = parser.value(exportCsv);
                result.m_exportTo = parser.positionalArguments().first();
            }
        }
    }
    result.m_arguments = parser.positionalArguments();
    return result;
}

int CommandLine::exitCode() const
{
    return m_action == Action::UsageError ? kUsageError : 0;
}
