#include "platform/ProfileFile.h"

#include "platform/AtomicFile.h"
#include "platform/Exceptions.h"
#include "platform/RegularFile.h"
#include "platform/SjisText.h"

#include <QMutex>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace
{

// Walks the lines of a file's bytes: a line ends at CR LF, LF or CR; the last one may have no
// end. Finds the ends with memchr, remembering the next CR and LF, so a file without one of
// them is still walked in one pass.
class LineWalker
{
public:
    explicit LineWalker(const QByteArray &data, qsizetype from = 0)
        : m_data(data.constData()), m_size(data.size()), m_pos(from)
    {
    }

    // The next line: [start, start + length) is its text, end the length of its line end.
    bool next(qsizetype *start, qsizetype *length, qsizetype *end)
    {
        if (m_pos >= m_size)
            return false;
        if (m_cr < m_pos)
            m_cr = find('\r');
        if (m_lf < m_pos)
            m_lf = find('\n');
        const qsizetype stop = std::min(m_cr, m_lf);
        *start = m_pos;
        *length = stop - m_pos;
        if (stop >= m_size) {
            *end = 0;
        } else if (m_data[stop] == '\r' && stop + 1 < m_size && m_data[stop + 1] == '\n') {
            *end = 2;
        } else {
            *end = 1;
        }
        m_pos = stop + *end;
        return true;
    }

private:
    qsizetype find(char c) const
    {
        const void *hit = std::memchr(m_data + m_pos, c, size_t(m_size - m_pos));
        return hit ? static_cast<const char *>(hit) - m_data : m_size;
    }

    const char *m_data;
    qsizetype m_size;
    qsizetype m_pos;
    qsizetype m_cr = -1;
    qsizetype m_lf = -1;
};

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The section name of a "[name]" line, or a null string for any other line.
QString sectionName(const QByteArray &line)
{
    const QByteArray t = line.trimmed();
    if (!t.startsWith('['))
        return {};
    const qsizetype close = t.indexOf(']');
    if (close < 0)
        return {};
    return fromSjis(t.mid(1, close - 1)).trimmed();
}

// Whether the line could be a section line, looked at without copying it.
bool maybeSection(const char *text, qsizetype length)
{
    qsizetype i = 0;
    while (i < length && isSpace(text[i]))
        ++i;
    return i < length && text[i] == '[';
}

// Splits a "key=value" line; false for lines without "=".
bool keyValue(const QByteArray &line, QString *key, QByteArray *value)
{
    const qsizetype eq = line.indexOf('=');
    if (eq < 0)
        return false;
    *key = fromSjis(line.left(eq)).trimmed();
    *value = line.mid(eq + 1);
    return true;
}

QString cleanValue(const QByteArray &raw)
{
    QByteArray v = raw.trimmed();
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return fromSjis(v);
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// FNV-1a over case-folded UTF-16 units: the index's key for a section and key name.
class NameHash
{
public:
    void add(char16_t unit) { m_value = (m_value ^ unit) * 0x100000001b3ULL; }
    void add(const QString &folded)
    {
        for (const QChar c : folded)
            add(c.unicode());
    }
    void separate() { add(char16_t(0xFFFF)); }
    quint64 value() const { return m_value; }

private:
    quint64 m_value = 0xcbf29ce484222325ULL;
};

// The bytes of a name that read the same in Shift-JIS and ASCII, so that folding them needs no
// decoder: printable ASCII except the two characters some code pages give other meanings.
bool plainAscii(const char *text, qsizetype length)
{
    for (qsizetype i = 0; i < length; ++i) {
        const auto u = static_cast<unsigned char>(text[i]);
        if (u < 0x20 || u > 0x7E || u == '\\' || u == '~')
            return false;
    }
    return true;
}

// Adds the trimmed, case-folded key text [text, text + length) to hash.
void hashKey(NameHash &hash, const char *text, qsizetype length)
{
    qsizetype from = 0;
    qsizetype to = length;
    while (from < to && isSpace(text[from]))
        ++from;
    while (to > from && isSpace(text[to - 1]))
        --to;
    if (plainAscii(text + from, to - from)) {
        for (qsizetype i = from; i < to; ++i) {
            const char c = text[i];
            hash.add(char16_t(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
        }
        return;
    }
    hash.add(fromSjis(QByteArray(text, length)).trimmed().toCaseFolded());
}

quint64 nameHash(const QString &foldedSection, const QString &key)
{
    NameHash hash;
    hash.add(foldedSection);
    hash.separate();
    hash.add(key.trimmed().toCaseFolded());
    return hash.value();
}

// One read of a file, with the key lines of its sections indexed.
struct Parsed {
    RegularFile::Status status = RegularFile::Status::Missing;
    RegularFile::Stamp stamp;
    QString problem;
    QByteArray bytes;
    std::vector<QString> sections; // case-folded names, by the order their headers come in
    struct Key {
        quint64 hash;
        qint64 start;
        quint32 length;
        quint32 section;
    };
    std::vector<Key> keys; // sorted by hash, in file order within one hash
};

void index(Parsed &parsed)
{
    LineWalker lines(parsed.bytes);
    qsizetype start = 0;
    qsizetype length = 0;
    qsizetype end = 0;
    const char *data = parsed.bytes.constData();
    qint64 section = -1;
    NameHash sectionHash;
    while (lines.next(&start, &length, &end)) {
        const char *text = data + start;
        if (maybeSection(text, length)) {
            const QString name = sectionName(QByteArray(text, length));
            if (!name.isNull()) {
                parsed.sections.push_back(name.toCaseFolded());
                section = qint64(parsed.sections.size()) - 1;
                sectionHash = NameHash();
                sectionHash.add(parsed.sections.back());
                sectionHash.separate();
                continue;
            }
        }
        if (section < 0 || length > qsizetype(UINT32_MAX))
            continue;
        const void *eq = std::memchr(text, '=', size_t(length));
        if (!eq)
            continue;
        NameHash hash = sectionHash;
        hashKey(hash, text, static_cast<const char *>(eq) - text);
        parsed.keys.push_back({hash.value(), qint64(start), quint32(length), quint32(section)});
    }
    std::stable_sort(parsed.keys.begin(), parsed.keys.end(),
                     [](const Parsed::Key &a, const Parsed::Key &b) { return a.hash < b.hash; });
}

std::shared_ptr<const Parsed> readParsed(const QString &path)
{
    auto parsed = std::make_shared<Parsed>();
    RegularFile::Result file = RegularFile::read(path);
    parsed->status = file.status;
    parsed->stamp = file.stamp;
    if (file.status == RegularFile::Status::Read) {
        parsed->bytes = std::move(file.bytes);
        index(*parsed);
    } else if (file.status != RegularFile::Status::Missing) {
        parsed->problem = RegularFile::problem(path, file);
    }
    return parsed;
}

struct CacheEntry {
    QString path;
    std::shared_ptr<const Parsed> parsed;
};

// The kept reads, shared by every ProfileFile of the process; the lock keeps the list whole
// should two threads read settings at once (a parsed file itself never changes).
std::vector<CacheEntry> &cache()
{
    static std::vector<CacheEntry> entries;
    return entries;
}

QMutex &cacheLock()
{
    static QMutex lock;
    return lock;
}

void forget(const QString &path)
{
    const QMutexLocker locker(&cacheLock());
    auto &entries = cache();
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&path](const CacheEntry &e) { return e.path == path; }),
                  entries.end());
}

// The file as it is now: the kept read while its stamp is unchanged, otherwise a fresh one.
std::shared_ptr<const Parsed> parsedFile(const QString &path)
{
    const std::optional<RegularFile::Stamp> now = RegularFile::stampOf(path);
    {
        const QMutexLocker locker(&cacheLock());
        auto &entries = cache();
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            if (it->path != path)
                continue;
            if (now && it->parsed->stamp == *now)
                return it->parsed;
            entries.erase(it);
            break;
        }
    }
    std::shared_ptr<const Parsed> parsed = readParsed(path);
    // Only a regular file's read can be told apart from its next state.
    const QMutexLocker locker(&cacheLock());
    auto &entries = cache();
    if (parsed->status == RegularFile::Status::Read) {
        if (entries.size() >= std::size_t(ProfileFile::kCachedFiles))
            entries.erase(entries.begin());
        entries.push_back({path, parsed});
    }
    return parsed;
}

