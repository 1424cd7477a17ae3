#include "unit/Scenario.h"

#include "platform/Exceptions.h"
#include "platform/ProfileFile.h"

#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <optional>

namespace
{

// One section's entries with the file name, so every complaint can say where it comes from.
class SectionReader
{
public:
    SectionReader(const ProfileFile &file, QString section)
        : m_path(file.path()), m_section(std::move(section)), m_entries(file.readSection(m_section))
    {
    }

    const QList<std::pair<QString, QString>> &entries() const { return m_entries; }

    [[noreturn]] void fail(const QString &key, const QString &reason) const
    {
        throw Exception(QStringLiteral("%1: [%2] %3: %4").arg(m_path, m_section, key, reason));
    }

private:
    QString m_path;
    QString m_section;
    QList<std::pair<QString, QString>> m_entries;
};

std::optional<int> decimal(const QString &text, int lo, int hi)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (!ok || v < lo || v > hi)
        return std::nullopt;
    return v;
}

std::optional<int> hex(const QString &text, int digits)
{
    const QString t = text.trimmed();
    if (t.size() != digits)
        return std::nullopt;
    bool ok = false;
    const int v = t.toInt(&ok, 16);
    if (!ok || t.startsWith(u'+') || t.startsWith(u'-'))
        return std::nullopt;
    return v;
}

// "W" and a word number 0..63, two digits.
std::optional<int> wordAddress(const QString &text)
{
    const QString t = text.trimmed();
    if (t.size() != 3 || t.at(0).toUpper() != u'W' || !t.at(1).isDigit() || !t.at(2).isDigit())
        return std::nullopt;
    return decimal(t.mid(1), 0, Scenario::kWords - 1);
}

