// The main window's menus, tool strip and tab pages.
#include "ui/TForm1.h"

#include "platform/widgets/ErrorGuard.h"
#include "tools/ChannelMonitor.h"
#include "tools/IdScan.h"
#include "ui/DisplayLines.h"

#include <QActionGroup>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

namespace
{

QAction *addItem(QMenu *menu, const char *name, const QString &caption,
                 const QKeySequence &shortcut = {})
{
    auto *action = menu->addAction(caption);
    action->setObjectName(name);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    return action;
}

void addSeparator(QMenu *menu, const char *name)
{
    menu->addSeparator()->setObjectName(name);
}

// Small drawn symbols for the connect and disconnect buttons: a plug meeting its socket, and
// the two apart.
QIcon plugIcon(bool connected)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor body = connected ? QColor(0, 128, 0) : QColor(160, 0, 0);
    p.setPen(QPen(body, 1.5));
    p.setBrush(body);
    const int gap = connected ? 0 : 4;
    p.drawRect(QRectF(1, 5, 5 - gap / 2.0, 6));
    p.drawLine(QPointF(6 - gap / 2.0, 6.5), QPointF(8 - gap / 2.0, 6.5));
    p.drawLine(QPointF(6 - gap / 2.0, 9.5), QPointF(8 - gap / 2.0, 9.5));
    p.drawRect(QRectF(8 + gap / 2.0, 4, 7 - gap / 2.0, 8));
    return QIcon(pm);
}

QToolButton *toolButton(QWidget *parent, const char *name, const QRect &geometry,
                        const QString &hint)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setToolTip(hint);
    button->setAutoRaise(true);
    return button;
}

} // namespace

void TForm1::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName("MainMenu1");

    QMenu *file = bar->addMenu(tr("ファイル(&F)"));
    file->setObjectName("File1");
    file->menuAction()->setObjectName("File1");
    addItem(file, "New1", tr("新規作成(&N)"));
    addItem(file, "Open1", tr("開く(&O)"));
    addItem(file, "Save1", tr("保存(&S)"))->setEnabled(false);
    addItem(file, "SaveAs1", tr("名前を付けて保存(&A)"))->setEnabled(false);
    addSeparator(file, "N5");
    addItem(file, "MenuFileConnect", tr("接続(&C)"));
    addItem(file, "MenuFileDisconnect", tr("切断(&D)"))->setEnabled(false);
    // Ours: connect again by itself when the device of a lost connection comes back.
    addItem(file, "MenuFileAutoReconnect", tr("自動再接続(&R)"))->setCheckable(true);
    addSeparator(file, "N2");
    connect(addItem(file, "Exit1", tr("終了(&X)")), &QAction::triggered, this,
            guarded(this, &TForm1::Exit1Click));

    QMenu *port = bar->addMenu(tr("ポート(&P)"));
    port->setObjectName("P1");
    port->menuAction()->setObjectName("P1");
    m_portGroup = new QActionGroup(this);
    m_portGroup->setExclusive(true);
    for (int n = 1; n <= 16; ++n) {
        QString caption = QStringLiteral("COM%1").arg(n);
        if (n < 10)
            caption = QStringLiteral("COM&%1").arg(n);
        else if (n == 10)
            caption = QStringLiteral("COM1&0");
        const QByteArray name =
            QStringLiteral("COM%1").arg(n, 2, 10, QLatin1Char('0')).toLatin1() + '1';
        QAction *item = addItem(port, name.constData(), caption);
        item->setCheckable(true);
        item->setChecked(n == 1);
        m_portGroup->addAction(item);
    }

    QMenu *mode = bar->addMenu(tr("モード(&M)"));
    mode->setObjectName("MenuMode");
    mode->menuAction()->setObjectName("MenuMode");
    addItem(mode, "Enable1", "Enable", Qt::Key_F3);
    addItem(mode, "Mode1", "Mode", Qt::Key_F4);
    addSeparator(mode, "N1");
    addItem(mode, "IN1", "IN", Qt::Key_F5);
    addItem(mode, "OUT1", "OUT", Qt::Key_F6);
    addItem(mode, "ID1", "ID", Qt::Key_F7);
    addItem(mode, "ERR1", "ERR", Qt::Key_F8);
    addSeparator(mode, "N3");
    addItem(mode, "ON1", "ON", Qt::Key_F9);
    addItem(mode, "DATA5", "DATA", Qt::Key_F10);
    addSeparator(mode, "N4");
    addItem(mode, "ENT1", "ENT", Qt::Key_F11);
    addItem(mode, "CLR1", "CLR", Qt::Key_Delete);
    mode->menuAction()->setEnabled(false);

    QMenu *move = bar->addMenu(tr("移動(&V)"));
    move->setObjectName("GoTo1");
    move->menuAction()->setObjectName("GoTo1");
    addItem(move, "MoveUP", tr("上移動"), QKeySequence(Qt::CTRL | Qt::Key_W));
    addItem(move, "MoveDOWN", tr("下移動"), QKeySequence(Qt::CTRL | Qt::Key_Z));
    addItem(move, "MoveLEFT", tr("左移動"), QKeySequence(Qt::CTRL | Qt::Key_A));
    addItem(move, "MoveRIGHT", tr("右移動"), QKeySequence(Qt::CTRL | Qt::Key_S));
    move->menuAction()->setEnabled(false);

    QMenu *help = bar->addMenu(tr("ヘルプ(&H)"));
    help->setObjectName("Help1");
    help->menuAction()->setObjectName("Help1");
    connect(addItem(help, "About1", "About(&A)"), &QAction::triggered, this, &TForm1::About1Click);

    // Shortcuts of the menu items must work while the window has focus, menus closed.
    for (QAction *action : findChildren<QAction *>()) {
        if (!action->shortcut().isEmpty())
            addAction(action);
    }
}

