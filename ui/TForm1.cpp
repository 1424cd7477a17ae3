#include "ui/TForm1.h"

#include "comm/CommX.h"
#include "comments/CommentGrid.h"
#include "comments/CommentPanels.h"
#include "platform/Exceptions.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsFile.h"
#include "platform/widgets/GuardedApplication.h"
#include "tools/ChannelMonitor.h"
#include "tools/IdScan.h"
#include "ui/BitPanel.h"
#include "ui/DisplayLines.h"
#include "ui/KeyPad.h"
#include "ui/PortControl.h"
#include "ui/TAboutDlg.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QMenuBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <cstdio>

namespace
{

const QString kStartHint = QStringLiteral("最初にシリアルポートを指定してください");

} // namespace

TForm1::TForm1(const Options &options, QWidget *parent)
    : QMainWindow(parent), m_options(options), m_settingsPath(options.settingsPath)
{
    setObjectName("Form1");
    setWindowTitle(QStringLiteral("QXモニター"));
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
    m_about = new TAboutDlg(this);
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
    if (m_client->size() == client && size().height() == client.height() + menuBar()->height())
        return;
    m_client->setFixedSize(client);
    setFixedSize(client.width(), client.height() + menuBar()->sizeHint().height());
    layoutStatusBar();
}

void TForm1::layoutStatusBar()
{
    const int h = m_statusBar->sizeHint().height();
    m_statusBar->setGeometry(0, m_client->height() - h, m_client->width(), h);
    m_statusBar->raise();
}

void TForm1::buildClient()
{
    m_client = new QWidget(this);
    m_client->setObjectName("ClientArea");
    setCentralWidget(m_client);
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

    // The designed client area, until the comment settings set the real size.
    setOuterSize(920, 722);
}

void TForm1::FormCreate()
{
    ProfileFile ini(m_settingsPath);
    const int top = ini.readInt("WINDOW", "Top", 50);
    const int left = ini.readInt("WINDOW", "Left", 10);
    move(left, top);
    const int port = ini.readInt("COM", "Port", 1);
    m_ctx.BitOrder = ini.readString("BITORDER", "LSB", "R");
    // A hand-edited order other than "L" is taken, and later written back, as "R".
    if (m_ctx.BitOrder != QLatin1String("L"))
        m_ctx.BitOrder = QStringLiteral("R");
    m_commentPanels->setCommentOn(ini.readInt("QXMODE", "CommentOn", 0));
    m_commentPanels->setCommentEdit(ini.readInt("QXMODE", "CommentEdit", 0));
    m_idScan->SetBusMode(ini.readInt("QXMODE", "Mode", 0));

    m_portControl->applySavedPort(port);

    m_statusBar->showMessage(kStartHint);
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
        throw EFCreateError(QStringLiteral("%1 に書き込めません").arg(m_settingsPath));
    // Every exit writes twice (File "終了(&X)", then the window's end); one notice is enough.
    if (written != m_settingsPath && !m_fallbackReported) {
        m_fallbackReported = true;
        const QString notice = QStringLiteral("%1 に書き込めないため、設定を %2 に書き込みました")
                                   .arg(m_settingsPath, written);
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

void TForm1::Exit1Click()
{
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
