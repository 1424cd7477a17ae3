#include "ui/DisplayLines.h"

#include "link/CommPort.h"
#include "link/DisplayFrame.h"
#include "link/KeyCodes.h"
#include "platform/Exceptions.h"
#include "platform/SjisText.h"
#include "platform/widgets/ImageBox.h"
#include "ui/FormContext.h"
#include "ui/LineBox.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>

namespace
{

constexpr int kRowTop[4] = {56, 80, 104, 128};

// Frame bytes are ASCII from a working unit; anything else is shown as Shift-JIS.
QString frameText(const QByteArray &bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return fromSjis(bytes);
    }
    return QString::fromLatin1(bytes);
}

// The raw frame of a line: never seen, it only keeps its text (and tells of each change). A line
// edit lays out and draws its text anew on every change; this one does that only while shown.
class RawFrameField : public QLineEdit
{
public:
    explicit RawFrameField(QWidget *parent) : QLineEdit(parent)
    {
        setReadOnly(true);
        hide();
        setEchoMode(QLineEdit::NoEcho);
    }

protected:
    void showEvent(QShowEvent *event) override
    {
        setEchoMode(QLineEdit::Normal);
        QLineEdit::showEvent(event);
    }
    void hideEvent(QHideEvent *event) override
    {
        QLineEdit::hideEvent(event);
        setEchoMode(QLineEdit::NoEcho);
    }
};

QLabel *makeBox(QWidget *parent, const QString &name, const QRect &geometry, const QString &text)
{
    auto *box = new LineBox(text, parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    // The boxes never change size: a new text then asks for no new layout of the client area.
    box->setFixedSize(geometry.size());
    box->setAlignment(Qt::AlignCenter);
    box->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    box->setAutoFillBackground(true);
    QPalette pal = box->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    box->setPalette(pal);
    QFont font = box->font();
    font.setBold(true);
    box->setFont(font);
    return box;
}

void setShown(QWidget *w, bool shown)
{
    if (w && w->isHidden() == shown)
        w->setVisible(shown);
}

void setEnabledIf(QWidget *w, bool enabled)
{
    if (w && w->isEnabled() != enabled)
        w->setEnabled(enabled);
}

// Frames repeat what the display already shows far more often than they change it: a text that
// is already there is not set again (a line edit lays its text out anew on every setText, equal
// or not).
void setTextIf(QLabel *label, const QString &text)
{
    if (label->text() != text)
        label->setText(text);
}

void setTextIf(QLineEdit *edit, const QString &text)
{
    if (edit->text() != text)
        edit->setText(text);
}

} // namespace

DisplayLines::DisplayLines(FormContext &ctx, QObject *parent) : DisplayLineTexts(parent), m_ctx(ctx)
{
    indicatorClock = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    };
    m_indicatorTimer.setSingleShot(true);
    connect(&m_indicatorTimer, &QTimer::timeout, this, &DisplayLines::showIndicatorState);
}

void DisplayLines::build()
{
    QWidget *client = m_ctx.client;
    m_panel1 = new QWidget(client);
    m_panel1->setObjectName("Panel1");
    m_panel1->setGeometry(4, kRowTop[0] - 3, 129, 26);
    m_panel1->setAutoFillBackground(true);
    QPalette pal = m_panel1->palette();
    pal.setColor(QPalette::Window, QColor(0, 255, 255));
    m_panel1->setPalette(pal);

    auto *adrsCaption = new QLabel("ADRS", client);
    adrsCaption->setObjectName("AdrsCaption");
    adrsCaption->setGeometry(44, 38, 33, 14);
    adrsCaption->setAlignment(Qt::AlignCenter);
    auto *dataCaption = new QLabel("DATA", client);
    dataCaption->setObjectName("DataCaption");
    dataCaption->setGeometry(80, 38, 49, 14);
    dataCaption->setAlignment(Qt::AlignCenter);

    for (int n = 0; n < 4; ++n) {
        const int top = kRowTop[n];
        m_io[n] = makeBox(client, QStringLiteral("IO%1").arg(n + 1), {8, top, 33, 20}, "--");
        m_addr[n] = makeBox(client, QStringLiteral("Addr%1").arg(n + 1), {44, top, 33, 20}, "000");
        m_data[n] = makeBox(client, QStringLiteral("Data%1").arg(n + 1), {80, top, 49, 20}, "0000");
        m_edit[n] = new RawFrameField(client);
        m_edit[n]->setObjectName(QStringLiteral("Edit%1").arg(n + 1));
        m_edit[n]->setGeometry(920, 40 + 24 * n, 121, 20);
    }
    m_bitAddrTxt = makeBox(client, "BitAddrTxt", {8, kRowTop[1], 69, 20}, tr("000 ～ 063"));
    m_bitAddrTxt->hide();
}

