#include "tools/IdScan.h"

#include "link/DisplayLineTexts.h"
#include "link/KeyCodes.h"
#include "link/UnitLink.h"
#include "platform/Exceptions.h"
#include "platform/widgets/ErrorGuard.h"
#include "tools/HexText.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableWidget>

namespace
{

// Keys the scan presses on the unit: its ID key, key 0 to type an address, ENT, and the key on
// which it shows its next registered ID.
const QByteArray kKeyId = KeyCodes::Id;
const QByteArray kKeyZero = KeyCodes::digit(0);
const QByteArray kKeyNext = KeyCodes::Left;
const QByteArray kKeyEnter = KeyCodes::Ent;

// What the unit shows at the end of its ID list, and while it waits for an address.
const QString kEndOfList = QStringLiteral("****");
const QString kNoAddress = QStringLiteral("   ");
const QString kNoData = QStringLiteral("    ");

constexpr int kColumnWidth = 29;
constexpr int kRowHeight = 16;

bool showsIds(const QString &kind)
{
    return kind == KeyCodes::kindName(KeyCodes::Kind::Id) ||
           kind == KeyCodes::kindName(KeyCodes::Kind::Eid);
}

// The kind of an ID by its leading digit; empty where the mode has none.
QString typeOf(int busMode, int k)
{
    if (busMode == 1) {
        switch (k) {
        case 0:
        case 1:
            return QStringLiteral("OUT");
        case 2:
        case 3:
            return QStringLiteral("IN");
        default:
            return {};
        }
    }
    switch (k) {
    case 0:
        return QStringLiteral("WO");
    case 2:
        return QStringLiteral("WI");
    case 4:
        return QStringLiteral("BO");
    case 6:
        return QStringLiteral("BI");
    case 8:
        return QStringLiteral("UW");
    case 9:
        return QStringLiteral("LM");
    default:
        return {};
    }
}

// The ID as a hexadecimal number; an ID the unit could not have meant raises the same error as
// any other text that should have been a number.
int hexValue(const QString &text)
{
    if (const auto value = hexTextValue(text))
        return *value;
    throw EConvertError(
        QCoreApplication::translate("IdScan", "'%1' は整数ではありません").arg(text));
}

QLineEdit *makeCounter(QWidget *parent, const char *name, int x, int y)
{
    auto *counter = new QLineEdit(parent);
    counter->setObjectName(QLatin1String(name));
    counter->setGeometry(x, y, 38, kRowHeight);
    counter->setReadOnly(true);
    counter->setFocusPolicy(Qt::NoFocus);
    counter->setAlignment(Qt::AlignCenter);
    counter->setTextMargins(0, 0, 0, 0);
    QFont bold = counter->font();
    bold.setBold(true);
    counter->setFont(bold);
    return counter;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &caption, int x, int y)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(x, y, 60, kRowHeight);
    return label;
}

} // namespace

// Keeps "ID Scan" shown as running for exactly as long as a scan is on the stack, however it
// ends (an error included), unless the scan itself went away with the window.
class IdScan::ScanGuard
{
public:
    explicit ScanGuard(IdScan *scan) : m_scan(scan) { scan->beginScan(); }
    ~ScanGuard()
    {
        if (m_scan)
            m_scan->endScan();
    }
    ScanGuard(const ScanGuard &) = delete;
    ScanGuard &operator=(const ScanGuard &) = delete;

private:
    QPointer<IdScan> m_scan;
};

