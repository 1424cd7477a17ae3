#include "ui/KeyPad.h"

#include "link/KeyCodes.h"
#include "ui/FormContext.h"

#include <QAbstractButton>
#include <QAction>
#include <QEvent>
#include <QFrame>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QShortcut>
#include <array>

namespace
{

constexpr QSize kPictureSize{16, 16};

// The keyboard route of the hexadecimal key F.
const QKeySequence kHexFKey(Qt::ALT | Qt::SHIFT | Qt::Key_F);

enum class Picture { Up, Down, Left, Right, Enter };

// The arrow and enter pictures of the cursor keys and ENT, drawn in the button's text colour of
// the palette (dark text on a light button, light text on a dark one).
QIcon keyPicture(Picture which, const QColor &ink)
{
    QPixmap pixmap(kPictureSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    QPolygonF arrow;
    switch (which) {
    case Picture::Up:
        arrow << QPointF(8, 2) << QPointF(14, 12) << QPointF(2, 12);
        break;
    case Picture::Down:
        arrow << QPointF(2, 4) << QPointF(14, 4) << QPointF(8, 14);
        break;
    case Picture::Left:
        arrow << QPointF(2, 8) << QPointF(12, 2) << QPointF(12, 14);
        break;
    case Picture::Right:
        arrow << QPointF(4, 2) << QPointF(14, 8) << QPointF(4, 14);
        break;
    case Picture::Enter: {
        // A return sign: down from the top right, then left to an arrow head.
        QPainterPath stem;
        stem.moveTo(13, 2);
        stem.lineTo(13, 10);
        stem.lineTo(6, 10);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(ink, 2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        p.drawPath(stem);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        arrow << QPointF(1, 10) << QPointF(7, 5.5) << QPointF(7, 14.5);
        break;
    }
    }
    p.drawPolygon(arrow);
    p.end();
    return QIcon(pixmap);
}

// Draws a picture key's picture afresh whenever the button's palette changes (a dark desktop
// theme chosen while the program runs).
class PictureInk : public QObject
{
public:
    PictureInk(QAbstractButton *button, Picture picture) : QObject(button), m_picture(picture)
    {
        button->installEventFilter(this);
        paint(button);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The application's palette reaches the button after this notice: paint once it has.
        if (event->type() == QEvent::PaletteChange ||
            event->type() == QEvent::ApplicationPaletteChange) {
            auto *button = static_cast<QAbstractButton *>(watched);
            QMetaObject::invokeMethod(
                this, [this, button] { paint(button); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    void paint(QAbstractButton *button) const
    {
        button->setIcon(keyPicture(m_picture, button->palette().color(QPalette::ButtonText)));
    }

    Picture m_picture;
};

QFrame *makePanel(QWidget *parent, const char *name, const QRect &geometry)
{
    auto *panel = new QFrame(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setGeometry(geometry);
    return panel;
}

QPushButton *makeKey(QWidget *parent, const char *name, const QString &caption, const QString &hint,
                     const QRect &geometry)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    if (!hint.isEmpty())
        button->setToolTip(hint);
    // Tab reaches every key, but a click gives none of them the focus: a key press on the
    // window must reach the menu shortcuts, not trigger the last clicked button.
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

// A key shown by a picture: screen readers call it by its name.
QPushButton *makePictureKey(QWidget *parent, const char *name, Picture picture, const QString &hint,
                            const QString &accessibleName, const QRect &geometry)
{
    QPushButton *button = makeKey(parent, name, QString(), hint, geometry);
    button->setIconSize(kPictureSize);
    button->setAccessibleName(accessibleName);
    new PictureInk(button, picture);
    return button;
}

// Key pad area: cells of the hexadecimal key grid and the IN .. ERR column.
constexpr int kKeyWidth = 32;
constexpr int kKeyHeight = 24;
constexpr int kColumnStep = 33;
constexpr int kRowStep = 26;
constexpr int kArrowSize = 32;

} // namespace

KeyPad::KeyPad(FormContext &ctx, QObject *parent) : QObject(parent), m_ctx(ctx)
{
    build();
    connectActions();

    // States at start-up: only the keys that make sense without a connected unit are usable.
    setEnabled({"btnIN", "btnOUT", "btnID", "btnERR", "btnENB", "btnMODE", "btnDATA", "btnONSET"},
               false);
    for (int d = 0; d < 16; ++d)
        if (QAbstractButton *b = button(qPrintable(QStringLiteral("btn%1").arg(d))))
            b->setEnabled(false);
    setEnabled({"btnUP", "btnDOWN", "btnLEFT", "btnRIGHT", "btnENT", "btnCLR", "btnINIT"}, true);
    setMenusEnabled(false);
}

void KeyPad::setMenusEnabled(bool on)
{
    // The menu's title item holds the state; the menu itself stays enabled, or it would look
    // usable and never open.
    if (!m_ctx.form)
        return;
    for (const char *name : {"MenuMode", "GoTo1"})
        if (auto *menu = m_ctx.form->findChild<QMenu *>(QLatin1String(name)))
            menu->menuAction()->setEnabled(on);
}

void KeyPad::build()
{
    QWidget *client = m_ctx.client;
    if (!client)
        return;

    QFrame *io = makePanel(client, "IOPanel", QRect(8, 160, 40, 105));
    struct IoKey {
        const char *name;
        const char *caption;
        void (KeyPad::*handler)();
    };
    const std::array<IoKey, 4> ioKeys{{{"btnIN", "IN", &KeyPad::btnINClick},
                                       {"btnOUT", "OUT", &KeyPad::btnOUTClick},
                                       {"btnID", "ID", &KeyPad::btnIDClick},
                                       {"btnERR", "ERR", &KeyPad::btnERRClick}}};
    for (int r = 0; r < 4; ++r) {
        const IoKey &k = ioKeys[r];
        const QString caption = QLatin1String(k.caption);
        QPushButton *key =
            makeKey(io, k.name, caption, QStringLiteral("%1(F%2)").arg(caption).arg(5 + r),
                    QRect(2, 1 + r * kRowStep, 36, kKeyHeight));
        connect(key, &QPushButton::clicked, this, k.handler);
    }

    // Top row C D E F down to the bottom row 0 1 2 3, as on the unit.
    QFrame *tenKey = makePanel(client, "TenKeyPanel", QRect(48, 160, 170, 105));
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            const int digit = (3 - r) * 4 + c;
            const QString name = QStringLiteral("btn%1").arg(digit);
            // Alt+0 .. Alt+E are the keys' access keys. Alt+F is the File menu's, so F has
            // Alt+Shift+F instead: two owners of one access key would make each press pick
            // the other one in turn.
            const QString hex = QString::number(digit, 16).toUpper();
            QPushButton *key = makeKey(
                tenKey, qPrintable(name), digit == 15 ? hex : QLatin1Char('&') + hex, QString(),
                QRect(2 + c * kColumnStep, 1 + r * kRowStep, kKeyWidth, kKeyHeight));
            connect(key, &QPushButton::clicked, this, [this, digit] { btnDigitClick(digit); });
            if (digit == 15 && m_ctx.form) {
                key->setAccessibleDescription(kHexFKey.toString(QKeySequence::NativeText));
                auto *route = new QShortcut(kHexFKey, m_ctx.form);
                route->setObjectName(QStringLiteral("btn15Shortcut"));
                connect(route, &QShortcut::activated, key, [key] { key->animateClick(); });
            }
        }
    }
    const int sideX = 2 + 4 * kColumnStep + 2;
    connect(makeKey(tenKey, "btnCLR", QStringLiteral("CLR"), QStringLiteral("CLR(Del)"),
                    QRect(sideX, 1, kKeyWidth, kKeyHeight)),
            &QPushButton::clicked, this, &KeyPad::btnCLRClick);
    connect(makePictureKey(tenKey, "btnENT", Picture::Enter, QStringLiteral("ENTER(F11)"),
                           QStringLiteral("ENTER"),
                           QRect(sideX, 1 + kRowStep, kKeyWidth, 3 * kRowStep - 2)),
            &QPushButton::clicked, this, &KeyPad::btnENTClick);

    QFrame *cursor =
        makePanel(client, "CursorPanel", QRect(224, 168, 3 * kArrowSize, 3 * kArrowSize));
    const auto cell = [](int col, int row) {
        return QRect(col * kArrowSize, row * kArrowSize, kArrowSize, kArrowSize);
    };
    connect(makePictureKey(cursor, "btnUP", Picture::Up, QString(), tr("上移動"), cell(1, 0)),
            &QPushButton::clicked, this, &KeyPad::btnUPClick);
    connect(makePictureKey(cursor, "btnLEFT", Picture::Left, QString(), tr("左移動"), cell(0, 1)),
            &QPushButton::clicked, this, &KeyPad::btnLEFTClick);
    connect(makeKey(cursor, "btnONSET", QStringLiteral("ON"), tr("ビットデータのオン/オフ(F9)"),
                    cell(1, 1)),
            &QPushButton::clicked, this, &KeyPad::btnONSETClick);
    connect(makePictureKey(cursor, "btnRIGHT", Picture::Right, QString(), tr("右移動"), cell(2, 1)),
            &QPushButton::clicked, this, &KeyPad::btnRIGHTClick);
    connect(makePictureKey(cursor, "btnDOWN", Picture::Down, QString(), tr("下移動"), cell(1, 2)),
            &QPushButton::clicked, this, &KeyPad::btnDOWNClick);

    connect(makeKey(client, "btnDATA", QStringLiteral("DATA"), tr("データのセット(F10)"),
                    QRect(328, 200, 41, 32)),
            &QPushButton::clicked, this, &KeyPad::btnDATAClick);
}

void KeyPad::connectActions()
{
    using Handler = void (KeyPad::*)();
    const std::array<std::pair<const char *, Handler>, 14> actions{{
        {"Enable1", &KeyPad::btnENBClick},
        {"Mode1", &KeyPad::btnMODEClick},
        {"IN1", &KeyPad::btnINClick},
        {"OUT1", &KeyPad::btnOUTClick},
        {"ID1", &KeyPad::btnIDClick},
        {"ERR1", &KeyPad::btnERRClick},
        {"ON1", &KeyPad::btnONSETClick},
        {"DATA5", &KeyPad::btnDATAClick},
        {"ENT1", &KeyPad::btnENTClick},
        {"CLR1", &KeyPad::btnCLRClick},
        {"MoveUP", &KeyPad::btnUPClick},
        {"MoveDOWN", &KeyPad::btnDOWNClick},
        {"MoveLEFT", &KeyPad::btnLEFTClick},
        {"MoveRIGHT", &KeyPad::btnRIGHTClick},
    }};
    if (m_ctx.form) {
        for (const auto &[name, handler] : actions)
            if (auto *action = m_ctx.form->findChild<QAction *>(QLatin1String(name)))
                connect(action, &QAction::triggered, this, handler);
    }

    // The tool strip keys belong to the main window's strip but run key handlers.
    const std::array<std::pair<const char *, Handler>, 3> stripKeys{{
        {"btnINIT", &KeyPad::btnINITClick},
        {"btnMODE", &KeyPad::btnMODEClick},
        {"btnENB", &KeyPad::btnENBClick},
    }};
    for (const auto &[name, handler] : stripKeys)
        if (QAbstractButton *b = button(name))
            connect(b, &QAbstractButton::clicked, this, handler);
}

QAbstractButton *KeyPad::button(const char *name) const
{
    const QString n = QLatin1String(name);
    if (auto *b = m_ctx.element<QAbstractButton>(n))
        return b;
    return m_ctx.form ? m_ctx.form->findChild<QAbstractButton *>(n) : nullptr;
}

void KeyPad::setEnabled(std::initializer_list<const char *> names, bool on)
{
    for (const char *name : names)
        if (QAbstractButton *b = button(name))
            b->setEnabled(on);
}

void KeyPad::enableDigitKeys()
{
    for (int d = 0; d < 16; ++d)
        if (QAbstractButton *b = button(qPrintable(QStringLiteral("btn%1").arg(d))))
            b->setEnabled(true);
}

void KeyPad::portOpened()
{
    setEnabled({"btnENB", "btnMODE", "btnIN", "btnOUT", "btnID", "btnERR", "btnUP", "btnDOWN",
                "btnLEFT", "btnRIGHT", "btnENT", "btnCLR"},
               true);
    setMenusEnabled(true);
}

void KeyPad::portClosed()
{
    setEnabled({"btnENT", "btnCLR"}, false);
}

bool KeyPad::arrowsSwapped() const
{
    // With bit 0 on the left the unit's "next higher bit" lies to the right, so the arrows swap
    // to move the cursor the way they point; only in bit mode under debug do they move bits.
    return m_ctx.BitOrder == QLatin1String("L") && m_ctx.link.BitMode() && m_ctx.link.DebugMode();
}

void KeyPad::btnINClick()
{
    m_ctx.link.SendKey(KeyCodes::In);
}

void KeyPad::btnOUTClick()
{
    m_ctx.link.SendKey(KeyCodes::Out);
}

void KeyPad::btnIDClick()
{
    m_ctx.link.SendKey(KeyCodes::Id);
}

void KeyPad::btnERRClick()
{
    m_ctx.link.SendKey(KeyCodes::Err);
}

void KeyPad::btnDATAClick()
{
    m_ctx.link.SendKey(KeyCodes::Data);
}

void KeyPad::btnDigitClick(int digit)
{
    if (digit >= 0 && digit < 16)
        m_ctx.link.SendKey(KeyCodes::digit(digit));
}

void KeyPad::btnUPClick()
{
    m_ctx.link.SendKey(KeyCodes::Up);
}

void KeyPad::btnENBClick()
{
    m_ctx.link.SendKey(KeyCodes::Enable);
}

void KeyPad::btnLEFTClick()
{
    m_ctx.link.SendKey(arrowsSwapped() ? KeyCodes::Right : KeyCodes::Left);
}

void KeyPad::btnRIGHTClick()
{
    m_ctx.link.SendKey(arrowsSwapped() ? KeyCodes::Left : KeyCodes::Right);
}

void KeyPad::btnMODEClick()
{
    m_ctx.link.SendKey(KeyCodes::Mode);
}

void KeyPad::btnDOWNClick()
{
    m_ctx.link.SendKey(KeyCodes::Down);
}

void KeyPad::btnENTClick()
{
    m_ctx.link.SendKey(KeyCodes::Ent);
}

void KeyPad::btnCLRClick()
{
    m_ctx.link.SendKey(KeyCodes::Clr);
}

void KeyPad::btnONSETClick()
{
    m_ctx.link.SendKey(KeyCodes::On);
}

void KeyPad::btnINITClick()
{
    m_ctx.link.SendKey(KeyCodes::Ini);
    // The help goes at once, even with no unit to answer; the next bit-mode frame under debug
    // brings it back.
    if (auto *help = m_ctx.element<QWidget>(QStringLiteral("BitModeHelp")))
        help->hide();
}