void DisplayLines::bindElements()
{
    m_el.status = m_ctx.element<QLabel>("Status");
    m_el.recIndicator = m_ctx.element<QWidget>("RecIndicator");
    m_el.tenKeyPanel = m_ctx.element<QWidget>("TenKeyPanel");
    m_el.ioPanel = m_ctx.element<QWidget>("IOPanel");
    m_el.btnDATA = m_ctx.element<QWidget>("btnDATA");
    m_el.pageControl = m_ctx.element<QWidget>("PageControl1");
    m_el.btnONSET = m_ctx.element<QWidget>("btnONSET");
    m_el.bitCursor = m_ctx.element<QWidget>("BitCursor");
    m_el.btnUP = m_ctx.element<QWidget>("btnUP");
    m_el.btnDOWN = m_ctx.element<QWidget>("btnDOWN");
    m_el.bitModeHelp = m_ctx.element<QWidget>("BitModeHelp");
    m_el.grnLED = m_ctx.element<ImageBox>("GrnLED");
    m_el.darkGrnLED = m_ctx.element<ImageBox>("DarkGrnLED");
    m_el.redLED = m_ctx.element<ImageBox>("RedLED");
    m_el.darkRedLED = m_ctx.element<ImageBox>("DarkRedLED");
    m_el.onLed = m_ctx.element<ImageBox>("OnLed");
    m_el.offLed = m_ctx.element<ImageBox>("OffLed");
    for (int k = 0; k < 64; ++k) {
        m_el.lamps[k] = qobject_cast<ImageBox *>(m_ctx.ControlTable.at(ControlTable::kImage + k));
    }
}

void DisplayLines::resetReceiver()
{
    m_ctx.link.setBitMode(false);
    m_ctx.link.setDebugMode(false);
    m_sync = FrameSync();
    m_model = DisplayLineModel();
    m_curLine = 0;
}

void DisplayLines::blankLines()
{
    for (int n = 0; n < kLines; ++n) {
        if (setLineTexts(n, QStringLiteral("--"), QStringLiteral("000"), QStringLiteral("0000")))
            emit lineChanged(n);
    }
}

void DisplayLines::clearKinds()
{
    for (int n = 0; n < kLines; ++n) {
        if (setLineTexts(n, QStringLiteral("--"), m_addr[n]->text(), m_data[n]->text()))
            emit lineChanged(n);
    }
}

bool DisplayLines::setLineTexts(int line, const QString &kind, const QString &addr,
                                const QString &data)
{
    const bool changed =
        m_io[line]->text() != kind || m_addr[line]->text() != addr || m_data[line]->text() != data;
    if (changed) {
        setTextIf(m_io[line], kind);
        setTextIf(m_addr[line], addr);
        setTextIf(m_data[line], data);
    }
    return changed;
}

QString DisplayLines::kind(int line) const
{
    return line >= 0 && line < kLines ? m_io[line]->text() : QString();
}

QString DisplayLines::addr(int line) const
{
    return line >= 0 && line < kLines ? m_addr[line]->text() : QString();
}

QString DisplayLines::data(int line) const
{
    return line >= 0 && line < kLines ? m_data[line]->text() : QString();
}

void DisplayLines::RecPkt(QObject *, int receiveSize)
{
    CommPort *port = m_ctx.link.port();
    for (int i = 0; i < receiveSize; ++i) {
        const int value = port ? port->ReadChar() : -1;
        switch (m_sync.push(value)) {
        case FrameSync::Verdict::Bad:
            toggleIndicator();
            return; // the unread bytes wait for the next receive event
        case FrameSync::Verdict::Good:
            handleFrame(DisplayFrame::decode(m_sync.frameData()));
            m_sync.clearText();
            toggleIndicator();
            if (FrameTaken)
                FrameTaken();
            emit frameTaken();
            break;
        case FrameSync::Verdict::Incomplete:
            break;
        }
        setShown(m_panel1, !m_ctx.link.BitMode());
    }
}

