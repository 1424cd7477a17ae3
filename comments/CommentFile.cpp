#include "comments/CommentFile.h"

#include "comments/CommentText.h"
#include "platform/AtomicFile.h"
#include "platform/Exceptions.h"
#include "platform/RegularFile.h"
#include "platform/SjisText.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

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
    CommentFileContent content;
    parseContent(bytes, content);
    QList<QStringList> rows;
    rows.reserve(content.rows.size());
    for (qsizetype r = 0; r < content.rows.size(); ++r) {
        QStringList row{QString()};
        for (QStringView field : content.row(r).tokenize(CommentFileContent::kSeparator))
            row.append(field.toString());
        rows.append(row);
    }
    return rows;
}

namespace
{

// Splits text[begin, end) by the comma-text rule (see splitCommaText), appending each field to
// out followed by a NUL byte; returns the number of fields.
int appendFields(const QByteArray &text, qsizetype begin, qsizetype end, QByteArray &out)
{
    int count = 0;
    qsizetype i = begin;
    auto skipBlanks = [&] {
        while (i < end && isBlank(text.at(i)))
            ++i;
    };
    skipBlanks();
    while (i < end) {
        if (text.at(i) == kQuote) {
            ++i;
            while (i < end) {
                if (text.at(i) == kQuote) {
                    if (i + 1 < end && text.at(i + 1) == kQuote) {
                        out += kQuote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                const qsizetype next = nextChar(text, i, end);
                out.append(text.constData() + i, next - i);
                i = next;
            }
        } else {
            const qsizetype start = i;
            while (i < end && !isBlank(text.at(i)) && text.at(i) != kComma)
                i = nextChar(text, i, end);
            out.append(text.constData() + start, i - start);
        }
        out += '\0';
        ++count;
        skipBlanks();
        if (i < end && text.at(i) == kComma) {
            ++i;
            skipBlanks();
        }
    }
    return count;
}

} // namespace

CommentRow CommentFile::rowFromText(QStringView text)
{
    CommentRow row;
    int n = 0;
    for (QStringView part : text.tokenize(CommentFileContent::kSeparator)) {
        if (n == 0)
            row.type = part.toString();
        else if (n == 1)
            row.number = part.toString();
        else if (n == 2)
            row.comment = part.toString();
        else
            break;
        ++n;
    }
    return row;
}

bool CommentFile::parseContent(const QByteArray &bytes, CommentFileContent &content,
                               const std::function<bool(qsizetype)> &keepGoing)
{
    constexpr int kLinesPerStep = 8192;
    const qsizetype ctrlZ = bytes.indexOf(kCtrlZ);
    const qsizetype end = ctrlZ < 0 ? bytes.size() : ctrlZ;

    // Every line's fields in one buffer, so that one decoder pass turns all of them into text.
    QByteArray joined;
    joined.reserve(end + end / 8 + 16);
    std::vector<int> fieldCounts;
    std::vector<qsizetype> rowStarts; // where each row's fields begin in joined
    int widest = 0;
    qsizetype i = 0;
    int sinceStep = 0;
    while (i < end) {
        // Blank lines and a line's leading blanks are passed over.
        while (i < end && isBlankOrNul(bytes.at(i)))
            ++i;
        if (i == end)
            break;
        qsizetype lineEnd = i;
        while (lineEnd < end && bytes.at(lineEnd) != '\r' && bytes.at(lineEnd) != '\n')
            ++lineEnd;
        // A NUL ends the line's text.
        const char *nul =
            static_cast<const char *>(std::memchr(bytes.constData() + i, 0, lineEnd - i));
        const qsizetype textEnd = nul ? nul - bytes.constData() : lineEnd;
        rowStarts.push_back(joined.size());
        // The row number column's empty field is not kept: the grid numbers its rows itself.
        const int count = appendFields(bytes, i, textEnd, joined);
        fieldCounts.push_back(count);
        widest = std::max(widest, count);
        i = lineEnd;
        if (keepGoing && ++sinceStep == kLinesPerStep) {
            sinceStep = 0;
            if (!keepGoing(i))
                return false;
        }
    }

    QStringDecoder decoder("CP932");
    QString text = decoder.decode(joined);
    // A sequence that is no Shift-JIS comes out as U+001A (which the file itself cannot hold:
    // Ctrl-Z ends it) or U+FFFD; both are shown and kept as U+FFFD.
    text.replace(QChar(0x1A), QChar::ReplacementCharacter);
    if (keepGoing && !keepGoing(end))
        return false;

    // Where a save would not write the bytes that were read: the first difference between the
    // fields' bytes and the text encoded again, traced back to its row.
    qsizetype changedRow = -1;
    {
        QStringEncoder encoder("CP932");
        const QByteArray again = encoder.encode(text);
        if (again != joined) {
            const auto mismatch =
                std::mismatch(joined.begin(), joined.end(), again.begin(), again.end());
            const qsizetype at = mismatch.first - joined.begin();
            const auto row = std::upper_bound(rowStarts.begin(), rowStarts.end(), at);
            changedRow = std::max<qsizetype>(0, (row - rowStarts.begin()) - 1);
        }
    }
    joined = QByteArray();

    QList<CommentFileContent::Span> rows;
    rows.reserve(qsizetype(fieldCounts.size()));
    qsizetype pos = 0;
    for (const int count : fieldCounts) {
        qsizetype stop = pos;
        for (int f = 0; f < count; ++f) {
            const qsizetype sep = text.indexOf(QChar(0), stop);
            stop = sep < 0 ? text.size() + 1 : sep + 1;
        }
        rows.append({pos, std::max<qsizetype>(0, stop - 1 - pos)});
        pos = std::min(stop, text.size());
    }
    // A sequence that is no Shift-JIS may encode back to the same bytes (FC FC is the encoder's
    // own substitute), yet U+FFFD is written as "?": its row counts as changed too.
    if (const qsizetype bad = text.indexOf(QChar::ReplacementCharacter); bad >= 0) {
        const auto at = std::upper_bound(
            rows.cbegin(), rows.cend(), bad,
            [](qsizetype pos, const CommentFileContent::Span &span) { return pos < span.start; });
        const qsizetype row = std::max<qsizetype>(0, (at - rows.cbegin()) - 1);
        changedRow = changedRow < 0 ? row : std::min(changedRow, row);
    }
    std::vector<int>().swap(fieldCounts);
    std::vector<qsizetype>().swap(rowStarts);

    // Blanks, line ends and more Ctrl-Z after the end are no text (editors of old appended one).
    qsizetype after = 0;
    if (ctrlZ >= 0) {
        for (qsizetype k = ctrlZ + 1; k < bytes.size() && after == 0; ++k) {
            if (!isBlankOrNul(bytes.at(k)) && bytes.at(k) != kCtrlZ)
                after = bytes.size() - ctrlZ - 1;
        }
    }
    content.text = std::move(text);
    content.rows = std::move(rows);
    content.columns = widest + 1;
    content.changedRow = changedRow;
    content.bytesAfterEnd = after;
    return true;
}

namespace
{

// A field as it is written, still as text: bare when it reads back as itself, otherwise in
// double quotes with inner quotes doubled. Decided on the characters, which is the same as on
// the bytes: the second byte of a double-byte character is 0x40 or more, so it is never a
// blank, a comma or a quote.
void appendField(QString &out, const QString &field)
{
    bool quote = !field.isEmpty() && field.front() == QLatin1Char(kQuote);
    for (qsizetype i = 0; !quote && i < field.size(); ++i)
        // U+007F is written as the byte 0x1C by the code page's converter, a blank when read.
        quote = field.at(i).unicode() <= 32 || field.at(i).unicode() == 0x7F ||
                field.at(i) == QLatin1Char(kComma);
    if (!quote) {
        out += field;
        return;
    }
    out += QLatin1Char(kQuote);
    for (const QChar c : field) {
        out += c;
        if (c == QLatin1Char(kQuote))
            out += c;
    }
    out += QLatin1Char(kQuote);
}

QString rowCell(const CommentRow &row, int column)
{
    return column == 1 ? row.type : column == 2 ? row.number : row.comment;
}

QString columnName(int column)
{
    return column == 1   ? QStringLiteral("Type")
           : column == 2 ? QCoreApplication::translate("CommentFile", "番号")
                         : QCoreApplication::translate("CommentFile", "コメント");
}

} // namespace

QByteArray CommentFile::encodeField(const QString &field)
{
    QString out;
    appendField(out, CommentText::mapLookAlikes(field));
    return toSjis(out);
}

bool CommentFile::findUnencodable(qsizetype count, const RowSource &rows, qsizetype &row,
                                  int &column, qsizetype &index)
{
    for (qsizetype r = 0; r < count; ++r) {
        const CommentRow cells = rows(r);
        for (int c = 1; c <= 3; ++c) {
            const QString text = CommentText::mapLookAlikes(rowCell(cells, c));
            const qsizetype i = CommentText::firstUnencodable(text, true);
            if (i >= 0) {
                row = r;
                column = c;
                index = i;
                return true;
            }
        }
    }
    return false;
}

QByteArray CommentFile::format(const QList<CommentRow> &rows)
{
    return format(rows.size(), [&rows](qsizetype r) { return rows.at(r); });
}

QByteArray CommentFile::format(qsizetype count, const RowSource &source)
{
    QString text;
    for (qsizetype r = 0; r < count; ++r) {
        const CommentRow row = source(r);
        appendField(text, row.type);
        text += QLatin1Char(kComma);
        appendField(text, row.number);
        text += QLatin1Char(kComma);
        appendField(text, row.comment);
        text += QLatin1String("\r\n");
    }
    text = CommentText::mapLookAlikes(std::move(text));
    text.replace(QChar::ReplacementCharacter, QLatin1Char('?'));
    QStringEncoder encoder("CP932");
    QByteArray out = encoder.encode(text);
    if (encoder.hasError()) {
        qsizetype r = 0;
        int column = 0;
        qsizetype index = 0;
        if (!findUnencodable(count, source, r, column, index))
            column = 3;
        const QString cellText =
            CommentText::mapLookAlikes(rowCell(r < count ? source(r) : CommentRow(), column));
        throw EFCreateError(
            QCoreApplication::translate("CommentFile",
                                        "%1 行目の%2の %3 文字目 %4 は Shift-JIS で保存できません")
                .arg(r + 1)
                .arg(columnName(column))
                .arg(index + 1)
                .arg(CommentText::describeCharacter(cellText, index)),
            QCoreApplication::translate(
                "CommentFile",
                "その文字を別の文字に置き換えてから保存してください。ファイルは変更していません"));
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
    compile(
        rows.size(), [&rows](qsizetype r) { return rows.at(r); }, tables);
}

void CommentFile::compile(qsizetype count, const RowSource &source, CommentTables &tables)
{
    QList<int> numbers;
    numbers.reserve(count);
    for (qsizetype r = 0; r < count; ++r) {
        try {
            numbers.append(StrToInt(source(r).number));
        } catch (const EConvertError &e) {
            throw EConvertError(e.message(), QCoreApplication::translate(
                                                 "CommentFile", "コメント表の %1 行目の番号です")
                                                 .arg(r + 1));
        }
    }

    auto fresh = std::make_unique<CommentTables>();
    auto put = [](auto &table, int index, const QString &comment) {
        if (index >= 0 && std::size_t(index) < table.size())
            table[std::size_t(index)] = comment;
    };
    for (qsizetype r = 0; r < count; ++r) {
        const CommentRow row = source(r);
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
