// The English window: with the English translation installed, no Japanese is left in any text
// the window, its menus, tool tips, status tips, titles, tabs, grids' headers, dialogs and
// messages show or hand to a screen reader. What the unit sends and what the user's files
// hold are data and stay as they are; none is loaded here.
#include "comm/CommFailure.h"
#include "link/Frames.h"
#include "platform/AtomicFile.h"
#include "platform/Exceptions.h"
#include "platform/RegularFile.h"
#include "tests/support/FakePort.h"
#include "tests/support/SettingsFiles.h"
#include "ui/DisplayLines.h"
#include "ui/TForm1.h"
#include "ui/UiLanguage.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMenu>
#include <QMetaProperty>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabBar>
#include <QTest>
#include <QTranslator>

namespace
{

bool hasJapanese(const QString &text)
{
    static const QRegularExpression japanese(
        QStringLiteral("[\\x{3000}-\\x{30FF}\\x{4E00}-\\x{9FFF}\\x{FF01}-\\x{FFEF}]"));
    return japanese.match(text).hasMatch();
}

QString nameOf(const QObject *o)
{
    QString path;
    for (; o; o = o->parent())
        path.prepend(QLatin1Char('/') + QString::fromLatin1(o->metaObject()->className()) +
                     QLatin1Char(':') + o->objectName());
    return path;
}

// Every text an object shows or hands on, each with where it comes from.
void collect(const QObject *o, QStringList &out)
{
    auto add = [&](const QString &what, const QString &text) {
        if (!text.isEmpty())
            out << nameOf(o) + QLatin1Char(' ') + what + QStringLiteral(": ") + text;
    };
    const QMetaObject *meta = o->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty p = meta->property(i);
        const QByteArray name = p.name();
        if (p.metaType().id() != QMetaType::QString || name == "objectName" || name == "styleSheet")
            continue;
        add(QString::fromLatin1(name), p.read(o).toString());
    }
    if (auto *bar = qobject_cast<const QTabBar *>(o)) {
        for (int i = 0; i < bar->count(); ++i) {
            add(QStringLiteral("tab text"), bar->tabText(i));
            add(QStringLiteral("tab tool tip"), bar->tabToolTip(i));
        }
    }
    if (auto *box = qobject_cast<const QComboBox *>(o)) {
        for (int i = 0; i < box->count(); ++i)
            add(QStringLiteral("item"), box->itemText(i));
    }
    if (auto *view = qobject_cast<const QAbstractItemView *>(o); view && view->model()) {
        const QAbstractItemModel *model = view->model();
        for (int c = 0; c < model->columnCount(); ++c)
            add(QStringLiteral("header"), model->headerData(c, Qt::Horizontal).toString());
    }
    if (auto *w = qobject_cast<const QWidget *>(o)) {
        if (QAccessibleInterface *a =
                QAccessible::queryAccessibleInterface(const_cast<QWidget *>(w))) {
            add(QStringLiteral("accessible name"), a->text(QAccessible::Name));
            add(QStringLiteral("accessible description"), a->text(QAccessible::Description));
            add(QStringLiteral("accessible value"), a->text(QAccessible::Value));
        }
    }
    for (const QObject *child : o->children())
        collect(child, out);
}

QStringList allTexts()
{
    QStringList out;
    for (const QWidget *top : QApplication::topLevelWidgets())
        collect(top, out);
    return out;
}

void removeTranslators()
{
    for (QTranslator *t : QCoreApplication::instance()->findChildren<QTranslator *>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
}

} // namespace

class tst_EnglishUi : public QObject
{
    Q_OBJECT

    SettingsFiles m_files;

    TForm1::Options options()
    {
        TForm1::Options o;
        o.settingsPath = m_files.next();
        return o;
    }

private slots:
    void init()
    {
        removeTranslators();
        QVERIFY(UiLanguage::install(UiLanguage::Choice::English,
                                    {QStringLiteral(QX_TRANSLATIONS_DIR)}));
    }
    void cleanup() { removeTranslators(); }

    void windowInEachModeHasNoJapaneseLeft_data()
    {
        QTest::addColumn<char>("headerA"); // 0: no frame received
        QTest::newRow("at start") << char(0);
        QTest::newRow("monitor state, data mode") << 'p';
        QTest::newRow("debug state, bit mode") << 'v';
    }

