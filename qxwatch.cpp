// qxwatch: front panel for the hand-held monitor unit of a QX field bus.
#include "link/LineRecording.h"
#include "platform/Exceptions.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsFile.h"
#include "platform/SignalWatcher.h"
#include "platform/widgets/ErrorGuard.h"
#include "platform/widgets/GuardedApplication.h"
#include "platform/widgets/WindowSystem.h"
#include "record/RecordingCsv.h"
#include "ui/CommandLine.h"
#include "ui/PortControl.h"
#include "ui/TForm1.h"
#include "ui/UiLanguage.h"

#include <QIcon>
#include <QTimer>
#include <csignal>
#include <cstdio>

#ifndef QX_INSTALL_BINDIR
#error "QX_INSTALL_BINDIR is the folder the program is installed to"
#endif

namespace
{

// The application id of the desktop entry, the metainfo and the icon.
const QString kDesktopId = QStringLiteral("io.github.qxwatch.qxwatch");

void setNames()
{
    QCoreApplication::setApplicationName(CommandLine::programName());
    QCoreApplication::setApplicationVersion(CommandLine::version());
}

// Prints what a command that opens no window asked for and gives its exit code.
int answer(const CommandLine &command)
{
    std::FILE *to = command.action() == CommandLine::Action::UsageError ? stderr : stdout;
    std::fputs(command.text().toLocal8Bit().constData(), to);
    return command.exitCode();
}

// --export-csv: the recording's display changes to CSV, without a window. 0 when written, 1
// when the recording could not be read or the CSV not written.
int exportCsv(const CommandLine &command)
{
    try {
        const LineRecording rec = LineRecording::load(command.exportFrom());
        if (!rec.damage().isEmpty())
            std::fprintf(
                stderr, "qxwatch: %s: %s\n", qPrintable(command.exportFrom()),
                qPrintable(QCoreApplication::translate("qxwatch", "途中までを書き出します (%1)")
                               .arg(rec.damage())));
        const qsizetype rows = RecordingCsv::write(rec, command.exportTo());
        std::printf("%lld\n", static_cast<long long>(rows));
        return 0;
    } catch (const Exception &e) {
        std::fprintf(stderr, "qxwatch: %s\n", qPrintable(errorBoxText(e.message(), e.detail())));
        return 1;
    }
}

// The language the command names, installed before anything says a word.
void installLanguage(const CommandLine &command)
{
    UiLanguage::install(
        UiLanguage::choose(command.language(), QProcessEnvironment::systemEnvironment()),
        UiLanguage::folders(QCoreApplication::applicationDirPath()));
}

} // namespace

int main(int argc, char **argv)
{
    // Help, version and usage errors are answered before the window's application object
    // exists, which needs a display; a usage error that names one of the toolkit's own options
    // waits for it, as it takes those out.
    const CommandLine first = CommandLine::parse(CommandLine::fromArgv(argc, argv));
    const CommandLine::Action early = first.action();
    if (early == CommandLine::Action::ShowHelp || early == CommandLine::Action::ShowVersion ||
        (early == CommandLine::Action::UsageError && !first.toolkitMayExplain())) {
        const QCoreApplication core(argc, argv);
        setNames();
        return answer(CommandLine::parse(QCoreApplication::arguments()));
    }
    if (early == CommandLine::Action::ExportCsv) {
        const QCoreApplication core(argc, argv);
        setNames();
        const CommandLine command = CommandLine::parse(QCoreApplication::arguments());
        installLanguage(command);
        return exportCsv(command);
    }

    GuardedApplication app(argc, argv);
    setNames();
    // No display name: the window system would append it to every window title. The
    // application name "qxwatch" still names the program to the desktop (its window class).
    QGuiApplication::setDesktopFileName(kDesktopId);
    QApplication::setWindowIcon(QIcon::fromTheme(kDesktopId));
    // The toolkit's own options (-platform, -style ...) are gone from these arguments.
    const CommandLine command = CommandLine::parse(QApplication::arguments());
    if (command.action() == CommandLine::Action::ExportCsv) {
        installLanguage(command);
        return exportCsv(command);
    }
    if (command.action() != CommandLine::Action::Run)
        return answer(command);
    // After the command line: its messages stay the ones the manual page and scripts know.
    installLanguage(command);

    const SettingsFile settings = SettingsFile::forProgram(QCoreApplication::applicationFilePath(),
                                                           QStringLiteral(QX_INSTALL_BINDIR));
    // A settings file that is a FIFO, a device or a folder is not read (defaults apply) and
    // not written (the keys go to the user's file); the user hears why once.
    if (const QString problem = ProfileFile(settings.path()).readProblem(); !problem.isEmpty())
        std::fprintf(stderr, "qxwatch: %s\n", problem.toLocal8Bit().constData());
    TForm1::Options options;
    options.settingsPath = settings.path();
    options.fallbackSettingsPath = settings.fallbackPath();
    options.arguments = command.arguments();
    options.ports = command.ports();
    TForm1 form(options);
    // SIGTERM, SIGHUP and SIGINT end the program as closing its window does: settings written,
    // port closed and its lock file removed; unsaved comment edits go to a recovery file.
    SignalWatcher stopSignals({SIGTERM, SIGHUP, SIGINT});
    QObject::connect(&stopSignals, &SignalWatcher::received, &form, [&form] {
        if (form.closeOnSignal())
            QCoreApplication::quit();
    });
    WindowSystem::offerFixedFrame(&form);
    form.show();
    if (command.connectAtStart())
        QTimer::singleShot(
            0, &form, [&form] { runGuarded([&form] { form.portControl().OpenButtonClick(); }); });
    return QApplication::exec();
}