void TForm1::buildToolStrip()
{
    auto *panel2 = new QFrame(m_client);
    panel2->setObjectName("Panel2");
    panel2->setGeometry(0, 0, 97, 25);
    panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto *open = toolButton(panel2, "OpenButton", {2, 1, 23, 23}, tr("接続"));
    open->setIcon(plugIcon(true));
    auto *close = toolButton(panel2, "CloseButton", {25, 1, 23, 23}, tr("切断"));
    close->setIcon(plugIcon(false));
    toolButton(panel2, "btnINIT", {48, 1, 23, 23}, tr("初期化"))->setText("INI");
    toolButton(panel2, "btnLSB", {71, 1, 24, 23}, tr("LSB/MSBの反転"))->setText("LSB");

    auto *btnMODE = new QPushButton("MODE", m_client);
    btnMODE->setObjectName("btnMODE");
    btnMODE->setGeometry(112, 0, 57, 21);
    btnMODE->setToolTip(tr("ﾋﾞｯﾄ/ﾃﾞｰﾀﾓｰﾄﾞ切替え(F4)"));
    btnMODE->setEnabled(false);
    auto *btnENB = new QPushButton("ENABLE", m_client);
    btnENB->setObjectName("btnENB");
    btnENB->setGeometry(172, 0, 57, 21);
    btnENB->setToolTip(tr("ﾃﾞﾊﾞｯｸﾞ/ﾓﾆﾀ切替(F3)"));
    btnENB->setEnabled(false);

    auto *status = new QLabel(m_client);
    status->setObjectName("Status");
    status->setGeometry(240, 2, 81, 17);
    status->setAlignment(Qt::AlignCenter);
    status->setAutoFillBackground(true);
    status->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // Its backgrounds are fixed (yellow for debug, aqua for monitor), so its text is too: a
    // dark desktop theme's light text would not read on them.
    QPalette fixedInk = status->palette();
    fixedInk.setColor(QPalette::WindowText, Qt::black);
    status->setPalette(fixedInk);

    auto *rec = new QLabel("Receiving", m_client);
    rec->setObjectName("RecIndicator");
    rec->setGeometry(432, 2, 66, 17);
    rec->setAlignment(Qt::AlignCenter);
    rec->setAutoFillBackground(true);
    QPalette pal = rec->palette();
    pal.setColor(QPalette::Window, QColor(0, 255, 0));
    pal.setColor(QPalette::WindowText, Qt::black);
    rec->setPalette(pal);
    rec->hide();
}

void TForm1::buildTabs()
{
    m_pageControl = new QTabWidget(m_client);
    m_pageControl->setObjectName("PageControl1");
    m_pageControl->setGeometry(424, 24, 257, 233);
    auto *sheet1 = new QWidget;
    sheet1->setObjectName("TabSheet1");
    auto *sheet2 = new QWidget;
    sheet2->setObjectName("TabSheet2");
    m_pageControl->addTab(sheet1, tr("IDスキャン"));
    m_pageControl->addTab(sheet2, tr("8CH展開モニター"));
    m_pageControl->setCurrentIndex(0);
    m_idScan = new IdScan(m_ctx.link, *m_lines, sheet1, m_statusBar);
    m_channels = new ChannelMonitor(sheet2, m_client);
}