std::optional<int> bitAddress(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 3 ||
        !std::all_of(t.begin(), t.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    return decimal(t, 0, Scenario::kBitRows * 16 - 1);
}

void readUnit(const SectionReader &s, Scenario &sc)
{
    for (const auto &[key, value] : s.entries()) {
        const QString k = key.toLower();
        if (k == u"debug") {
            const auto v = decimal(value, 0, 1);
            if (!v)
                s.fail(key, QStringLiteral("expected 0 or 1"));
            sc.debug = *v == 1;
        } else if (k == u"mode") {
            const QString m = value.trimmed().toLower();
            if (m != u"data" && m != u"bit")
                s.fail(key, QStringLiteral("expected data or bit"));
            sc.bitMode = m == u"bit";
        } else if (k == u"channelperiod" || k == u"counterperiod") {
            const auto v = decimal(value, 1, 60000);
            if (!v)
                s.fail(key, QStringLiteral("expected milliseconds, 1 to 60000"));
            (k == u"channelperiod" ? sc.channelPeriod : sc.counterPeriod) =
                std::chrono::milliseconds(*v);
        } else {
            s.fail(key, QStringLiteral("unknown key"));
        }
    }
}

void readIds(const SectionReader &s, Scenario &sc)
{
    std::map<int, bool> ids;
    for (const auto &[key, value] : s.entries()) {
        const auto id = hex(key, 3);
        if (!id)
            s.fail(key, QStringLiteral("an ID is three hexadecimal digits"));
        const QString state = value.trimmed().toUpper();
        if (state != u"OK" && state != u"ERR")
            s.fail(key, QStringLiteral("expected OK or ERR"));
        ids[*id] = state == u"ERR";
    }
    for (const auto &[id, erroneous] : ids)
        sc.ids.append({id, erroneous});
}

void readBits(const SectionReader &s, std::array<quint16, Scenario::kBitRows> &rows)
{
    for (const auto &[key, value] : s.entries()) {
        const auto addr = bitAddress(key);
        if (!addr || *addr % 16 != 0)
            s.fail(key, QStringLiteral("a row is a bit address 000 to 240, a multiple of 16"));
        const auto v = hex(value, 4);
        if (!v)
            s.fail(key, QStringLiteral("a row's value is four hexadecimal digits"));
        rows[*addr / 16] = static_cast<quint16>(*v);
    }
}

void readWords(const SectionReader &s, std::map<int, quint16> &words)
{
    for (const auto &[key, value] : s.entries()) {
        const auto w = wordAddress(key);
        if (!w)
            s.fail(key, QStringLiteral("a word address is W00 to W63"));
        const auto v = hex(value, 4);
        if (!v)
            s.fail(key, QStringLiteral("a word's value is four hexadecimal digits"));
        words[*w] = static_cast<quint16>(*v);
    }
}

void readCounters(const SectionReader &s, Scenario &sc)
{
    for (const auto &[key, value] : s.entries()) {
        const auto w = wordAddress(key);
        if (!w)
            s.fail(key, QStringLiteral("a word address is W00 to W63"));
        const auto step = decimal(value, -32768, 32767);
        if (!step)
            s.fail(key, QStringLiteral("a step is a decimal number, -32768 to 32767"));
        sc.counters[*w] = *step;
        sc.inputWords.try_emplace(*w, 0);
    }
}

void readBlinkBits(const SectionReader &s, Scenario &sc)
{
    for (const auto &[key, value] : s.entries()) {
        const auto bit = bitAddress(key);
        if (!bit)
            s.fail(key, QStringLiteral("a bit address is 000 to 255"));
        const auto period = decimal(value, 1, 60000);
        if (!period)
            s.fail(key, QStringLiteral("expected milliseconds, 1 to 60000"));
        sc.blinkBits[*bit] = *period;
    }
}

void readEightChannel(const SectionReader &s, Scenario &sc)
{
    for (const auto &[key, value] : s.entries()) {
        const auto w = wordAddress(key);
        if (!w)
            s.fail(key, QStringLiteral("a word address is W00 to W63"));
        const QStringList fields = value.split(u',');
        Scenario::EightChannelUnit unit;
        unit.word = *w;
        const auto format = decimal(fields.at(0), 12, 13);
        if (!format)
            s.fail(key, QStringLiteral("the format is 13 or 12"));
        unit.format = *format;
        if (fields.size() > 9)
            s.fail(key, QStringLiteral("at most eight channel values"));
        const int max = unit.format == 13 ? 0x1FFF : 0x0FFF;
        for (int c = 0; c < 8; ++c) {
            if (c + 1 < fields.size()) {
                const auto v = decimal(fields.at(c + 1), 0, max);
                if (!v)
                    s.fail(key, QStringLiteral("channel %1: a value is 0 to %2").arg(c).arg(max));
                unit.values[c] = *v;
            } else {
                unit.values[c] = (max + 1) / 8 * c; // spread, so the channels differ
            }
        }
        sc.eightChannel.erase(std::remove_if(sc.eightChannel.begin(), sc.eightChannel.end(),
                                             [&](const auto &u) { return u.word == unit.word; }),
                              sc.eightChannel.end());
        sc.eightChannel.append(unit);
        sc.inputWords.try_emplace(*w, 0);
    }
}

} // namespace

Scenario Scenario::load(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        throw EFOpenError(QStringLiteral("%1: cannot read the scenario file").arg(path));

    const ProfileFile file(path);
    Scenario sc;
    readUnit(SectionReader(file, QStringLiteral("Unit")), sc);
    readIds(SectionReader(file, QStringLiteral("IDs")), sc);
    readBits(SectionReader(file, QStringLiteral("InputBits")), sc.inputBits);
    readBits(SectionReader(file, QStringLiteral("OutputBits")), sc.outputBits);
    readWords(SectionReader(file, QStringLiteral("InputWords")), sc.inputWords);
    readWords(SectionReader(file, QStringLiteral("OutputWords")), sc.outputWords);
    readCounters(SectionReader(file, QStringLiteral("Counters")), sc);
    readBlinkBits(SectionReader(file, QStringLiteral("BlinkBits")), sc);
    readEightChannel(SectionReader(file, QStringLiteral("EightChannel")), sc);
    return sc;
}

Scenario Scenario::builtIn()
{
    QTemporaryFile file;
    if (!file.open() || file.write(builtInText()) != builtInText().size() || !file.flush())
        throw EFCreateError(
            QStringLiteral("cannot write the built-in scenario to a temporary file"));
    return load(file.fileName());
}