void DisplayLines::toggleIndicator()
{
    m_indicatorOn = !m_indicatorOn;
    const std::chrono::milliseconds since =
        m_indicatorShownAt ? indicatorClock() - *m_indicatorShownAt : kIndicatorPeriod;
    if (since >= kIndicatorPeriod)
        showIndicatorState();
    else if (!m_indicatorTimer.isActive())
        m_indicatorTimer.start(kIndicatorPeriod - since);
}

void DisplayLines::showIndicatorState()
{
    m_indicatorTimer.stop();
    m_indicatorShownAt = indicatorClock();
    if (m_el.recIndicator && m_el.recIndicator->isHidden() == m_indicatorOn)
        m_el.recIndicator->setVisible(m_indicatorOn);
}

void DisplayLines::hideIndicator()
{
    m_indicatorOn = false;
    showIndicatorState();
}

void DisplayLines::handleFrame(const DisplayFrame &frame)
{
    ++m_goodFrames;
    m_ctx.link.setDebugMode(frame.debug);
    const int statusState = m_ctx.link.DebugMode() ? 1 : 0;
    if (m_el.status && statusState != m_statusState) {
        m_statusState = statusState;
        m_el.status->setText(m_ctx.link.DebugMode() ? tr("デバッグ") : tr("モニター"));
        QPalette pal = m_el.status->palette();
        pal.setColor(QPalette::Window,
                     m_ctx.link.DebugMode() ? QColor(255, 255, 0) : QColor(0, 255, 255));
        m_el.status->setPalette(pal);
    }

    if (frame.bitMode)
        applyBitLayout(frame);
    else
        applyDataLayout();
    lineContent(frame);
}

void DisplayLines::setModeTitle(bool bitMode)
{
    // Made again only when the mark changes: every frame asks for its mode's caption.
    if (m_titles.mark != titleMark || m_titles.bit.isEmpty()) {
        m_titles.mark = titleMark;
        m_titles.bit = tr("QXモニター") + titleMark + tr("[ビットモード]");
        m_titles.data = tr("QXモニター") + titleMark + tr("[データモード]");
    }
    const QString &title = bitMode ? m_titles.bit : m_titles.data;
    if (m_ctx.form && m_ctx.form->windowTitle() != title)
        m_ctx.form->setWindowTitle(title);
}

void DisplayLines::setOuterHeight(const std::function<int()> &modeHeight)
{
    if (!modeHeight || !m_ctx.setOuterSize || !m_ctx.outerSize)
        return;
    const int height = modeHeight();
    const QSize outer = m_ctx.outerSize();
    if (outer.height() != height)
        m_ctx.setOuterSize(outer.width(), height);
}

void DisplayLines::applyBitLayout(const DisplayFrame &frame)
{
    m_ctx.link.setBitMode(true);
    setModeTitle(true);
    setOuterHeight(BitModeHeight);
    setShown(m_el.tenKeyPanel, false);
    setShown(m_el.ioPanel, false);
    setShown(m_el.btnDATA, false);
    setShown(m_el.pageControl, false);
    for (int n = 1; n < 4; ++n) {
        setShown(m_io[n], false);
        setShown(m_addr[n], false);
    }
    setShown(m_bitAddrTxt, true);
    // Uses the first line's address as it stood before this frame. When that is no number (the
    // unit left its ID list, "   ", for bit mode), the range stays empty and the frame is still
    // shown: giving the frame up would keep the old address, and with it every later frame.
    // A conversion message left in the status bar by an earlier frame goes once the range
    // can be worked out again; any other message stays.
    try {
        setTextIf(m_bitAddrTxt, DisplayLineModel::bitRangeText(m_addr[0]->text()));
        if (m_ctx.statusBar && !m_rangeMessage.isEmpty()) {
            if (m_ctx.statusBar->currentMessage() == m_rangeMessage)
                m_ctx.statusBar->clearMessage();
            m_rangeMessage.clear();
        }
    } catch (const EConvertError &e) {
        setTextIf(m_bitAddrTxt, QString());
        m_rangeMessage = e.message();
        if (m_ctx.statusBar && m_ctx.statusBar->currentMessage() != m_rangeMessage)
            m_ctx.statusBar->showMessage(m_rangeMessage);
    }

    if (m_ctx.link.DebugMode()) {
        setEnabledIf(m_el.btnONSET, true);
        setEnabledIf(m_el.btnDATA, false);
        setShown(m_el.bitCursor, true);
        if (PlaceBitCursor)
            PlaceBitCursor(frameText(frame.addr));
        setEnabledIf(m_el.btnUP, true);
        setEnabledIf(m_el.btnDOWN, true);
        setShown(m_el.bitModeHelp, true);
    } else {
        setEnabledIf(m_el.btnONSET, false);
        setEnabledIf(m_el.btnDATA, false);
        setShown(m_el.bitCursor, false);
        setEnabledIf(m_el.btnUP, false);
        setEnabledIf(m_el.btnDOWN, false);
        setShown(m_el.bitModeHelp, false);
    }
}

