#pragma once

// The bit panel on a test window of its own, and a scripted unit that answers arrow keys.
#include "link/Frames.h"
#include "link/KeyCodes.h"
#include "platform/widgets/ImageBox.h"
#include "tests/support/FakePort.h"
#include "ui/BitPanel.h"
#include "ui/FormContext.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <memory>

namespace BitPanelTest
{

// Lamp places of the panel in client pixels: row tops, and the left edge of bit b in "R" order.
constexpr int kRowTop[4] = {56, 80, 104, 128};
constexpr int kColLeft[16] = {392, 376, 360, 344, 328, 312, 296, 280,
                              256, 240, 224, 208, 192, 176, 160, 144};

// A stand-in for the main window: the display line texts, the comment panel entries, a status
// bar, btnLSB and a fake port, with the bit panel built on top.
struct Window {
    QWidget form;
    QWidget *client = new QWidget(&form);
    QStatusBar *statusBar = new QStatusBar(&form);
    FakePort port;
    FormContext ctx;
    std::unique_ptr<BitPanel> panel;

    explicit Window(const QString &order = QStringLiteral("R"))
    {
        form.resize(911, 668);
        client->setGeometry(0, 0, 911, 640);
        statusBar->setGeometry(0, 640, 911, 28);
        for (int n = 1; n <= 4; ++n) {
            const int y = 56 + 24 * (n - 1);
            for (auto [prefix, x, text] : {std::tuple{"IO", 8, "--"}, std::tuple{"Addr", 44, "000"},
                                           std::tuple{"Data", 80, "0000"}}) {
                auto *l = new QLabel(QLatin1String(text), client);
                l->setObjectName(QLatin1String(prefix) + QString::number(n));
                l->setGeometry(x, y, 34, 20);
            }
        }
        auto *lsb = new QPushButton(QStringLiteral("LSB"), client);
        lsb->setObjectName(QStringLiteral("btnLSB"));
        lsb->setGeometry(72, 0, 24, 24);
        for (int n = 0; n < 64; ++n) {
            const QPoint at(10 + (n % 16) * 55, 300 + (n / 16) * 40);
            auto *lab = new QLabel(client);
            lab->setObjectName(QStringLiteral("Lab%1").arg(n));
            lab->setGeometry(QRect(at, QSize(30, 17)));
            auto *lamp = new ImageBox(client);
            lamp->setObjectName(QStringLiteral("Image%1").arg(64 + n));
            lamp->setGeometry(QRect(at + QPoint(30, 0), QSize(17, 17)));
            auto *edit = new QLineEdit(QStringLiteral("stale"), client);
            edit->setObjectName(QStringLiteral("CmntEdit%1").arg(n));
            edit->setGeometry(QRect(at + QPoint(0, 18), QSize(50, 19)));
        }
        for (int i = 0; i < CommentTables::kBitCount; ++i) {
            ctx.comments.CommentBI[i] = QStringLiteral("bi%1").arg(i);
            ctx.comments.CommentBO[i] = QStringLiteral("bo%1").arg(i);
        }
        for (int i = 0; i < CommentTables::kWordBitCount; ++i) {
            ctx.comments.CommentWI[i] = QStringLiteral("wi%1").arg(i);
            ctx.comments.CommentWO[i] = QStringLiteral("wo%1").arg(i);
        }
        ctx.link.setPort(&port);
        ctx.form = &form;
        ctx.client = client;
        ctx.statusBar = statusBar;
        ctx.BitOrder = order;
        panel = std::make_unique<BitPanel>(ctx);
        panel->connectLamps();
    }

    template <class T = QWidget> T *el(const QString &name) const
    {
        return client->findChild<T *>(name);
    }
    ImageBox *lamp(int k) const { return el<ImageBox>(QStringLiteral("Image%1").arg(k)); }
    QWidget *cursor() const { return el(QStringLiteral("BitCursor")); }
    QLabel *addr1() const { return el<QLabel>(QStringLiteral("Addr1")); }

    // As the main window fills it at start-up; the names are then changed so that only the
    // table can find the elements.
    void fillControlTableAndRename()
    {
        ctx.ControlTable.fill(client);
        for (int slot = 0; slot < ControlTable::kSize; ++slot) {
            if (QWidget *w = ctx.ControlTable.at(slot))
                w->setObjectName(QStringLiteral("renamed%1").arg(slot));
        }
    }

    void setLine(int line, const QString &kind, const QString &addr, const QString &data)
    {
        el<QLabel>(QStringLiteral("IO%1").arg(line + 1))->setText(kind);
        el<QLabel>(QStringLiteral("Addr%1").arg(line + 1))->setText(addr);
        el<QLabel>(QStringLiteral("Data%1").arg(line + 1))->setText(data);
    }

    void showForClicks()
    {
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
    }
};

// The monitor unit's cursor as far as lamp clicks need it: each arrow key moves its bit address,
// and the new address shows in Addr1 once the window gets to process events.
struct FakeUnit {
    Window &w;
    int address;
    bool answers = true;
    QList<QByteArray> codes;
    std::function<void()> onFirstKey;

    FakeUnit(Window &window, int start) : w(window), address(start)
    {
        w.addr1()->setText(text(address));
        w.port.onSend = [this](const QByteArray &frame) { key(frame); };
    }

    static QString text(int a) { return QStringLiteral("%1").arg(a, 3, 10, QLatin1Char('0')); }

    void key(const QByteArray &frame)
    {
        const auto code = Frames::parseKeyFrame(frame);
        QVERIFY(code.has_value());
        codes << *code;
        if (codes.size() == 1 && onFirstKey)
            onFirstKey();
        if (!answers)
            return;
        if (*code == KeyCodes::Left)
            ++address;
        else if (*code == KeyCodes::Right)
            --address;
        else if (*code == KeyCodes::Down)
            address += 16;
        else if (*code == KeyCodes::Up)
            address -= 16;
        QTimer::singleShot(0, w.addr1(), [this] { w.addr1()->setText(text(address)); });
    }
};

inline QList<QByteArray> repeated(const QByteArray &code, int n)
{
    return QList<QByteArray>(n, code);
}

inline QPoint centre(const QWidget *w)
{
    return w->rect().center();
}

} // namespace BitPanelTest