IdScan::IdScan(const UnitLink &link, const DisplayLineTexts &lines, QWidget *tabSheet1,
               QStatusBar *statusBar)
    : QObject(tabSheet1), m_link(link), m_lines(lines), m_statusBar(statusBar)
{
    m_panel = new QFrame(tabSheet1);
    m_panel->setObjectName(QStringLiteral("IDPanel"));
    m_panel->setGeometry(0, 0, 249, 205);

    m_grid = new QTableWidget(1, 4, m_panel);
    m_grid->setObjectName(QStringLiteral("IDStringGrid"));
    m_grid->setGeometry(4, 4, 138, 197);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Three characters fill a 29-pixel column; the style's item margins would elide them.
    m_grid->setTextElideMode(Qt::ElideNone);
    m_grid->setStyleSheet(QStringLiteral("QTableView::item { padding: 0px; }"));
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setMinimumSectionSize(0);
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setDefaultSectionSize(kRowHeight);
    QHeaderView *header = m_grid->horizontalHeader();
    header->setMinimumSectionSize(0);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setHighlightSections(false);
    header->setFixedHeight(kRowHeight);
    for (int column = 0; column < 4; ++column)
        m_grid->setColumnWidth(column, kColumnWidth);
    m_grid->setHorizontalHeaderLabels(
        {QStringLiteral("ID"), QStringLiteral("Type"), QStringLiteral("Adrs"), tr("状態")});

    m_radioGroup = new QGroupBox(QStringLiteral("QX Mode"), m_panel);
    m_radioGroup->setObjectName(QStringLiteral("RadioGroup1"));
    m_radioGroup->setGeometry(144, 0, 105, 40);
    m_q4 = new QRadioButton(QStringLiteral("Q3/Q4"), m_radioGroup);
    m_q4->setObjectName(QStringLiteral("RadioButtonQ4"));
    m_q4->setGeometry(4, 17, 60, 18);
    m_q4->setChecked(true);
    m_q2 = new QRadioButton(QStringLiteral("Q2"), m_radioGroup);
    m_q2->setObjectName(QStringLiteral("RadioButtonQ2"));
    m_q2->setGeometry(64, 17, 40, 18);
    // clicked, not toggled: selecting a button from SetBusMode must not run these again.
    connect(m_q4, &QRadioButton::clicked, this, &IdScan::RadioButtonQ4Click);
    connect(m_q2, &QRadioButton::clicked, this, &IdScan::RadioButtonQ2Click);

    constexpr int labelX = 148;
    constexpr int counterX = 209;
    constexpr int firstRow = 45;
    constexpr int pitch = 18;
    m_biLabel = makeLabel(m_panel, "BILabel", QStringLiteral("Bit IN"), labelX, firstRow);
    m_biCnt = makeCounter(m_panel, "BICnt", counterX, firstRow);
    m_boLabel = makeLabel(m_panel, "BOLabel", QStringLiteral("Bit OUT"), labelX, firstRow + pitch);
    m_boCnt = makeCounter(m_panel, "BOCnt", counterX, firstRow + pitch);
    m_wiLabel =
        makeLabel(m_panel, "WILabel", QStringLiteral("Word IN"), labelX, firstRow + 2 * pitch);
    m_wiCnt = makeCounter(m_panel, "WICnt", counterX, firstRow + 2 * pitch);
    m_woLabel =
        makeLabel(m_panel, "WOLabel", QStringLiteral("Word OUT"), labelX, firstRow + 3 * pitch);
    m_woCnt = makeCounter(m_panel, "WOCnt", counterX, firstRow + 3 * pitch);
    m_lmLabel =
        makeLabel(m_panel, "LMLabel", QStringLiteral("Lumo IN"), labelX, firstRow + 4 * pitch);
    m_lumoCnt = makeCounter(m_panel, "LumoCnt", counterX, firstRow + 4 * pitch);
    m_uwLabel =
        makeLabel(m_panel, "UWLabel", QStringLiteral("Lumo OUT"), labelX, firstRow + 5 * pitch);
    m_uwCnt = makeCounter(m_panel, "UWCnt", counterX, firstRow + 5 * pitch);
    m_totalLabel =
        makeLabel(m_panel, "TotalLabel", QStringLiteral("Total IDs"), labelX, firstRow + 6 * pitch);
    m_totalCnt = makeCounter(m_panel, "TotalCnt", counterX, firstRow + 6 * pitch);

    m_scanButton = new QPushButton(QStringLiteral("ID Scan"), m_panel);
    m_scanButton->setObjectName(QStringLiteral("btnIDScan"));
    m_scanButton->setGeometry(146, 174, 101, 25);
    m_scanButton->setToolTip(tr("登録済IDの表示"));
    // Enabled by connecting, and left enabled after a disconnect.
    m_scanButton->setEnabled(false);
    connect(m_scanButton, &QPushButton::clicked, this, guarded(this, &IdScan::btnIDScanClick));
}