QByteArray Scenario::builtInText()
{
    return QByteArrayLiteral(
        "; qxunit scenario: the bus the simulated monitor unit shows.\n"
        "[Unit]\n"
        "Debug=0\n"
        "Mode=data\n"
        "ChannelPeriod=250\n"
        "CounterPeriod=100\n"
        "\n"
        "; Registered slave IDs. The leading digit gives the kind the ID scan shows:\n"
        ";   Q3/Q4: 0 WO, 2 WI, 4 BO, 6 BI, 8 UW, 9 LM    Q2: 0/1 OUT, 2/3 IN\n"
        "[IDs]\n"
        "000=OK\n"
        "010=OK\n"
        "0FF=OK\n"
        "105=OK\n"
        "1FF=OK\n"
        "200=OK\n"
        "204=OK\n"
        "2FF=OK\n"
        "310=OK\n"
        "400=OK\n"
        "410=OK\n"
        "600=OK\n"
        "620=ERR\n"
        "6FF=OK\n"
        "800=OK\n"
        "8C0=OK\n"
        "905=OK\n"
        "\n"
        "; Bit image, one row of 16 bits per line: first bit address = four hex digits.\n"
        "[InputBits]\n"
        "000=8001\n"
        "016=00F0\n"
        "032=1234\n"
        "048=0F0F\n"
        "064=FFFF\n"
        "128=A5A5\n"
        "[OutputBits]\n"
        "000=0003\n"
        "016=8000\n"
        "064=00FF\n"
        "240=C001\n"
        "\n"
        "[InputWords]\n"
        "W00=1234\n"
        "W02=ABCD\n"
        "[OutputWords]\n"
        "W00=00FF\n"
        "W01=5A5A\n"
        "W32=8000\n"
        "\n"
        "; Input words that count by themselves: word = step per CounterPeriod.\n"
        "[Counters]\n"
        "W01=1\n"
        "\n"
        "; Input bits that blink: bit address = milliseconds on, then as long off.\n"
        "[BlinkBits]\n"
        "002=500\n"
        "020=250\n"
        "\n"
        "; Eight-channel units: input word = format (13 or 12), up to eight channel values.\n"
        "[EightChannel]\n"
        "W04=13,0,1000,2000,3000,4000,5000,6000,8191\n"
        "W05=12,4095,100,200,300,400,500,600,700\n");
}

QString Scenario::formatHelp()
{
    return QStringLiteral(
        "Scenario file (profile format: [Section] lines, Key=Value lines, ';' starts a comment\n"
        "line; names are not case-sensitive; every section is optional):\n"
        "  [Unit]          Debug=0|1          start in the monitor (0) or debug (1) state\n"
        "                  Mode=data|bit      start in data or bit mode\n"
        "                  ChannelPeriod=MS   how long an eight-channel word shows one channel\n"
        "                  CounterPeriod=MS   time between two steps of the counter words\n"
        "  [IDs]           XYZ=OK|ERR         a slave ID (three hex digits), registered or\n"
        "                                     erroneous; the leading digit gives its kind\n"
        "  [InputBits]     NNN=HHHH           16 input bits from bit address NNN (0, 16 .. 240)\n"
        "  [OutputBits]    NNN=HHHH           16 output bits, likewise\n"
        "  [InputWords]    Wnn=HHHH           an input word W00..W63 and its value\n"
        "  [OutputWords]   Wnn=HHHH           an output word and its value\n"
        "  [Counters]      Wnn=STEP           an input word that adds STEP every CounterPeriod\n"
        "  [BlinkBits]     NNN=MS             an input bit that toggles every MS milliseconds\n"
        "  [EightChannel]  Wnn=F[,v0,..,v7]   an eight-channel unit on input word Wnn, format\n"
        "                                     F = 13 (channel in bits 15..13, value 0..8191) or\n"
        "                                     12 (channel in bits 14..12, value 0..4095); the\n"
        "                                     word shows the channels in turn, values drift\n"
        "Use --print-scenario for the built-in scenario as an example.\n");
}
