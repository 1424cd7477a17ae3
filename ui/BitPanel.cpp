#include "ui/BitPanel.h"

#include "link/BitAddress.h"
#include "link/KeyCodes.h"
#include "link/UnitWait.h"
#include "platform/Exceptions.h"
#include "platform/widgets/ImageBox.h"
#include "ui/ControlTable.h"
#include "ui/FormContext.h"

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QScopeGuard>
#include <QStatusBar>
#include <cstdlib>
#include <functional>
#include <vector>

namespace
{

constexpr int kLampCount = 64;
constexpr int kCommentLampOffset = 64;
constexpr int kLabelTop = 32;
constexpr QSize kLabelSize{14, 14};

// The bit cursor: an outline that inverts what lies beneath it, so that it shows on a lit lamp,
// a dark lamp and the black frame alike, and the lamp inside stays visible. Child widgets paint
// into the window's one backing store after the lamps beneath them, so a raster operation here
// works on the lamps' pixels already drawn there.
class CursorMark : public QWidget
{
public:
    explicit CursorMark(QWidget *parent) : QWidget(parent) {}

    std::function<void()> onContextMenu;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        // Not-xor with a black pen: ~(0 ^ d) = ~d, the inverse of what is beneath.
        p.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(0, 0, width() - 1, height() - 1);
    }

    void contextMenuEvent(QContextMenuEvent *event) override
    {
        event->accept();
        if (onContextMenu)
            onContextMenu();
    }
};

// The rounded frame around the lamps, a black ground for the lamp pictures.
class ShapeFrame : public QWidget
{
public:
    explicit ShapeFrame(QWidget *parent) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::black);
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    }
};

QString textOf(const QWidget *w)
{
    if (auto *label = qobject_cast<const QLabel *>(w))
        return label->text();
    if (auto *edit = qobject_cast<const QLineEdit *>(w))
        return edit->text();
    return QString();
}

// Sets a text only when it differs: a line edit lays its text out on every setText, and the
// comment entries are set for every refresh of their display line, mostly to what they hold.
void setTextOf(QWidget *w, const QString &text)
{
    if (auto *label = qobject_cast<QLabel *>(w)) {
        if (label->text() != text)
            label->setText(text);
    } else if (auto *edit = qobject_cast<QLineEdit *>(w)) {
        if (edit->text() != text)
            edit->setText(text);
    }
}

// A comment table entry; an index outside the table (a word address in bit mode reaches past
// the bit tables) gives no comment.
template <std::size_t N> QString commentAt(const std::array<QString, N> &table, qint64 index)
{
    return index >= 0 && index < qint64(N) ? CommentTables::at(table, int(index)) : QString();
}

} // namespace

BitPanel::BitPanel(FormContext &ctx, QObject *parent) : QObject(parent), m_ctx(ctx)
{
    build();
    LayoutBitOrder(m_ctx.BitOrder);
    connectLamps();
    if (auto *lsb = m_ctx.element<QAbstractButton>(QStringLiteral("btnLSB")))
        connect(lsb, &QAbstractButton::clicked, this, &BitPanel::btnLSBClick);
}

QPixmap BitPanel::lampPicture(const QColor &colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::black);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    return pixmap;
}

void BitPanel::build()
{
    QWidget *client = m_ctx.client;
    if (!client)
        return;

    auto *shape = new ShapeFrame(client);
    shape->setObjectName(QStringLiteral("Shape1"));
    shape->setGeometry(136, 48, 281, 105);

    for (int i = 0; i < 16; ++i) {
        auto *label = new QLabel(QString::number(i), client);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 2));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setGeometry(QRect(QPoint(ColLeft[i], kLabelTop), kLabelSize));
        // The fallback gothic fonts have wider digits than the design font: keep "15" inside
        // its 14-pixel label so neighbouring numbers stay apart.
        QFont narrow = label->font();
        narrow.setPixelSize(10);
        narrow.setStretch(QFont::SemiCondensed);
        label->setFont(narrow);
    }

    for (int k = 0; k < kLampCount; ++k) {
        auto *lamp = new ImageBox(client);
        lamp->setObjectName(QStringLiteral("Image%1").arg(k));
        lamp->setLampNumber(k);
        lamp->setGeometry(QRect(QPoint(ColLeft[15 - k % 16], RowTop[k / 16]), kLampSize));
        // The frame's black beneath, painted by the lamp itself.
        lamp->setGround(Qt::black);
    }

    auto *cursor = new CursorMark(client);
    cursor->setObjectName(QStringLiteral("BitCursor"));
    cursor->setGeometry(QRect(QPoint(ColLeft[0], RowTop[0]), kLampSize));
    cursor->onContextMenu = [this] { BitCursorClick(); };
    cursor->hide();
    cursor->raise();
    m_cursor = cursor;

    auto *help = new QLabel(tr("左クリックで移動・右クリックでON/OFF"), client);
    help->setObjectName(QStringLiteral("BitModeHelp"));
    help->move(184, 154);
    help->adjustSize();
    help->hide();

    const QPixmap green = lampPicture(QColor(0, 255, 0));
    const std::array<std::pair<const char *, QPixmap>, 6> pictures{{
        {"GrnLED", green},
        {"DarkGrnLED", lampPicture(QColor(0, 128, 0))},
        {"RedLED", lampPicture(QColor(255, 0, 0))},
        {"DarkRedLED", lampPicture(QColor(128, 0, 0))},
        // Until a line of kind IN or OUT is drawn, on and off look alike.
        {"OnLed", green},
        {"OffLed", green},
    }};
    for (const auto &[name, picture] : pictures) {
        auto *holder = new ImageBox(client);
        holder->setObjectName(QLatin1String(name));
        holder->setGeometry(QRect(QPoint(0, 0), picture.size()));
        holder->setPicture(picture);
        holder->hide();
    }
}

