#include "unit/MonitorUnit.h"

#include "link/Frames.h"
#include "link/KeyCodes.h"

#include <algorithm>

namespace
{

constexpr int kLines = 4;
constexpr int kBits = Scenario::kBitRows * 16;

namespace Kind = KeyCodes::Kind;

const QByteArray kBlankAddr("   ");
const QByteArray kBlankData("    ");
const QByteArray kEndOfIds("****");

QByteArray hex4(quint16 v)
{
    return QByteArray::number(v, 16).toUpper().rightJustified(4, '0');
}

QByteArray bitAddr(int a)
{
    return QByteArray::number(a).rightJustified(3, '0');
}

QByteArray wordAddr(int w)
{
    return 'W' + QByteArray::number(w).rightJustified(2, '0');
}

MonitorUnit::Line blankLine()
{
    return {' ', kBlankAddr, kBlankData, false};
}

} // namespace

std::optional<KeyPress> keyFromCode(const QByteArray &code)
{
    if (const auto digit = KeyCodes::digitOf(code))
        return KeyPress{UnitKey::Hex, *digit};
    static const std::pair<const char *, UnitKey> kKeys[] = {
        {KeyCodes::In, UnitKey::In},         {KeyCodes::Out, UnitKey::Out},
        {KeyCodes::Id, UnitKey::Id},         {KeyCodes::Err, UnitKey::Err},
        {KeyCodes::Data, UnitKey::Data},     {KeyCodes::Up, UnitKey::Up},
        {KeyCodes::Enable, UnitKey::Enable}, {KeyCodes::Left, UnitKey::Left},
        {KeyCodes::Right, UnitKey::Right},   {KeyCodes::Mode, UnitKey::Mode},
        {KeyCodes::Down, UnitKey::Down},     {KeyCodes::Ent, UnitKey::Ent},
        {KeyCodes::Clr, UnitKey::Clr},       {KeyCodes::On, UnitKey::On},
        {KeyCodes::Ini, UnitKey::Ini},
    };
    for (const auto &[keyCode, key] : kKeys) {
        if (code == keyCode)
            return KeyPress{key};
    }
    return std::nullopt;
}

MonitorUnit::MonitorUnit(Scenario scenario)
    : m_scenario(std::move(scenario)), m_inBits(m_scenario.inputBits),
      m_outBits(m_scenario.outputBits), m_inWords(m_scenario.inputWords),
      m_outWords(m_scenario.outputWords), m_debug(m_scenario.debug), m_bitMode(m_scenario.bitMode),
      m_idAddr(kBlankAddr)
{
    for (const auto &[bit, period] : m_scenario.blinkBits)
        m_blinkClocks[bit] = std::chrono::milliseconds(0);
    for (const auto &unit : m_scenario.eightChannel) {
        m_channelValues.append(unit.values);
        m_inWords[unit.word] = eightChannelWord(unit, m_channelValues.size() - 1);
    }
}

bool MonitorUnit::pressKey(const QByteArray &code)
{
    const auto key = keyFromCode(code);
    if (!key)
        return false;
    press(*key);
    return true;
}

void MonitorUnit::press(KeyPress key)
{
    switch (key.key) {
    case UnitKey::In:
    case UnitKey::Out:
    case UnitKey::Id:
    case UnitKey::Err: {
        const View v = key.key == UnitKey::In    ? View::In
                       : key.key == UnitKey::Out ? View::Out
                       : key.key == UnitKey::Id  ? View::Id
                                                 : View::Err;
        if (v == View::In || v == View::Out)
            m_bitSide = v;
        setView(v);
        return;
    }
    case UnitKey::Enable:
        m_debug = !m_debug;
        m_editing = false;
        return;
    case UnitKey::Mode:
        m_bitMode = !m_bitMode;
        m_editing = false;
        return;
    case UnitKey::Ini:
        m_editing = false;
        m_bitSide = View::In;
        m_bitCursor = 0;
        setView(View::In);
        m_outBits = m_scenario.outputBits;
        m_outWords = m_scenario.outputWords;
        return;
    default:
        break;
    }

    if (m_bitMode) {
        switch (key.key) {
        case UnitKey::Left:
            moveBitCursor(1);
            break;
        case UnitKey::Right:
            moveBitCursor(-1);
            break;
        case UnitKey::Down:
            moveBitCursor(16);
            break;
        case UnitKey::Up:
            moveBitCursor(-16);
            break;
        case UnitKey::On:
            if (m_debug) {
                auto &rows = m_bitSide == View::Out ? m_outBits : m_inBits;
                rows[m_bitCursor / 16] ^= static_cast<quint16>(1u << (m_bitCursor % 16));
            }
            break;
        default:
            break; // the data keys mean nothing in bit mode
        }
        return;
    }

    if (m_view == View::Id)
        pressInIdView(key);
    else
        pressInList(key);
}