void DisplayLines::applyDataLayout()
{
    m_ctx.link.setBitMode(false);
    setModeTitle(false);
    setShown(m_el.bitModeHelp, false);
    setOuterHeight(DataModeHeight);
    setShown(m_el.tenKeyPanel, true);
    setShown(m_el.ioPanel, true);
    setShown(m_el.btnDATA, true);
    setShown(m_el.pageControl, true);
    setShown(m_el.bitCursor, false);
    for (int n = 1; n < 4; ++n) {
        setShown(m_io[n], true);
        setShown(m_addr[n], true);
    }
    setShown(m_bitAddrTxt, false);
    setEnabledIf(m_el.btnUP, true);
    setEnabledIf(m_el.btnDOWN, true);
    setEnabledIf(m_el.btnONSET, false);
    setEnabledIf(m_el.btnDATA, m_ctx.link.DebugMode());
}

void DisplayLines::lineContent(const DisplayFrame &frame)
{
    const int line = frame.line;
    setTextIf(m_edit[line], frameText(frame.raw));
    const bool changed = setLineTexts(line, KeyCodes::kindText(frame.kind), frameText(frame.addr),
                                      frameText(frame.data));
    ShowLineLamps(line, m_data[line]->text(), m_io[line]->text(), m_addr[line]->text());
    if (frame.cursor)
        SelectLine(line);
    if (changed)
        emit lineChanged(line);
}

void DisplayLines::SelectLine(int line)
{
    if (line < 0 || line > 3)
        return;
    m_panel1->move(m_panel1->x(), m_io[line]->y() - 3);
    m_curLine = line;
}

void DisplayLines::ShowLineLamps(int line, const QString &data, const QString &kind,
                                 const QString &addr)
{
    if (!m_model.needsRefresh(line, data, kind, addr, m_curLine))
        return;
    if (m_el.onLed && m_el.offLed) {
        if (kind == KeyCodes::kindName(KeyCodes::Kind::In) && m_el.grnLED && m_el.darkGrnLED) {
            m_el.onLed->setPicture(m_el.grnLED->picture());
            m_el.offLed->setPicture(m_el.darkGrnLED->picture());
            m_lampColour = ImageBox::Colour::Green;
        } else if (kind == KeyCodes::kindName(KeyCodes::Kind::Out) && m_el.redLED &&
                   m_el.darkRedLED) {
            m_el.onLed->setPicture(m_el.redLED->picture());
            m_el.offLed->setPicture(m_el.darkRedLED->picture());
            m_lampColour = ImageBox::Colour::Red;
        }
        const quint16 states = DisplayLineModel::lampStates(data);
        for (int j = 0; j < 16; ++j) {
            if (ImageBox *lamp = m_el.lamps[16 * line + j]) {
                const bool on = (states >> j) & 1;
                lamp->setPicture(on ? m_el.onLed->picture() : m_el.offLed->picture());
                lamp->setLampState(on, m_lampColour);
            }
        }
    }
    if (UpdateChannelMonitor)
        UpdateChannelMonitor(line, m_data[line]->text(), m_addr[line]->text());
    m_model.remember(line, data, kind, addr, m_curLine);
    if (ShowCommentLine)
        ShowCommentLine(line);
}
