#include "ui/TForm1.h"

#include "comm/CommX.h"
#include "comments/CommentGrid.h"
#include "comments/CommentPanels.h"
#include "platform/Exceptions.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsFile.h"
#include "platform/widgets/ErrorGuard.h"
#include "platform/widgets/GuardedApplication.h"
#include "platform/widgets/WindowSystem.h"
#include "tools/ChannelMonitor.h"
#include "tools/IdScan.h"
#include "tools/IdScanExport.h"
#include "ui/BitPanel.h"
#include "ui/DisplayFreshness.h"
#include "ui/DisplayLines.h"
#include "ui/HistoryControl.h"
#include "ui/KeyPad.h"
#include "ui/KeyboardAccess.h"
#include "ui/PortControl.h"
#include "ui/RecordControl.h"
#include "ui/TAboutDlg.h"

#include <QAbstractButton>
#include <QActionGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace
{

const char *const kStartHint =
    QT_TRANSLATE_NOOP("TForm1", "最初にシリアルポートを指定してください");

} // namespace

TForm1::TForm1(const Options &options, QWidget *parent)
    : QMainWindow(parent), m_options(options), m_settingsPath(options.settingsPath)
{
    setObjectName("Form1");
    setWindowTitle(tr("QXモニター"));
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("Noto Sans CJK JP"), QStringLiteral("IPAGothic")});
    font.setPixelSize(12);
    // Japanese and Latin text need no shaping, and the line boxes, the raw frame fields and the
    // lamp texts are laid out anew for every frame that changes them: laid out without shaping,
    // a text costs half as much and looks the same, pixel for pixel, in these fonts.
    font.setStyleStrategy(QFont::PreferNoShaping);
    setFont(font);

    m_ctx.form = this;
    m_ctx.setOuterSize = [this](int w, int h) { setOuterSize(w, h); };
    m_ctx.outerSize = [this] { return outerSize(); };
    m_lines = std::make_unique<DisplayLines>(m_ctx);

    m_commX1 = new TCommX(this);
    m_commX1->setObjectName("CommX1");
    m_commX1->setParityBit(cpbOdd);
    m_commX1->setFlowCtrl(cfcNone);
    m_ctx.link.setPort(m_commX1);

    buildClient();
    m_portControl = new PortControl(m_ctx, *m_commX1, *m_keyPad, *m_lines, *m_portGroup,
                                    SettingsFile(m_settingsPath, m_options.fallbackSettingsPath),
                                    m_options.ports, this);
    if (auto *portMenu = findChild<QMenu *>("P1"))
        connect(portMenu, &QMenu::aboutToShow, m_portControl, &PortControl::updatePortTips);
    m_recordControl =
        new RecordControl(m_ctx, *m_commX1, *m_lines, *m_channels, *m_portControl, this);
    m_historyControl =
        new HistoryControl(m_ctx, *m_lines, *m_channels, *m_recordControl,
                           SettingsFile(m_settingsPath, m_options.fallbackSettingsPath), this);
    new IdScanExport(findChild<QWidget *>("IDPanel"), this);
    m_about = new TAboutDlg(this);
    m_freshness = new DisplayFreshness(m_ctx, this);
    connect(m_portControl, &PortControl::connectionChanged, m_freshness,
            &DisplayFreshness::connectionChanged);
    m_lines->FrameTaken = [this] { m_freshness->frameTaken(); };
    FormCreate();
}

TForm1::~TForm1()
{
    FormDestroy();
}

QSize TForm1::outerSize() const
{
    return {m_client->width() + kFrameWidth, m_client->height() + kFrameHeight};
}

void TForm1::setOuterSize(int width, int height)
{
    const QSize client(width - kFrameWidth, height - kFrameHeight);
    m_client->setFixedSize(client);
    const QSize whole(client.width(), client.height() + menuBar()->sizeHint().height());
    QSize shown = whole;
    const QRect area = availableArea();
    const QSize frame = frameExtent();
    const QSize room = area.size() - frame;
    if (whole.width() > room.width() || whole.height() > room.height()) {
        const int bar = m_scroller->verticalScrollBar()->sizeHint().width();
        shown.setWidth(
            std::min(whole.width() + (whole.height() > room.height() ? bar : 0), room.width()));
        shown.setHeight(
            std::min(whole.height() + (whole.width() > room.width() ? bar : 0), room.height()));
    }
    if (size() != shown || minimumSize() != shown || maximumSize() != shown)
        setFixedSize(shown);
    m_cutToScreen = shown != whole;
    if (isVisible())
        keepInAvailableArea();
    layoutStatusBar();
}

