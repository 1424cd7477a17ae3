#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// The program's command line: its options, the optional comment file, and every text the
// command line prints (help, version, usage errors) in one place.
//
// --help and --version must answer without a window, and so without a display: the program
// entry parses once before it creates the application object and only makes a window when the
// command asks for none of them. Options of the toolkit's own (-platform, -style ...) are taken
// out by the application object; parse the application's arguments after that.
//
// Thread contract: main thread only (the texts read the application's name and arguments).
class CommandLine
{
public:
    enum class Action {
        Run,         // open the window
        ShowHelp,    // print helpText on standard output, exit 0
        ShowVersion, // print versionText on standard output, exit 0
        UsageError,  // print errorText on standard error, exit kUsageError
        ExportCsv,   // write exportFrom()'s recording to exportTo() as CSV, without a window
    };

    static constexpr int kUsageError = 2;

    // Parses a command line whose first entry is the program name.
    static CommandLine parse(const QStringList &arguments);

    // argv as a list, for the parse before any application object exists.
    static QStringList fromArgv(int argc, char **argv);

    static QString programName() { return QStringLiteral("qxwatch"); }
    static QString version();

    Action action() const { return m_action; }
    // The positional arguments; the first one names the comment file to load.
    const QStringList &arguments() const { return m_arguments; }
    // --port COMn=DEVICE, repeatable: port number -> device for this run only.
    const QMap<int, QString> &ports() const { return m_ports; }
    // --connect: connect to the chosen port at start.
    bool connectAtStart() const { return m_connect; }
    // --export-csv RECORDING OUT.csv: the recording and the CSV file.
    const QString &exportFrom() const { return m_exportFrom; }
    const QString &exportTo() const { return m_exportTo; }
    // --lang en|ja: the window's language, or empty for the one the environment names.
    const QString &language() const { return m_language; }
    // The text to print for action() (help, version or error), ending in a line end.
    const QString &text() const { return m_text; }
    int exitCode() const;
    // For a usage error: whether an option the toolkit takes out of the command line itself
    // (-platform, -style ...) was among the unknown ones, so that the line must be read again
    // once the toolkit has done so. Other mistakes are answered at once, with or without a
    // display.
    bool toolkitMayExplain() const { return m_toolkitMayExplain; }

private:
    Action m_action = Action::Run;
    QStringList m_arguments;
    QMap<int, QString> m_ports;
    bool m_connect = false;
    QString m_exportFrom;
    QString m_exportTo;
    QString m_language;
    QString m_text;
    bool m_toolkitMayExplain = false;
};
