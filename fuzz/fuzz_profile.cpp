// The settings file reader on arbitrary file contents, up to the size limit the run is given
// (-max_len): every key reads as a plain line-by-line reading of the file finds it (the kept,
// indexed read must agree with it), the reader's own size limit holds, and after one save of
// up to three keys those keys read back as written and every other key reads as before.
#include "platform/ProfileFile.h"
#include "platform/RegularFile.h"
#include "platform/SjisText.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace
{

[[noreturn]] void fail(const char *what, const QString &section, const QString &key)
{
    std::fprintf(stderr, "profile property failed: %s ([%s] %s)\n", what, qPrintable(section),
                 qPrintable(key));
    std::abort();
}

// Names the program itself uses, in other cases too, so the fuzzer finds them in files.
const QStringList kSections{"PORTS", "COM", "window", "Bitorder", "QXMODE", "A"};
const QStringList kKeys{"COM1", "Port", "left", "Top", "MODE", "k"};

// Names as the program writes them: plain ASCII words, no blanks, "=", brackets or quotes.
bool plainName(const QString &s)
{
    static const QRegularExpression plain("^[A-Za-z0-9_]{1,12}$");
    return plain.match(s).hasMatch();
}

// The profile functions' reading, line by line in file order with no index: the reference.
// Each line is decoded once per input; a lookup walks the lines.
class PlainProfile
{
public:
    explicit PlainProfile(const QByteArray &bytes)
    {
        qsizetype start = 0;
        while (start < bytes.size()) {
            qsizetype end = start;
            while (end < bytes.size() && bytes.at(end) != '\r' && bytes.at(end) != '\n')
                ++end;
            const QByteArray line = bytes.mid(start, end - start);
            const bool crlf =
                end + 1 < bytes.size() && bytes.at(end) == '\r' && bytes.at(end + 1) == '\n';
            start = end + (crlf ? 2 : 1);
            const QByteArray t = line.trimmed();
            if (t.startsWith('[') && t.indexOf(']') >= 0) {
                m_lines.push_back({true, fromSjis(t.mid(1, t.indexOf(']') - 1)).trimmed(), {}});
                continue;
            }
            const qsizetype eq = line.indexOf('=');
            if (eq < 0)
                continue;
            QByteArray v = line.mid(eq + 1).trimmed();
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
                v = v.mid(1, v.size() - 2);
            m_lines.push_back({false, fromSjis(line.left(eq)).trimmed(), fromSjis(v)});
        }
    }

    QString read(const QString &section, const QString &key, const QString &def) const
    {
        bool inSection = false;
        for (const Line &line : m_lines) {
            if (line.section)
                inSection = line.name.compare(section, Qt::CaseInsensitive) == 0;
            else if (inSection && line.name.compare(key, Qt::CaseInsensitive) == 0)
                return line.value;
        }
        return def;
    }

private:
    struct Line {
        bool section;
        QString name;
        QString value;
    };
    std::vector<Line> m_lines;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // In memory where there is such a folder: each save syncs to disk, which would otherwise
    // set the pace of the run.
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                 ? QStringLiteral("/dev/shm/fuzz_profile-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/fuzz_profile-XXXXXX"));
    static quint64 runs = 0;
    if (!dir.isValid())
        std::abort();
    FuzzedDataProvider in(data, size);
    const int writes = in.ConsumeIntegralInRange<int>(1, 3);
    QList<ProfileFile::Entry> entries;
    for (int i = 0; i < writes; ++i) {
        const int s = in.ConsumeIntegralInRange<int>(0, int(kSections.size()) - 1);
        const int k = in.ConsumeIntegralInRange<int>(0, int(kKeys.size()) - 1);
        entries.append(
            {kSections.at(s), kKeys.at(k), QString::number(in.ConsumeIntegral<uint32_t>())});
    }
    const qint64 limit = in.ConsumeIntegralInRange<qint64>(0, 1024);
    const std::vector<uint8_t> raw = in.ConsumeRemainingBytes<uint8_t>();
    const QByteArray bytes(reinterpret_cast<const char *>(raw.data()), qsizetype(raw.size()));

    // A file of its own per input: the reader keeps what it read by the file's stamp, and two
    // inputs written to one name within a clock tick could share a stamp.
    const QString path = dir.filePath(QStringLiteral("fuzz%1.ini").arg(++runs));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size())
            std::abort();
    }

    const RegularFile::Result limited = RegularFile::read(path, limit);
    if ((limited.status == RegularFile::Status::TooLarge) != (bytes.size() > limit))
        fail("the read limit was not kept", QString::number(limit), QString());
    if (limited.status == RegularFile::Status::Read && limited.bytes != bytes)
        fail("a read within the limit changed the bytes", QString::number(limit), QString());

    ProfileFile ini(path);
    // Every plain section and key name of the file, plus the program's own.
    QStringList sections = kSections;
    QStringList keys = kKeys;
    for (const QByteArray &line : bytes.split('\n')) {
        const QString text = fromSjis(line).trimmed();
        if (text.startsWith(u'[') && text.indexOf(u']') > 0) {
            const QString name = text.mid(1, text.indexOf(u']') - 1).trimmed();
            if (plainName(name))
                sections << name;
        } else if (text.indexOf(u'=') > 0) {
            const QString name = text.left(text.indexOf(u'=')).trimmed();
            if (plainName(name))
                keys << name;
        }
    }
    sections.removeDuplicates();
    keys.removeDuplicates();
    sections = sections.mid(0, 8);
    keys = keys.mid(0, 8);

    const PlainProfile plain(bytes);
    QList<QString> before;
    for (const QString &s : sections) {
        for (const QString &k : keys) {
            const QString value = ini.readString(s, k, QStringLiteral("<none>"));
            if (value != plain.read(s, k, QStringLiteral("<none>")))
                fail("the indexed read differs from a plain reading", s, k);
            before << value;
        }
    }

    if (!ini.writeStrings(entries))
        fail("write failed", std::get<0>(entries.front()), std::get<1>(entries.front()));
    auto writtenValue = [&entries](const QString &s, const QString &k) -> const QString * {
        const QString *value = nullptr;
        for (const auto &[section, key, v] : entries) {
            if (s.compare(section, Qt::CaseInsensitive) == 0 &&
                k.compare(key, Qt::CaseInsensitive) == 0)
                value = &v;
        }
        return value;
    };
    for (const auto &[section, key, value] : entries) {
        const QString *last = writtenValue(section, key);
        if (ini.readString(section, key, QStringLiteral("<none>")) != *last)
            fail("written value does not read back", section, key);
        const uint32_t number = last->toUInt();
        if (number <= 0x7FFFFFFF && ini.readInt(section, key, -1) != int(number))
            fail("written number does not read back as one", section, key);
    }

    qsizetype n = 0;
    for (const QString &s : sections) {
        for (const QString &k : keys) {
            if (!writtenValue(s, k) &&
                ini.readString(s, k, QStringLiteral("<none>")) != before.at(n))
                fail("another key changed", s, k);
            ++n;
        }
    }
    QFile::remove(path);
    return 0;
}
