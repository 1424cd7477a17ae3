// qxwatch: front panel for the hand-held monitor unit of a QX field bus.
#include "platform/widgets/GuardedApplication.h"
#include "ui/TForm1.h"

int main(int argc, char **argv)
{
    GuardedApplication app(argc, argv);
    QApplication::setApplicationName("qxwatch");
    QApplication::setApplicationDisplayName("qxwatch");

    TForm1::Options options;
    options.settingsPath = TForm1::defaultSettingsPath();
    options.arguments = QApplication::arguments().mid(1);
    TForm1 form(options);
    form.show();
    return QApplication::exec();
}