QByteArray bytesAt(const Parsed &parsed, const Parsed::Key &key)
{
    return QByteArray::fromRawData(parsed.bytes.constData() + key.start, qsizetype(key.length));
}

// Applies one key write to the file's bytes, the way the profile functions do: the key's line in
// the first section of that name is rewritten; a missing key goes after the section's last
// non-blank line, a missing section at the end of the file.
void applyWrite(QByteArray &data, const QString &section, const QString &key, const QString &value)
{
    const QByteArray newLine = toSjis(key) + '=' + toSjis(value);
    LineWalker lines(data);
    qsizetype start = 0;
    qsizetype length = 0;
    qsizetype end = 0;
    bool inSection = false;
    qsizetype insertAt = -1; // just after the section's last non-blank line and its end
    bool needsEnd = false;   // that line is the last of the file and has no end
    qsizetype lastEnd = 0;   // the end length of the file's last line
    while (lines.next(&start, &length, &end)) {
        lastEnd = end;
        const QByteArray line = QByteArray::fromRawData(data.constData() + start, length);
        if (maybeSection(line.constData(), length)) {
            const QString name = sectionName(line);
            if (!name.isNull()) {
                if (inSection)
                    break;
                if (sameName(name, section)) {
                    inSection = true;
                    insertAt = start + length + end;
                    needsEnd = end == 0;
                }
                continue;
            }
        }
        if (!inSection)
            continue;
        QString k;
        QByteArray v;
        if (keyValue(line, &k, &v) && sameName(k, key)) {
            data.replace(start, length, newLine);
            return;
        }
        if (!line.trimmed().isEmpty()) {
            insertAt = start + length + end;
            needsEnd = end == 0;
        }
    }
    if (inSection) {
        data.insert(insertAt,
                    (needsEnd ? QByteArrayLiteral("\r\n") : QByteArray()) + newLine + "\r\n");
        return;
    }
    if (!data.isEmpty() && lastEnd == 0)
        data += "\r\n";
    data += '[' + toSjis(section) + "]\r\n" + newLine + "\r\n";
}

} // namespace