void TForm1::keepInAvailableArea(bool askServer)
{
    // A window cut to the available area (its client area scrolls) is seen whole there.
    if (!m_cutToScreen)
        return;
    const QRect area = availableArea();
    const QSize frame = frameExtent();
    const QPoint inside(
        std::clamp(x(), area.left(),
                   std::max(area.left(), area.right() + 1 - width() - frame.width())),
        std::clamp(y(), area.top(),
                   std::max(area.top(), area.bottom() + 1 - height() - frame.height())));
    if (inside != pos()) {
        move(inside);
        return;
    }
    if (!askServer)
        return;
    // The toolkit can believe the frame inside while the manager has put the caption above
    // the area: where the server has it is what counts, and the window is moved by the
    // difference.
    const std::optional<QRect> shown = WindowSystem::frameOnServer(this);
    if (!shown)
        return;
    const qreal ratio = devicePixelRatioF();
    const int aboveLeft = std::max(0, qRound(area.left() * ratio) - shown->left());
    const int aboveTop = std::max(0, qRound(area.top() * ratio) - shown->top());
    if (aboveLeft > 0 || aboveTop > 0)
        move(pos() + QPoint(int(std::ceil(aboveLeft / ratio)), int(std::ceil(aboveTop / ratio))));
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    keepInAvailableArea();
    if (!m_cutToScreen)
        return;
    // The window manager's frame becomes known some time after the first show, without a
    // notice; until then the caption may stand above the area. Looked at for up to 15 seconds (a
    // loaded desktop), and for 2 seconds after the frame is known: the manager's move of the
    // framed window can be seen after its frame size.
    auto *frameWatch = new QTimer(this);
    frameWatch->setInterval(100);
    connect(frameWatch, &QTimer::timeout, this,
            [this, frameWatch, ticks = 0, framedTicks = 0]() mutable {
                const bool framed = frameGeometry().size() != size();
                const bool done = (framed && ++framedTicks >= 20) || ++ticks >= 150;
                if (framed || done) {
                    // Half a second after the frame is known and at the end, the place is
                    // checked with the server.
                    keepInAvailableArea(framedTicks == 5 || done);
                }
                if (done) {
                    frameWatch->stop();
                    frameWatch->deleteLater();
                }
            });
    frameWatch->start();
}