QWidget *BitPanel::slot(int index) const
{
    if (QWidget *element = m_ctx.ControlTable.at(index))
        return element;
    return m_ctx.element<QWidget>(ControlTable::nameOf(index));
}

ImageBox *BitPanel::lampSlot(int lamp) const
{
    QPointer<ImageBox> &kept = m_lampSlots.at(std::size_t(lamp));
    if (!kept)
        kept = qobject_cast<ImageBox *>(slot(ControlTable::kImage + lamp));
    return kept;
}

QLabel *BitPanel::labSlot(int entry) const
{
    QPointer<QLabel> &kept = m_labSlots.at(std::size_t(entry));
    if (!kept)
        kept = qobject_cast<QLabel *>(slot(ControlTable::kLab + entry));
    return kept;
}

QLineEdit *BitPanel::cmntEditSlot(int entry) const
{
    QPointer<QLineEdit> &kept = m_cmntEditSlots.at(std::size_t(entry));
    if (!kept)
        kept = qobject_cast<QLineEdit *>(slot(ControlTable::kCmntEdit + entry));
    return kept;
}

QString BitPanel::lineText(int slotBase, int line) const
{
    return textOf(slot(slotBase + line));
}

void BitPanel::LayoutBitOrder(const QString &order)
{
    if (m_ctx.BitOrder != QLatin1String("R") && m_ctx.BitOrder != QLatin1String("L"))
        m_ctx.BitOrder = QStringLiteral("R");
    const bool bit0Left = order == QLatin1String("L");
    for (int i = 0; i < 16; ++i) {
        if (QWidget *label = slot(ControlTable::kLabel + i))
            label->move(bit0Left ? ColLeft[15 - i] : ColLeft[i], label->y());
        // Lamp i of a row shows bit 15 - i of that row.
        const int lampLeft = bit0Left ? ColLeft[i] : ColLeft[15 - i];
        for (int row = 0; row < 4; ++row) {
            const int k = i + 16 * row;
            if (QWidget *lamp = slot(ControlTable::kImage + k))
                lamp->move(lampLeft, lamp->y());
        }
    }
}

void BitPanel::btnLSBClick()
{
    m_ctx.BitOrder =
        m_ctx.BitOrder == QLatin1String("L") ? QStringLiteral("R") : QStringLiteral("L");
    LayoutBitOrder(m_ctx.BitOrder);
}

void BitPanel::PlaceBitCursor(const QString &addr)
{
    const int a = StrToIntDef(addr, -1);
    if (a < 0 || !m_cursor)
        return;
    const int bit = a % 16;
    const int left = m_ctx.BitOrder == QLatin1String("L") ? ColLeft[15 - bit] : ColLeft[bit];
    m_cursor->move(left, RowTop[(a % 64) / 16]);
}

void BitPanel::bitLEDClick(ImageBox *lamp)
{
    if (lamp)
        MoveCursorToLamp(lamp->lampNumber());
}

void BitPanel::MoveCursorToLamp(int lampNumber)
{
    if (!m_ctx.link.DebugMode() || !m_ctx.link.BitMode())
        return;
    // A click while the unit is still stepping towards an earlier one would interleave two
    // key series and leave the cursor somewhere neither click meant.
    if (m_moving || lampNumber < 0 || lampNumber >= kLampCount)
        return;
    const int a = StrToIntDef(lineText(ControlTable::kAddr, 0), -1);
    if (a < 0)
        return;

    const int target = LampBit(lampNumber);
    const int targetRow = target / 16;
    const int targetCol = target % 16;
    const int row = (a % 64) / 16;
    const int col = (a % 64) % 16;

    // The unit moves its cursor only by its arrows: rows first, then bits within the row.
    std::vector<QByteArray> presses;
    presses.insert(presses.end(), std::abs(targetRow - row),
                   targetRow > row ? QByteArray(KeyCodes::Down) : QByteArray(KeyCodes::Up));
    presses.insert(presses.end(), std::abs(targetCol - col),
                   targetCol > col ? QByteArray(KeyCodes::Left) : QByteArray(KeyCodes::Right));

    // A close of the window ends the move at once: the program's end does not wait for the
    // remaining presses, and no key goes to the unit after the window has gone.
    QWidget *window = m_ctx.client ? m_ctx.client->window() : nullptr;
    if (window)
        window->installEventFilter(this);
    m_moving = true;
    m_moveCancelled = false;
    const QPointer<BitPanel> self(this);
    const QPointer<QWidget> watched(window);
    const auto done = qScopeGuard([self, watched] {
        if (!self)
            return;
        self->m_moving = false;
        if (watched)
            watched->removeEventFilter(self);
    });
    for (const QByteArray &code : presses) {
        if (m_moveCancelled)
            return;
        // Each press waits for the cursor's address, Addr1, to change.
        QWidget *addr1 = slot(ControlTable::kAddr);
        if (!addr1)
            return;
        const QString before = textOf(addr1);
        const UnitWait::Result result = UnitWait::pressAndWait(
            m_ctx.link, code,
            [this, addr1, &before] { return m_moveCancelled || textOf(addr1) != before; },
            kAnswerTimeout, addr1);
        if (!self || result == UnitWait::Result::Gone || m_moveCancelled)
            return;
        if (result != UnitWait::Result::Shown) {
            if (m_ctx.statusBar)
                m_ctx.statusBar->showMessage(noAnswerMessage());
            return;
        }
    }
}

