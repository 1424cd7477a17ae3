#pragma once

#include "link/Frames.h"
#include "tests/support/FakePort.h"
#include "tests/support/SettingsFiles.h"
#include "ui/DisplayLines.h"
#include "ui/TForm1.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>

// The settings a test's main windows start from.
class FormFixture
{
public:
    // A settings file of its own for each window; holding `ini` when that is not null, absent
    // (the window's defaults) otherwise.
    TForm1::Options options(const QByteArray &ini = QByteArray())
    {
        TForm1::Options o;
        o.settingsPath = files.next();
        if (!ini.isNull() && !SettingsFiles::write(o.settingsPath, ini))
            qFatal("cannot write %s", qPrintable(o.settingsPath));
        return o;
    }
    // One settings file that every window of the test reads at start and writes at its end.
    TForm1::Options shared() const
    {
        TForm1::Options o;
        o.settingsPath = files.path(QStringLiteral("qxwatch.ini"));
        return o;
    }

    SettingsFiles files;
};

// The bytes arrive at the window's port, and the window reads them as it does when the port
// reports them.
inline void receive(TForm1 &form, FakePort &port, const QByteArray &bytes)
{
    port.feed(bytes);
    form.displayLines().RecPkt(nullptr, int(bytes.size()));
}

// A display frame for line 0..3 of the unit's screen (header A: 'p' monitor and data mode, 't'
// monitor and bit mode, 'r' debug mode), its cursor flag set or not.
inline QByteArray frame(char headerA, int line, bool cursor, char kind, const char *addr,
                        const char *data)
{
    return Frames::displayFrame(headerA, char(0x70 | line | (cursor ? 4 : 0)), kind, addr, data);
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The text a label or an edit box of the window shows.
inline QString text(TForm1 &form, const char *name)
{
    if (auto *label = form.findChild<QLabel *>(name))
        return label->text();
    if (auto *edit = form.findChild<QLineEdit *>(name))
        return edit->text();
    return QStringLiteral("<missing %1>").arg(name);
}

inline QAction *action(TForm1 &form, const char *name)
{
    return form.findChild<QAction *>(name);
}

// The checked item of the port menu ("COM011" for port 1), empty when none is.
inline QString checkedPortItem(TForm1 &form)
{
    for (int n = 1; n <= 16; ++n) {
        const QString name = QStringLiteral("COM%1").arg(n, 2, 10, QLatin1Char('0')) + '1';
        if (QAction *a = form.findChild<QAction *>(name); a && a->isChecked())
            return name;
    }
    return QString();
}