    void windowInEachModeHasNoJapaneseLeft()
    {
        QFETCH(char, headerA);
        TForm1 form(options());
        FakePort port;
        form.context().link.setPort(&port);
        if (headerA) {
            for (int line = 0; line < 4; ++line) {
                const QByteArray f = Frames::displayFrame(
                    headerA, char(0x70 | line | (line == 0 ? 4 : 0)), '1', "000", "00FF");
                port.feed(f);
                form.displayLines().RecPkt(nullptr, int(f.size()));
            }
            QVERIFY2(form.windowTitle().contains(QLatin1String("mode")),
                     qPrintable(form.windowTitle()));
        }
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // The About box is made with the window and hidden until asked for.
        form.findChild<QAction *>(QStringLiteral("About1"))->trigger();
        const QStringList texts = allTexts();
        // The walk reaches the menus' items, the keys' hints and the About box.
        for (const char *seen : {"text: Mo&ve", "toolTip: Set data (F10)", "About This Program"})
            QVERIFY2(!texts.filter(QLatin1String(seen)).isEmpty(), seen);
        const QStringList left = texts.filter(QRegularExpression(
            QStringLiteral("[\\x{3000}-\\x{30FF}\\x{4E00}-\\x{9FFF}\\x{FF01}-\\x{FFEF}]")));
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char('\n'))));
        QVERIFY2(form.windowTitle().startsWith(QLatin1String("QX Monitor")),
                 qPrintable(form.windowTitle()));
        QVERIFY2(!hasJapanese(form.statusBar()->currentMessage()),
                 qPrintable(form.statusBar()->currentMessage()));
    }

    void messagesHaveNoJapaneseLeft()
    {
        // The texts are made here, after init() installed the translation.
        QList<std::pair<QString, QString>> messages;
        using R = CommFailure::Reason;
        for (R reason : {R::NoDeviceForPort, R::NoSuchDevice, R::PermissionDenied, R::Busy,
                         R::NotSerial, R::Gone, R::Other, R::HostNotFound, R::Refused, R::TimedOut,
                         R::Unreachable, R::Protocol, R::Cancelled}) {
            CommFailure f;
            f.reason = reason;
            f.port = 3;
            f.device = QStringLiteral("/dev/ttyUSB0");
            f.error = EIO;
            f.setting = QStringLiteral("RTS/CTS");
            f.holder.kind = CommFailure::Holder::Kind::LockFile;
            f.holder.pid = 42;
            f.holder.command = QStringLiteral("minicom");
            f.holder.lockFile = QStringLiteral("/run/lock/LCK..ttyUSB0");
            messages.append({QStringLiteral("port failure %1").arg(int(reason)), f.text()});
        }
        for (auto status : {RegularFile::Status::Missing, RegularFile::Status::NotRegular,
                            RegularFile::Status::Denied, RegularFile::Status::TooLarge,
                            RegularFile::Status::Failed}) {
            RegularFile::Result r;
            r.status = status;
            r.kind = QStringLiteral("FIFO");
            messages.append({QStringLiteral("reading a file, status %1").arg(int(status)),
                             RegularFile::problem(QStringLiteral("/tmp/x.csv"), r)});
        }
        for (auto status : {AtomicFile::Status::DanglingLink, AtomicFile::Status::LinkLoop,
                            AtomicFile::Status::NotRegular, AtomicFile::Status::Failed}) {
            AtomicFile::Result r;
            r.status = status;
            r.target = QStringLiteral("/tmp/y.csv");
            messages.append({QStringLiteral("writing a file, status %1").arg(int(status)),
                             AtomicFile::problem(QStringLiteral("/tmp/x.csv"), r)});
        }
        try {
            StrToInt(QStringLiteral("x1"));
            QFAIL("StrToInt took x1");
        } catch (const EConvertError &e) {
            messages.append({QStringLiteral("not a number"), e.message()});
        }
        const RegularFile::Result folder = RegularFile::read(QDir::tempPath());
        messages.append({QStringLiteral("a folder read as a file"),
                         RegularFile::problem(QDir::tempPath(), folder)});
        for (const auto &[what, text] : messages) {
            QVERIFY2(!text.isEmpty(), qPrintable(what));
            QVERIFY2(!hasJapanese(text), qPrintable(what + QStringLiteral(": ") + text));
        }
    }
};

QTEST_MAIN(tst_EnglishUi)
#include "tst_englishui.moc"