void IdScan::SetBusMode(int mode)
{
    // A mode the program does not know (a hand-edited settings file) is Q3/Q4 throughout, so
    // that the captions always agree with the selected button and with what is saved.
    const bool q2 = mode == 1;
    m_busMode = q2 ? 1 : 0;
    (q2 ? m_q2 : m_q4)->setChecked(true);
    m_biLabel->setText(q2 ? QStringLiteral("IN") : QStringLiteral("Bit IN"));
    m_boLabel->setText(q2 ? QStringLiteral("OUT") : QStringLiteral("Bit OUT"));
    for (QLabel *label : {m_wiLabel, m_woLabel, m_lmLabel, m_uwLabel})
        label->setEnabled(!q2);
    for (QLineEdit *counter : {m_wiCnt, m_woCnt, m_lumoCnt, m_uwCnt})
        counter->setVisible(!q2);
}

void IdScan::RadioButtonQ4Click()
{
    m_busMode = 0;
    SetBusMode(0);
}

void IdScan::RadioButtonQ2Click()
{
    m_busMode = 1;
    SetBusMode(1);
}

IdScan::LineTexts IdScan::cursorLine() const
{
    const int line = m_lines.CurLine();
    return {m_lines.kind(line), m_lines.addr(line), m_lines.data(line)};
}

UnitWait::Result IdScan::pressAndWait(const QByteArray &key,
                                      const std::function<bool(const LineTexts &)> &shown)
{
    return UnitWait::pressAndWait(
        m_link, key, [this, &shown] { return m_cancelled || shown(cursorLine()); }, m_stepTimeout,
        this);
}

IdScan::Step IdScan::step(const QByteArray &key,
                          const std::function<bool(const LineTexts &)> &shown)
{
    // Once the window has closed no key goes to the unit any more.
    if (m_cancelled)
        return Step::Cancelled;
    switch (pressAndWait(key, shown)) {
    case UnitWait::Result::Gone:
        return Step::Gone;
    case UnitWait::Result::PortClosed:
        return Step::PortClosed;
    case UnitWait::Result::TimedOut:
        return Step::TimedOut;
    case UnitWait::Result::Shown:
        break;
    }
    return m_cancelled ? Step::Cancelled : Step::Shown;
}

void IdScan::cancelScan()
{
    if (m_scanning)
        m_cancelled = true;
}

bool IdScan::eventFilter(QObject *watched, QEvent *event)
{
    // A hide from the program (close, File "終了(&X)"), not a minimise by the window manager.
    if (watched == m_window && event->type() == QEvent::Hide && !event->spontaneous())
        cancelScan();
    return QObject::eventFilter(watched, event);
}

void IdScan::beginScan()
{
    m_scanning = true;
    m_reported = false;
    m_cancelled = false;
    m_scanButton->setDown(true);
    m_window = m_panel->window();
    if (m_window)
        m_window->installEventFilter(this);
    if (m_statusBar) {
        m_statusBeforeScan = m_statusBar->currentMessage();
        m_statusBar->showMessage(tr("IDスキャン中..."));
    }
}

void IdScan::endScan()
{
    m_scanning = false;
    m_scanButton->setDown(false);
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = nullptr;
    // A press that ran no scan (the unit already at the end of its list) leaves the status as
    // it was; every scan that ran has said how it ended.
    if (m_statusBar && !m_reported)
        m_statusBar->showMessage(m_statusBeforeScan);
}

void IdScan::showInterruption(Step why, int idsRead)
{
    m_reported = true;
    if (!m_statusBar)
        return;
    QString text;
    switch (why) {
    case Step::PortClosed:
        text = tr("IDスキャンを中断しました（ポートが閉じられました）");
        break;
    case Step::TimedOut:
        text = tr("IDスキャンを中断しました（ユニットの応答がありません）");
        break;
    case Step::Cancelled:
        text = tr("IDスキャンを中止しました（ウィンドウが閉じられました）");
        break;
    case Step::Shown:
    case Step::Gone:
        return;
    }
    if (idsRead >= 0)
        text += tr("。読み取ったID %1 件までの途中結果です（カウンタは空のまま）").arg(idsRead);
    m_statusBar->showMessage(text);
}