QRect TForm1::availableArea() const
{
    const QScreen *where = screen() ? screen() : QGuiApplication::primaryScreen();
    return where ? where->availableGeometry() : QRect(0, 0, QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

QSize TForm1::frameExtent() const
{
    // The frame the window manager adds; before the first show, the size of a usual one.
    if (isVisible() && frameGeometry().size() != size())
        return frameGeometry().size() - size();
    return QSize(kFrameWidth, kFrameHeight - menuBar()->sizeHint().height());
}

QPoint TForm1::placeInView(qint64 left, qint64 top, const QSize &outer)
{
    // Enough of the caption to take hold of the window and reach its menus.
    const qint64 gripWidth = std::min(outer.width(), 100);
    const qint64 gripHeight = std::min(outer.height(), 30);
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (const QScreen *screen : screens) {
        const QRect area = screen->availableGeometry();
        if (left >= area.left() && top >= area.top() && left + gripWidth <= area.right() + 1 &&
            top + gripHeight <= area.bottom() + 1)
            return QPoint(int(left), int(top));
    }
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (!primary)
        return QPoint(int(std::clamp<qint64>(left, 0, 10000)),
                      int(std::clamp<qint64>(top, 0, 10000)));
    const QRect area = primary->availableGeometry();
    // As near to the saved place as the area allows; a window larger than the area keeps its
    // top left corner in it.
    const qint64 maxLeft = std::max<qint64>(area.left(), qint64(area.right()) + 1 - outer.width());
    const qint64 maxTop = std::max<qint64>(area.top(), qint64(area.bottom()) + 1 - outer.height());
    return QPoint(int(std::clamp<qint64>(left, area.left(), maxLeft)),
                  int(std::clamp<qint64>(top, area.top(), maxTop)));
}

void TForm1::layoutStatusBar()
{
    // The status bar takes the bottom of the client area, but never covers the bottom row of
    // the key pad (ERR, 0 .. 3, ENT) in the small layout: it is as high as the room below the
    // keys allows.
    int height = m_statusBar->sizeHint().height();
    int keysBottom = 0;
    for (const char *name : {"IOPanel", "TenKeyPanel"}) {
        if (auto *panel = m_client->findChild<QWidget *>(QLatin1String(name))) {
            for (const QAbstractButton *key : panel->findChildren<QAbstractButton *>())
                keysBottom = std::max(keysBottom, panel->y() + key->geometry().bottom() + 1);
        }
    }
    const int minimum = m_statusBar->fontMetrics().height();
    if (keysBottom > 0)
        height = std::max(minimum, std::min(height, m_client->height() - keysBottom));
    m_statusBar->setGeometry(0, m_client->height() - height, m_client->width(), height);
    m_statusBar->raise();
}

void TForm1::buildClient()
{
    m_scroller = new QScrollArea(this);
    m_scroller->setObjectName("ClientScroller");
    m_scroller->setFrameShape(QFrame::NoFrame);
    m_scroller->setFocusPolicy(Qt::NoFocus);
    m_client = new QWidget(m_scroller);
    m_client->setObjectName("ClientArea");
    m_scroller->setWidget(m_client);
    setCentralWidget(m_scroller);
    m_ctx.client = m_client;
    // Made first so that the areas can be given it; it is raised above them once laid out.
    m_statusBar = new QStatusBar(m_client);
    m_statusBar->setObjectName("StatusBar1");
    m_statusBar->setSizeGripEnabled(false);
    m_ctx.statusBar = m_statusBar;

    buildMenus();
    buildToolStrip();
    m_lines->build();
    m_keyPad = new KeyPad(m_ctx, this);
    m_bitPanel = new BitPanel(m_ctx, this);
    buildTabs();
    m_commentPanels = new CommentPanels(m_client, this);
    connect(m_commentPanels, &CommentPanels::outerHeightRequested, this,
            [this](int height) { setOuterSize(outerSize().width(), height); });
    connect(m_commentPanels, &CommentPanels::outerWidthRequested, this,
            [this](int width) { setOuterSize(width, outerSize().height()); });
    m_lines->BitModeHeight = [this] { return m_commentPanels->BitModeHeight(); };
    m_lines->DataModeHeight = [this] { return m_commentPanels->DataModeHeight(); };
    m_commentGrid = new CommentGrid(
        m_client, this, m_ctx.comments, *m_lines,
        [this] {
            for (int line = 0; line < 4; ++line)
                m_bitPanel->ShowCommentLine(line);
        },
        this);
    m_commentGrid->setRecoveryFolder(QFileInfo(m_settingsPath).absolutePath());

    // The designed client area, until the comment settings set the real size.
    setOuterSize(920, 722);
    KeyboardAccess::orderTabStops(m_client, QRect(QPoint(0, 0), m_client->size()));
    KeyboardAccess::nameButtonsByHint(m_client);
}

void TForm1::FormCreate()
{
    ProfileFile ini(m_settingsPath);
    const int top = ini.readInt("WINDOW", "Top", 50);
    const int left = ini.readInt("WINDOW", "Left", 10);
    // A position saved on a screen that is gone (or edited by hand) would leave the window and
    // its menus out of reach; the moved position is the one written back at the end.
    move(placeInView(left, top, outerSize()));
    const int port = ini.readInt("COM", "Port", 1);
    m_ctx.BitOrder = ini.readString("BITORDER", "LSB", "R");
    // A hand-edited order other than "L" is taken, and later written back, as "R".
    if (m_ctx.BitOrder != QLatin1String("L"))
        m_ctx.BitOrder = QStringLiteral("R");
    m_commentPanels->setCommentOn(ini.readInt("QXMODE", "CommentOn", 0));
    m_commentPanels->setCommentEdit(ini.readInt("QXMODE", "CommentEdit", 0));
    m_idScan->SetBusMode(ini.readInt("QXMODE", "Mode", 0));

    m_portControl->applySavedPort(port);

    m_statusBar->showMessage(tr(kStartHint));
    m_lines->resetReceiver();
    m_ctx.ControlTable.fill(m_client);
    m_lines->blankLines();
    m_keyPad->enableDigitKeys();
    m_bitPanel->LayoutBitOrder(m_ctx.BitOrder);
    m_bitPanel->connectLamps();

    try {
        m_commentGrid->loadCommandLineFile(m_options.arguments);
    } catch (const Exception &e) {
        // Reported like any failed load; the start-up still completes.
        GuardedApplication::showError(e.message());
    }

    m_lines->bindElements();
    m_channels->fillLists();
    m_lines->UpdateChannelMonitor = [this](int line, const QString &data, const QString &addr) {
        m_channels->UpdateChannelMonitor(line, data, addr);
    };
    m_lines->PlaceBitCursor = [this](const QString &addr) { m_bitPanel->PlaceBitCursor(addr); };
    m_lines->ShowCommentLine = [this](int line) { m_bitPanel->ShowCommentLine(line); };
}

int TForm1::SelectedPort() const
{
    return m_portControl->SelectedPort();
}

bool TForm1::event(QEvent *event)
{
    if (event->type() != QEvent::StatusTip)
        return QMainWindow::event(event);
    const QString tip = static_cast<QStatusTipEvent *>(event)->tip();
    if (!tip.isEmpty()) {
        if (!m_showingTip)
            m_coveredMessage = m_statusBar->currentMessage();
        m_showingTip = true;
        m_statusBar->showMessage(tip);
    } else if (m_showingTip) {
        m_showingTip = false;
        m_statusBar->showMessage(m_coveredMessage);
    }
    return true;
}

void TForm1::SaveSettings()
{
    const QList<SettingsFile::Entry> keys = {
        {"WINDOW", "Top", QString::number(pos().y())},
        {"WINDOW", "Left", QString::number(pos().x())},
        {"COM", "Port", QString::number(SelectedPort())},
        {"BITORDER", "LSB", m_ctx.BitOrder},
        {"QXMODE", "Mode", QString::number(m_idScan->BusMode())},
        {"QXMODE", "CommentOn", QString::number(m_commentPanels->CommentOn())},
        {"QXMODE", "CommentEdit", QString::number(m_commentPanels->CommentEdit())},
    };
    const QString written =
        SettingsFile(m_settingsPath, m_options.fallbackSettingsPath).write(keys);
    if (written.isNull())
        throw EFCreateError(tr("%1 に書き込めません").arg(m_settingsPath));
    // Every exit writes twice (File "終了(&X)", then the window's end); one notice is enough.
    if (written != m_settingsPath && !m_fallbackReported) {
        m_fallbackReported = true;
        const QString notice =
            tr("%1 に書き込めないため、設定を %2 に書き込みました").arg(m_settingsPath, written);
        std::fprintf(stderr, "qxwatch: %s\n", notice.toLocal8Bit().constData());
        if (isVisible())
            m_statusBar->showMessage(notice);
    }
}

void TForm1::FormDestroy()
{
    try {
        SaveSettings();
    } catch (const Exception &e) {
        // The window is going away: there is nothing left to show a box on.
        std::fprintf(stderr, "qxwatch: %s\n", e.message().toLocal8Bit().constData());
    }
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // Unsaved comment edits are asked about (save, discard, cancel); cancel keeps the window.
    bool mayClose = false;
    runGuarded([&] { mayClose = m_commentGrid->mayReplaceGrid(); });
    if (!mayClose) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

bool TForm1::closeOnSignal()
{
    const QString kept = m_commentGrid->keepForRecovery();
    if (!kept.isEmpty()) {
        std::fprintf(stderr, "qxwatch: %s\n",
                     tr("保存されていないコメントの変更を %1 に残しました")
                         .arg(kept)
                         .toLocal8Bit()
                         .constData());
    }
    return close();
}

void TForm1::Exit1Click()
{
    if (!m_commentGrid->mayReplaceGrid())
        return;
    SaveSettings();
    close();
    QCoreApplication::quit();
}

void TForm1::About1Click()
{
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}