void MonitorUnit::pressInIdView(const KeyPress &key)
{
    const int count = m_scenario.ids.size();
    switch (key.key) {
    case UnitKey::Hex: {
        const char digit = "0123456789ABCDEF"[key.digit];
        const qsizetype blank = m_idAddr.indexOf(' ');
        if (m_idIndex != -1 || blank < 0)
            m_idAddr = digit + QByteArray("  ");
        else
            m_idAddr[blank] = digit;
        m_idIndex = -1;
        break;
    }
    case UnitKey::Ent:
        if (m_idIndex == -1) {
            QByteArray start = m_idAddr;
            start.replace(' ', '0');
            const int from = start.toInt(nullptr, 16);
            const auto it = std::find_if(m_scenario.ids.cbegin(), m_scenario.ids.cend(),
                                         [from](const auto &s) { return s.id >= from; });
            m_idIndex = static_cast<int>(it - m_scenario.ids.cbegin());
        }
        break;
    case UnitKey::Clr:
        m_idAddr = kBlankAddr;
        m_idIndex = -1;
        break;
    case UnitKey::Left:
    case UnitKey::Down:
        if (m_idIndex >= 0 && m_idIndex < count)
            ++m_idIndex;
        break;
    case UnitKey::Right:
    case UnitKey::Up:
        if (m_idIndex > 0)
            --m_idIndex;
        break;
    default:
        break;
    }
}

void MonitorUnit::pressInList(const KeyPress &key)
{
    switch (key.key) {
    case UnitKey::Up:
    case UnitKey::Down:
        m_editing = false;
        moveRow(key.key == UnitKey::Down ? 1 : -1);
        break;
    case UnitKey::Left:
    case UnitKey::Right: {
        m_editing = false;
        const int n = rowCount(m_view);
        const int delta = key.key == UnitKey::Left ? kLines : -kLines;
        m_top = std::clamp(m_top + delta, 0, std::max(0, n - kLines));
        m_cursorLine = std::clamp(m_cursorLine, 0, std::max(0, n - 1 - m_top));
        break;
    }
    case UnitKey::Data:
        if (m_debug && (m_view == View::In || m_view == View::Out)) {
            m_editing = true;
            m_editText = kBlankData;
        }
        break;
    case UnitKey::Hex:
        if (m_editing)
            m_editText = m_editText.mid(1) + "0123456789ABCDEF"[key.digit];
        break;
    case UnitKey::Ent:
        if (m_editing) {
            QByteArray text = m_editText;
            text.replace(' ', '0');
            const QList<Row> list = rows(m_view);
            storeRowValue(m_view, list.at(m_top + m_cursorLine),
                          static_cast<quint16>(text.toUInt(nullptr, 16)));
            m_editing = false;
        }
        break;
    case UnitKey::Clr:
        m_editing = false;
        break;
    default:
        break;
    }
}

void MonitorUnit::setView(View view)
{
    m_editing = false;
    m_view = view;
    m_top = 0;
    m_cursorLine = 0;
    if (view == View::Id) {
        m_idAddr = kBlankAddr;
        m_idIndex = 0;
    }
}

void MonitorUnit::moveRow(int delta)
{
    const int n = rowCount(m_view);
    const int target = std::clamp(m_top + m_cursorLine + delta, 0, std::max(0, n - 1));
    if (target < m_top)
        m_top = target;
    else if (target > m_top + kLines - 1)
        m_top = target - (kLines - 1);
    m_cursorLine = target - m_top;
}

