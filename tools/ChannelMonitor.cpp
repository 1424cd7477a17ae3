#include "tools/ChannelMonitor.h"

#include "tools/HexText.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace
{

constexpr int kLines = 4;
constexpr int kChannels = 8;
constexpr int kFirstCell = 3; // StaticText3 is line 1, channel 0

const QString kEmptyCell = QStringLiteral("******");
const QString kEmptyHeader = QStringLiteral("*******");

// Table geometry in page pixels.
constexpr int kTableLeft = 26;
constexpr int kTableTop = 18;
constexpr int kColumnPitch = 56;
constexpr int kRowPitch = 16;
constexpr int kCellWidth = 54;
constexpr int kCellHeight = 15;

QButtonGroup *makeSelector(QWidget *page, const char *name, const QString &caption,
                           const QString &item0, const QString &item1, const QRect &geometry)
{
    auto *box = new QGroupBox(caption, page);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(geometry);
    auto *group = new QButtonGroup(box);
    int id = 0;
    for (const QString &text : {item0, item1}) {
        auto *item = new QRadioButton(text, box);
        item->setObjectName(QLatin1String(name) + QString::number(id));
        item->setGeometry(6, 15 + 17 * id, geometry.width() - 8, 17);
        group->addButton(item, id++);
    }
    group->button(0)->setChecked(true);
    return group;
}

} // namespace

ChannelMonitor::ChannelMonitor(QWidget *tabSheet2, const QWidget *elements)
    : QObject(tabSheet2), m_elements(elements ? elements : tabSheet2)
{
    auto *clear = new QPushButton(QStringLiteral("c"), tabSheet2);
    clear->setObjectName(QStringLiteral("Button1"));
    clear->setGeometry(2, 2, kTableLeft - 4, kCellHeight);
    clear->setToolTip(tr("表示クリア"));
    connect(clear, &QPushButton::clicked, this, &ChannelMonitor::Button1Click);

    for (int line = 0; line < kLines; ++line) {
        auto *header = new QLabel(kEmptyHeader, tabSheet2);
        header->setObjectName(QStringLiteral("stAD%1").arg(line + 1));
        header->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        header->setGeometry(kTableLeft + kColumnPitch * line, 2, kCellWidth, kCellHeight);
    }
    for (int channel = 0; channel < kChannels; ++channel) {
        auto *label = new QLabel(QString::number(channel), tabSheet2);
        label->setObjectName(QStringLiteral("chno%1").arg(channel));
        label->setAlignment(Qt::AlignCenter);
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        label->setGeometry(2, kTableTop + kRowPitch * channel, kTableLeft - 4, kCellHeight);
        m_labelColor = label->palette().color(QPalette::WindowText);
    }
    for (int line = 0; line < kLines; ++line) {
        for (int channel = 0; channel < kChannels; ++channel) {
            auto *cell = new QLabel(kEmptyCell, tabSheet2);
            cell->setObjectName(
                QStringLiteral("StaticText%1").arg(kFirstCell + kChannels * line + channel));
            cell->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            cell->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            cell->setGeometry(kTableLeft + kColumnPitch * line, kTableTop + kRowPitch * channel,
                              kCellWidth, kCellHeight);
        }
    }

    const int selectorTop = kTableTop + kRowPitch * kChannels + 4;
    m_format =
        makeSelector(tabSheet2, "FormatSel", tr("フォーマット選択"), tr("13ビットフォーマット"),
                     tr("12ビットフォーマット"), QRect(2, selectorTop, 132, 52));
    m_radix = makeSelector(tabSheet2, "RadixSel", tr("表示形式"), tr("10進表示"), tr("16進表示"),
                           QRect(138, selectorTop, 90, 52));
    connect(m_format, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            emit formatChanged();
    });
}

bool ChannelMonitor::twelveBitFormat() const
{
    return m_format->checkedId() == 1;
}

QLabel *ChannelMonitor::findLabel(const QString &name) const
{
    // The window's elements are looked up by name, as for ControlTable.
    return m_elements->findChild<QLabel *>(name);
}

void ChannelMonitor::fillLists()
{
    m_stAD.clear();
    m_chno.clear();
    m_staticText.clear();
    for (int n = 1; n <= kLines; ++n)
        m_stAD.append(findLabel(QStringLiteral("stAD%1").arg(n)));
    for (int n = 0; n < kChannels; ++n)
        m_chno.append(findLabel(QStringLiteral("chno%1").arg(n)));
    for (int n = kFirstCell; n < kFirstCell + kLines * kChannels; ++n)
        m_staticText.append(findLabel(QStringLiteral("StaticText%1").arg(n)));
}

void ChannelMonitor::UpdateChannelMonitor(int line, const QString &data, const QString &addr)
{
    if (line < 0 || line >= kLines || m_stAD.size() != kLines)
        return;
    QLabel *header = m_stAD.at(line);
    // Set once, and only when it changes: the line refreshes with every frame that changes it.
    const auto setHeader = [header](const QString &text) {
        if (header && header->text() != text)
            header->setText(text);
    };

    if (!addr.startsWith(QLatin1Char('W'))) {
        setHeader(QStringLiteral("---"));
        return;
    }
    // A "W" without two decimal digits after it names no word: the header keeps the address
    // text and nothing else changes. No message, since this runs inside the frame stream.
    const QString number = addr.mid(1, 2);
    const auto decimal = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    if (number.size() != 2 || !decimal(number.at(0)) || !decimal(number.at(1))) {
        setHeader(addr);
        return;
    }
    setHeader(QStringLiteral("Word(%1)").arg(number.toInt()));

    // Data the unit did not show as a word ("****", blanks) counts as the word 0.
    const int word = data.size() <= 4 ? hexTextValue(data).value_or(0) : 0;
    int channel;
    int value;
    if (twelveBitFormat()) {
        channel = (word >> 12) & 7;
        value = word & 0xFFF;
    } else {
        channel = (word >> 13) & 7;
        value = word & 0x1FFF;
    }

    for (int c = 0; c < m_chno.size(); ++c) {
        if (QLabel *label = m_chno.at(c)) {
            const QColor colour = c == channel ? QColor(Qt::red) : m_labelColor;
            if (label->palette().color(QPalette::WindowText) == colour)
                continue;
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, colour);
            label->setPalette(palette);
        }
    }

    const QString text = m_radix->checkedId() == 1
                             ? QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper()
                             : QString::number(value);
    if (m_staticText.size() == kLines * kChannels) {
        QLabel *cell = m_staticText.at(kChannels * line + channel);
        if (cell && cell->text() != text)
            cell->setText(text);
    }
}

void ChannelMonitor::Button1Click()
{
    for (QLabel *cell : std::as_const(m_staticText)) {
        if (cell)
            cell->setText(kEmptyCell);
    }
}