QString ProfileFile::readString(const QString &section, const QString &key,
                                const QString &def) const
{
    const std::shared_ptr<const Parsed> parsed = parsedFile(m_path);
    const QString folded = section.toCaseFolded();
    const quint64 hash = nameHash(folded, key);
    auto it = std::lower_bound(parsed->keys.begin(), parsed->keys.end(), hash,
                               [](const Parsed::Key &k, quint64 h) { return k.hash < h; });
    for (; it != parsed->keys.end() && it->hash == hash; ++it) {
        if (!sameName(parsed->sections[it->section], folded))
            continue;
        QString k;
        QByteArray v;
        if (keyValue(bytesAt(*parsed, *it), &k, &v) && sameName(k, key))
            return cleanValue(v);
    }
    return def;
}

int ProfileFile::readInt(const QString &section, const QString &key, int def) const
{
    return StrToIntDef(readString(section, key, QString::number(def)).trimmed(), def);
}

QList<std::pair<QString, QString>> ProfileFile::readSection(const QString &section) const
{
    const std::shared_ptr<const Parsed> parsed = parsedFile(m_path);
    QList<std::pair<QString, QString>> pairs;
    bool inSection = false;
    LineWalker lines(parsed->bytes);
    qsizetype start = 0;
    qsizetype length = 0;
    qsizetype end = 0;
    while (lines.next(&start, &length, &end)) {
        const QByteArray line = QByteArray::fromRawData(parsed->bytes.constData() + start, length);
        const QString name = sectionName(line);
        if (!name.isNull()) {
            inSection = sameName(name, section);
            continue;
        }
        QString k;
        QByteArray v;
        if (inSection && keyValue(line, &k, &v) && !k.isEmpty() && !k.startsWith(u';'))
            pairs.append({k, cleanValue(v)});
    }
    return pairs;
}

QString ProfileFile::readProblem() const
{
    return parsedFile(m_path)->problem;
}

bool ProfileFile::writeString(const QString &section, const QString &key, const QString &value)
{
    return writeStrings({{section, key, value}});
}

bool ProfileFile::writeStrings(const QList<Entry> &entries)
{
    // A write starts from the file as it is now, whatever a kept read says.
    forget(m_path);
    RegularFile::Result file = RegularFile::read(m_path);
    if (file.status != RegularFile::Status::Read && file.status != RegularFile::Status::Missing) {
        m_writeProblem = AtomicFile::problem(m_path, {});
        if (file.status == RegularFile::Status::NotRegular)
            m_writeProblem = RegularFile::problem(m_path, file);
        return false;
    }
    // A link that points nowhere reads as missing; the replacement refuses it.
    QByteArray data = std::move(file.bytes);
    for (const auto &[section, key, value] : entries)
        applyWrite(data, section, key, value);
    const AtomicFile::Result written = AtomicFile::replace(m_path, data);
    m_writeProblem = AtomicFile::problem(m_path, written);
    return bool(written);
}
