#include "platform/ProfileFile.h"

#include "platform/AtomicFile.h"
#include "platform/Exceptions.h"
#include "platform/SjisText.h"

#include <QFile>

namespace
{

struct Line {
    QByteArray text; // without its line end
    QByteArray end;  // "\r\n", "\n", "\r" or empty for a last line without one
};

QList<Line> splitLines(const QByteArray &data)
{
    QList<Line> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < data.size(); ++i) {
        const char c = data.at(i);
        if (c != '\n' && c != '\r')
            continue;
        Line line{data.mid(start, i - start), {}};
        if (c == '\r' && i + 1 < data.size() && data.at(i + 1) == '\n') {
            line.end = "\r\n";
            ++i;
        } else {
            line.end = QByteArray(1, c);
        }
        lines.append(line);
        start = i + 1;
    }
    if (start < data.size())
        lines.append(Line{data.mid(start), {}});
    return lines;
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

QList<Line> readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return splitLines(file.readAll());
}

} // namespace

QString ProfileFile::readString(const QString &section, const QString &key,
                                const QString &def) const
{
    bool inSection = false;
    for (const Line &line : readLines(m_path)) {
        const QString name = sectionName(line.text);
        if (!name.isNull()) {
            inSection = sameName(name, section);
            continue;
        }
        QString k;
        QByteArray v;
        if (inSection && keyValue(line.text, &k, &v) && sameName(k, key))
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
    QList<std::pair<QString, QString>> pairs;
    bool inSection = false;
    for (const Line &line : readLines(m_path)) {
        const QString name = sectionName(line.text);
        if (!name.isNull()) {
            inSection = sameName(name, section);
            continue;
        }
        QString k;
        QByteArray v;
        if (inSection && keyValue(line.text, &k, &v) && !k.isEmpty() && !k.startsWith(u';'))
            pairs.append({k, cleanValue(v)});
    }
    return pairs;
}

bool ProfileFile::writeString(const QString &section, const QString &key, const QString &value)
{
    QList<Line> lines;
    {
        QFile existing(m_path);
        if (existing.exists()) {
            if (!existing.open(QIODevice::ReadOnly))
                return false;
            lines = splitLines(existing.readAll());
        }
    }
    const QByteArray newLine = toSjis(key) + '=' + toSjis(value);

    qsizetype sectionAt = -1;     // index of the section's header line
    qsizetype lastInSection = -1; // last non-blank line of the section
    qsizetype keyAt = -1;
    for (qsizetype i = 0; i < lines.size() && keyAt < 0; ++i) {
        const QString name = sectionName(lines[i].text);
        if (!name.isNull()) {
            if (sectionAt >= 0)
                break;
            if (sameName(name, section))
                sectionAt = lastInSection = i;
            continue;
        }
        if (sectionAt < 0)
            continue;
        QString k;
        QByteArray v;
        if (keyValue(lines[i].text, &k, &v) && sameName(k, key))
            keyAt = i;
        else if (!lines[i].text.trimmed().isEmpty())
            lastInSection = i;
    }

    if (keyAt >= 0) {
        lines[keyAt].text = newLine;
    } else {
        // The line before the insertion needs an end of its own.
        auto terminate = [&lines](qsizetype at) {
            if (at >= 0 && lines[at].end.isEmpty())
                lines[at].end = "\r\n";
        };
        if (sectionAt >= 0) {
            terminate(lastInSection);
            lines.insert(lastInSection + 1, Line{newLine, "\r\n"});
        } else {
            terminate(lines.size() - 1);
            lines.append(Line{'[' + toSjis(section) + ']', "\r\n"});
            lines.append(Line{newLine, "\r\n"});
        }
    }

    QByteArray data;
    for (const Line &line : lines)
        data += line.text + line.end;
    return writeFileAtomically(m_path, data);
}