void IdScan::btnIDScanClick()
{
    if (m_scanning)
        return;
    ScanGuard guard(this);

    const LineTexts line = cursorLine();
    if (!showsIds(line.kind)) {
        const Step result = step(kKeyId, [](const LineTexts &l) { return showsIds(l.kind); });
        if (result == Step::Gone)
            return;
        if (result != Step::Shown) {
            showInterruption(result);
            return;
        }
        scanLoop();
        return;
    }
    if (line.addr == kNoAddress && line.data == kEndOfList)
        return;

    // Re-enter the list at address 000, each key confirmed by the unit's display.
    struct KeyStep {
        QByteArray key;
        std::function<bool(const LineTexts &)> done;
    };
    const auto addressIs = [](const char *addr) {
        return [text = QString::fromLatin1(addr)](const LineTexts &l) { return l.addr == text; };
    };
    const KeyStep steps[] = {
        {kKeyId, addressIs("   ")},
        {kKeyZero, addressIs("0  ")},
        {kKeyZero, addressIs("00 ")},
        {kKeyZero, addressIs("000")},
        {kKeyEnter, [](const LineTexts &l) { return l.data != kNoData; }},
    };
    for (const KeyStep &keyStep : steps) {
        const Step result = step(keyStep.key, keyStep.done);
        if (result == Step::Gone)
            return;
        if (result != Step::Shown) {
            showInterruption(result);
            return;
        }
    }
    scanLoop();
}

void IdScan::RunIDScan()
{
    if (m_scanning)
        return;
    ScanGuard guard(this);
    scanLoop();
}

void IdScan::setCell(int row, int column, const QString &text)
{
    if (m_grid->rowCount() < row)
        m_grid->setRowCount(row);
    QTableWidgetItem *item = m_grid->item(row - 1, column);
    if (!item) {
        item = new QTableWidgetItem;
        m_grid->setItem(row - 1, column, item);
    }
    item->setText(text);
}

void IdScan::scanLoop()
{
    QHash<QString, int> counts;
    int row = 1;
    Step stop = Step::Shown;

    LineTexts line = cursorLine();
    while (line.data != kEndOfList) {
        const QString id = line.data.mid(1, 3);
        setCell(row, 0, id);
        int k = 0;
        int address = 0;
        try {
            k = StrToInt(id.left(1));
            const QString type = typeOf(m_busMode, k);
            setCell(row, 1, type);
            if (!type.isEmpty())
                ++counts[type];
            address = hexValue(id) & (k < 8 ? 0x1FF : 0xFF);
        } catch (const EConvertError &) {
            // The counters keep what they showed; the status says this scan did not finish.
            m_reported = true;
            if (m_statusBar)
                m_statusBar->showMessage(
                    tr("IDスキャンを中断しました（%1 行目のIDが読めません）").arg(row));
            throw;
        }
        setCell(row, 2, QString::number(address));
        setCell(row, 3,
                line.kind == KeyCodes::kindName(KeyCodes::Kind::Eid) ? QStringLiteral("ERR")
                                                                     : QStringLiteral("OK"));
        ++row;
        m_grid->setRowCount(row - 1);

        const QString previous = line.data;
        const Step result =
            step(kKeyNext, [&previous](const LineTexts &l) { return l.data != previous; });
        if (result == Step::Gone)
            return;
        if (result != Step::Shown) {
            stop = result;
            break;
        }
        line = cursorLine();
    }

    if (stop != Step::Shown) {
        // A partial count must not pass for the bus's: the counters stay empty.
        clearCounts();
        showInterruption(stop, row - 1);
        return;
    }
    showCounts(counts);
    m_reported = true;
    if (m_statusBar)
        m_statusBar->showMessage(tr("IDスキャンが完了しました（ID %1 件）").arg(row - 1));
}

void IdScan::clearCounts()
{
    for (QLineEdit *counter : {m_wiCnt, m_woCnt, m_biCnt, m_boCnt, m_uwCnt, m_lumoCnt, m_totalCnt})
        counter->clear();
}

void IdScan::showCounts(const QHash<QString, int> &counts)
{
    const auto show = [&counts](QLineEdit *counter, const char *type) {
        counter->setText(QString::number(counts.value(QLatin1String(type))));
    };
    if (m_busMode == 1) {
        show(m_boCnt, "OUT");
        show(m_biCnt, "IN");
        m_totalCnt->setText(QString::number(counts.value(QStringLiteral("IN")) +
                                            counts.value(QStringLiteral("OUT"))));
        return;
    }
    show(m_wiCnt, "WI");
    show(m_woCnt, "WO");
    show(m_biCnt, "BI");
    show(m_boCnt, "BO");
    show(m_uwCnt, "UW");
    show(m_lumoCnt, "LM");
    int total = 0;
    for (const char *type : {"WI", "WO", "BI", "BO", "UW", "LM"})
        total += counts.value(QLatin1String(type));
    m_totalCnt->setText(QString::number(total));
}
