#include "comments/CommentFile.h"

#include "platform/AtomicFile.h"
#include "platform/Exceptions.h"
#include "platform/RegularFile.h"
#include "platform/SjisText.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

constexpr char kQuote = '"';
constexpr char kComma = ',';
constexpr char kCtrlZ = 0x1A;

bool isBlank(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}

bool isBlankOrNul(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

// First byte of a CP932 double-byte character.
bool isLeadByte(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 0x81 && u <= 0x9F) || (u >= 0xE0 && u <= 0xFC);
}

// Index of the character after the one at i; a lead byte takes its second byte with it, even
// when that byte is a comma or a quote, the way the file has always been read.
qsizetype nextChar(const QByteArray &text, qsizetype i, qsizetype end)
{
    return isLeadByte(text.at(i)) && i + 1 < end ? i + 2 : i + 1;
}

} // namespace

QList<QByteArray> CommentFile::splitCommaText(const QByteArray &text)
{
    QList<QByteArray> fields;
    const qsizetype nul = text.indexOf('\0');
    const qsizetype end = nul < 0 ? text.size() : nul;
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < end && isBlank(text.at(i)))
            ++i;
    };

    skipBlanks();
    while (i < end) {
        QByteArray field;
        if (text.at(i) == kQuote) {
            ++i;
            while (i < end) {
                if (text.at(i) == kQuote) {
                    if (i + 1 < end && text.at(i + 1) == kQuote) {
                        field += kQuote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                const qsizetype next = nextChar(text, i, end);
                field += text.mid(i, next - i);
                i = next;
            }
        } else {
            const qsizetype start = i;
            while (i < end && !isBlank(text.at(i)) && text.at(i) != kComma)
                i = nextChar(text, i, end);
            field = text.mid(start, i - start);
        }
        fields.append(field);
        skipBlanks();
        if (i < end && text.at(i) == kComma) {
            ++i;
            skipBlanks();
        }
    }
    return fields;
}

QList<QStringList> CommentFile::parse(const QByteArray &bytes)
{
    QList<QStringList> rows;
    const qsizetype ctrlZ = bytes.indexOf(kCtrlZ);
    const qsizetype end = ctrlZ < 0 ? bytes.size() : ctrlZ;

    qsizetype i = 0;
    while (i < end) {
        // Blank lines and a line's leading blanks are passed over.
        while (i < end && isBlankOrNul(bytes.at(i)))
            ++i;
        if (i == end)
            break;
        qsizetype lineEnd = i;
        while (lineEnd < end && bytes.at(lineEnd) != '\r' && bytes.at(lineEnd) != '\n')
            ++lineEnd;

        // The leading comma stands for the row number column.
        const QList<QByteArray> fields = splitCommaText(',' + bytes.mid(i, lineEnd - i));
        QStringList row;
        row.reserve(fields.size());
        for (const QByteArray &field : fields)
            row.append(fromSjis(field));
        rows.append(row);
        i = lineEnd;
    }
    return rows;
}

QByteArray CommentFile::encodeField(const QString &field)
{
    QByteArray bytes = toSjis(field);
    bool quote = !bytes.isEmpty() && bytes.front() == kQuote;
    for (qsizetype i = 0; !quote && i < bytes.size(); i = nextChar(bytes, i, bytes.size()))
        quote = isBlankOrNul(bytes.at(i)) || bytes.at(i) == kComma;
    if (!quote)
        return bytes;
    // Second bytes of double-byte characters are 0x40 and up, so no quote byte belongs to one.
    return kQuote + bytes.replace(kQuote, QByteArrayLiteral("\"\"")) + kQuote;
}

QByteArray CommentFile::format(const QList<CommentRow> &rows)
{
    QByteArray out;
    for (const CommentRow &row : rows) {
        out += encodeField(row.type);
        out += kComma;
        out += encodeField(row.number);
        out += kComma;
        out += encodeField(row.comment);
        out += "\r\n";
    }
    return out;
}

QByteArray CommentFile::read(const QString &path)
{
    // Only a regular file: a FIFO, a device or a folder is refused without waiting on it.
    RegularFile::Result file = RegularFile::read(path);
    if (file.status != RegularFile::Status::Read)
        throw EFOpenError(RegularFile::problem(path, file));
    return std::move(file.bytes);
}

void CommentFile::write(const QString &path, const QByteArray &bytes)
{
    const AtomicFile::Result written = AtomicFile::replace(path, bytes);
    if (!written)
        throw EFCreateError(AtomicFile::problem(path, written));
}

void CommentFile::compile(const QList<CommentRow> &rows, CommentTables &tables)
{
    QList<int> numbers;
    numbers.reserve(rows.size());
    for (const CommentRow &row : rows)
        numbers.append(StrToInt(row.number));

    auto fresh = std::make_unique<CommentTables>();
    auto put = [](auto &table, int index, const QString &comment) {
        if (index >= 0 && std::size_t(index) < table.size())
            table[std::size_t(index)] = comment;
    };
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const CommentRow &row = rows.at(r);
        const int k = numbers.at(r);
        if (row.type == QLatin1String("BI"))
            put(fresh->CommentBI, k, row.comment);
        else if (row.type == QLatin1String("BO"))
            put(fresh->CommentBO, k, row.comment);
        else if (row.type == QLatin1String("WI"))
            put(fresh->CommentWI, k, row.comment);
        else if (row.type == QLatin1String("WO"))
            put(fresh->CommentWO, k, row.comment);
    }
    tables = std::move(*fresh);
}