void MonitorUnit::moveBitCursor(int delta)
{
    const int target = m_bitCursor + delta;
    if (target >= 0 && target < kBits)
        m_bitCursor = target;
}

QList<MonitorUnit::Row> MonitorUnit::rows(View view) const
{
    QList<Row> list;
    for (int r = 0; r < Scenario::kBitRows; ++r)
        list.append({false, r});
    for (const auto &[word, value] : view == View::Out ? m_outWords : m_inWords)
        list.append({true, word});
    return list;
}

int MonitorUnit::rowCount(View view) const
{
    if (view == View::Err)
        return 1 + static_cast<int>(std::count_if(m_scenario.ids.cbegin(), m_scenario.ids.cend(),
                                                  [](const auto &s) { return s.erroneous; }));
    return static_cast<int>(rows(view).size());
}

quint16 MonitorUnit::rowValue(View view, const Row &row) const
{
    if (row.word) {
        const auto &words = view == View::Out ? m_outWords : m_inWords;
        const auto it = words.find(row.number);
        return it == words.end() ? 0 : it->second;
    }
    return (view == View::Out ? m_outBits : m_inBits)[row.number];
}

void MonitorUnit::storeRowValue(View view, const Row &row, quint16 value)
{
    if (row.word)
        (view == View::Out ? m_outWords : m_inWords)[row.number] = value;
    else
        (view == View::Out ? m_outBits : m_inBits)[row.number] = value;
}

MonitorUnit::Line MonitorUnit::rowLine(View view, int index) const
{
    if (view == View::Err) {
        QList<int> errors;
        for (const auto &s : m_scenario.ids)
            if (s.erroneous)
                errors.append(s.id);
        if (index == 0)
            return {Kind::ErrCount, bitAddr(0), hex4(static_cast<quint16>(errors.size())), false};
        if (index - 1 < errors.size())
            return {Kind::Err, bitAddr(index), hex4(static_cast<quint16>(errors.at(index - 1))),
                    false};
        return blankLine();
    }
    const QList<Row> list = rows(view);
    if (index >= list.size())
        return blankLine();
    const Row &row = list.at(index);
    const bool editing = m_editing && index == m_top + m_cursorLine;
    const char kind = editing ? (view == View::Out ? Kind::Owt : Kind::Iwt)
                              : (view == View::Out ? Kind::Out : Kind::In);
    return {kind, row.word ? wordAddr(row.number) : bitAddr(row.number * 16),
            editing ? m_editText : hex4(rowValue(view, row)), false};
}

MonitorUnit::Line MonitorUnit::idLine(int index, bool current) const
{
    const int count = m_scenario.ids.size();
    const QByteArray addr = current ? m_idAddr : kBlankAddr;
    if (index < 0)
        return {Kind::Id, addr, kBlankData, current};
    if (index >= count)
        return current ? Line{Kind::Id, addr, kEndOfIds, true} : blankLine();
    const auto &s = m_scenario.ids.at(index);
    return {s.erroneous ? Kind::Eid : Kind::Id, addr,
            '0' + QByteArray::number(s.id, 16).toUpper().rightJustified(3, '0'), current};
}

std::array<MonitorUnit::Line, 4> MonitorUnit::listLines() const
{
    std::array<Line, 4> out;
    if (m_view == View::Id) {
        out[0] = idLine(m_idIndex, true);
        for (int i = 1; i < kLines; ++i)
            out[i] = m_idIndex < 0 ? blankLine() : idLine(m_idIndex + i, false);
        return out;
    }
    for (int i = 0; i < kLines; ++i) {
        out[i] = rowLine(m_view, m_top + i);
        out[i].cursor = i == m_cursorLine;
    }
    return out;
}

std::array<MonitorUnit::Line, 4> MonitorUnit::bitLines() const
{
    const auto &rows = m_bitSide == View::Out ? m_outBits : m_inBits;
    const char kind = m_bitSide == View::Out ? Kind::Out : Kind::In;
    const int block = m_bitCursor / 64 * 64;
    std::array<Line, 4> out;
    for (int i = 0; i < kLines; ++i) {
        const int first = block + 16 * i;
        // Every line names the cursor's bit: the window places its cursor from each frame's
        // address, and labels each line's bits from the block that address lies in.
        out[i] = {kind, bitAddr(m_bitCursor), hex4(rows[first / 16]),
                  m_bitCursor / 16 == first / 16};
    }
    return out;
}