bool BitPanel::eventFilter(QObject *watched, QEvent *event)
{
    // A hide from the program (close, File "終了(&X)"), not a minimise by the window manager.
    if (m_moving && event->type() == QEvent::Hide && !event->spontaneous() &&
        watched->isWidgetType() && static_cast<QWidget *>(watched)->isWindow())
        m_moveCancelled = true;
    return QObject::eventFilter(watched, event);
}

void BitPanel::BitCursorClick()
{
    m_ctx.link.SendKey(KeyCodes::On);
}

QString BitPanel::noAnswerMessage()
{
    return tr("モニターユニットが応答しません");
}

void BitPanel::ShowCommentLine(int line)
{
    if (line < 0 || line > 3)
        return;

    for (int m = 0; m < 16; ++m) {
        const int k = 16 * line + m;
        ImageBox *lamp = lampSlot(k);
        ImageBox *mirror = lampSlot(kCommentLampOffset + k);
        if (lamp && mirror) {
            mirror->setPicture(lamp->picture());
            mirror->setLampState(lamp->isOn(), lamp->colour());
        }
    }

    const QString addr = lineText(ControlTable::kAddr, line);
    const QString data = lineText(ControlTable::kData, line);
    const QString kind = lineText(ControlTable::kIO, line);
    const bool wordAddr = addr.startsWith(QLatin1Char('W'));

    const qint64 base = BitAddress::lineBase(addr, data, m_ctx.link.BitMode());

    const bool in = kind == KeyCodes::kindName(KeyCodes::Kind::In);
    const bool out = kind == KeyCodes::kindName(KeyCodes::Kind::Out);
    const CommentTables &c = m_ctx.comments;
    for (int m = 0; m < 16; ++m) {
        const int n = 16 * line + m;
        QString label;
        QString comment;
        if (m_ctx.link.BitMode()) {
            const qint64 bit = base + 16 * line + m;
            label = QString::number(bit);
            comment = in    ? commentAt(c.CommentBI, bit)
                      : out ? commentAt(c.CommentBO, bit)
                            : QString();
        } else if (wordAddr) {
            label = QStringLiteral("%1-%2").arg(base / 16).arg(m);
            comment = in    ? commentAt(c.CommentWI, base + m)
                      : out ? commentAt(c.CommentWO, base + m)
                            : QString();
        } else {
            label = QString::number(base + m);
            comment = in    ? commentAt(c.CommentBI, base + m)
                      : out ? commentAt(c.CommentBO, base + m)
                            : QString();
        }
        if (QLabel *lab = labSlot(n)) {
            if (lab->text() != label)
                lab->setText(label);
        } else {
            setTextOf(slot(ControlTable::kLab + n), label);
        }
        if (QLineEdit *edit = cmntEditSlot(n)) {
            if (edit->text() != comment)
                edit->setText(comment);
        } else {
            setTextOf(slot(ControlTable::kCmntEdit + n), comment);
        }
    }
}

void BitPanel::connectLamps()
{
    for (int n = 0; n < 2 * kLampCount; ++n) {
        auto *lamp = qobject_cast<ImageBox *>(slot(ControlTable::kImage + n));
        if (!lamp)
            continue;
        // A comment panel lamp copies main lamp n - 64, so a click on it means that lamp's bit.
        if (n >= kCommentLampOffset)
            lamp->setLampNumber(n - kCommentLampOffset);
        // Named for assistive technology by the bit it shows and its display line.
        const int number = lamp->lampNumber();
        const QString name = tr("ビット%1 ライン%2").arg(LampBit(number)).arg(number / 16 + 1);
        if (lamp->accessibleName() != name)
            lamp->setAccessibleName(name);
        disconnect(lamp, &ImageBox::clicked, this, nullptr);
        connect(lamp, &ImageBox::clicked, this, [this, lamp] { bitLEDClick(lamp); });
    }
}