std::array<MonitorUnit::Line, 4> MonitorUnit::lines() const
{
    return m_bitMode ? bitLines() : listLines();
}

QList<QByteArray> MonitorUnit::displayFrames() const
{
    const char headerA =
        static_cast<char>(Frames::kHeaderATop | (m_debug ? Frames::kHeaderDebug : 0) |
                          (m_bitMode ? Frames::kHeaderBitMode : 0));
    QList<QByteArray> frames;
    const auto all = lines();
    for (int i = 0; i < kLines; ++i) {
        const Line &l = all[i];
        // Header B's unused bits are the unit's choice; it sets them as in header A.
        const char headerB = static_cast<char>(0x70 | i | (l.cursor ? Frames::kHeaderCursor : 0));
        frames.append(Frames::displayFrame(headerA, headerB, l.kind, l.addr, l.data));
    }
    return frames;
}

bool MonitorUnit::inputBit(int address) const
{
    return address >= 0 && address < kBits && (m_inBits[address / 16] >> (address % 16) & 1);
}

bool MonitorUnit::outputBit(int address) const
{
    return address >= 0 && address < kBits && (m_outBits[address / 16] >> (address % 16) & 1);
}

std::optional<quint16> MonitorUnit::inputWord(int word) const
{
    const auto it = m_inWords.find(word);
    return it == m_inWords.end() ? std::nullopt : std::optional<quint16>(it->second);
}

std::optional<quint16> MonitorUnit::outputWord(int word) const
{
    const auto it = m_outWords.find(word);
    return it == m_outWords.end() ? std::nullopt : std::optional<quint16>(it->second);
}

quint16 MonitorUnit::eightChannelWord(const Scenario::EightChannelUnit &unit, int slot) const
{
    const int value = m_channelValues.at(slot)[m_channelSlot];
    if (unit.format == 13)
        return static_cast<quint16>(m_channelSlot << 13 | (value & 0x1FFF));
    return static_cast<quint16>(m_channelSlot << 12 | (value & 0x0FFF));
}

void MonitorUnit::advance(std::chrono::milliseconds elapsed)
{
    using std::chrono::milliseconds;
    if (elapsed <= milliseconds(0))
        return;

    m_counterClock += elapsed;
    const long long steps = m_counterClock / m_scenario.counterPeriod;
    m_counterClock %= m_scenario.counterPeriod;
    if (steps > 0) {
        for (const auto &[word, step] : m_scenario.counters)
            m_inWords[word] = static_cast<quint16>((m_inWords[word] + step * steps) & 0xFFFF);
    }

    for (auto &[bit, clock] : m_blinkClocks) {
        const milliseconds half(m_scenario.blinkBits.at(bit));
        clock += elapsed;
        const long long toggles = clock / half;
        clock %= half;
        if (toggles % 2 != 0)
            m_inBits[bit / 16] ^= static_cast<quint16>(1u << (bit % 16));
    }

    m_channelClock += elapsed;
    // After a long pause only the last rounds matter; the bound keeps the loop short.
    const long long due = m_channelClock / m_scenario.channelPeriod;
    const long long channelSteps = due > 8 * 64 ? 8 * 64 + due % 8 : due;
    m_channelClock %= m_scenario.channelPeriod;
    for (long long s = 0; s < channelSteps; ++s) {
        for (int u = 0; u < m_scenario.eightChannel.size(); ++u) {
            // The channel just shown drifts, so every channel's value moves over time.
            auto &values = m_channelValues[u];
            const int max = m_scenario.eightChannel.at(u).format == 13 ? 0x1FFF : 0x0FFF;
            values[m_channelSlot] = (values[m_channelSlot] + 7 * (m_channelSlot + 1)) % (max + 1);
        }
        m_channelSlot = (m_channelSlot + 1) % 8;
    }
    for (int u = 0; u < m_scenario.eightChannel.size(); ++u)
        m_inWords[m_scenario.eightChannel.at(u).word] =
            eightChannelWord(m_scenario.eightChannel.at(u), u);
}
