#pragma once

#include "comments/CommentTables.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// One data row of the comment grid as the file and the tables see it.
struct CommentRow {
    QString type;
    QString number;
    QString comment;
};

// The comment file: Shift-JIS text, one line "Type,Number,Comment" per grid row, no header.
// Pure functions, no window; every failure is an exception from platform/Exceptions.h.
//
// Reading follows the comma-text rule the program has always used, so files written by hand or
// by older versions load as they did. Writing quotes a field only when it would not read back as
// itself, so files whose comments hold no blank, comma or leading quote are written byte for byte
// as before, and any other comment survives a save and a load.
// A whole file read into rows, as the grid keeps them: one text holding every line's cells from
// column 1 on (Type, Number, Comment and any extra fields), each cell followed by U+0000, which
// no cell can hold (a NUL byte ends a line's text); a line is a span of that text. One text for
// the whole file costs a few bytes per line beside its characters.
struct CommentFileContent {
    static constexpr QChar kSeparator = QChar(0);
    struct Span {
        qsizetype start = 0;
        qsizetype length = 0; // without the last cell's separator
    };
    QString text;
    QList<Span> rows;
    // The most cells of a line, the row number column included (at least 1).
    int columns = 1;
    // The first row (0 = first line) holding bytes that are no Shift-JIS, or that a save would
    // write as other bytes; -1 when the file reads back byte for byte.
    qsizetype changedRow = -1;
    // The bytes after the Ctrl-Z that ends the text when any of them is more than a blank, a
    // line end or another Ctrl-Z; else 0.
    qsizetype bytesAfterEnd = 0;

    QStringView row(qsizetype i) const
    {
        return QStringView(text).mid(rows.at(i).start, rows.at(i).length);
    }
};

class CommentFile
{
public:
    // Splits one line's bytes into fields by the comma-text rule: blanks (codes 1..32) around
    // fields and a comma between them are separators; a field starting with a double quote runs
    // to the next lone quote ("" inside stands for one quote), or to the end when it is never
    // closed. Shift-JIS double-byte characters are stepped over whole. A NUL byte ends the text.
    static QList<QByteArray> splitCommaText(const QByteArray &text);

    // The whole file's bytes to grid rows. Each row lists the cells from column 0 on: cell 0 is
    // always empty (it stands for the row number column), then Type, Number, Comment and any
    // extra fields. Lines end in CR LF, CR or LF; blank lines and leading blanks are passed
    // over; Ctrl-Z ends the file.
    static QList<QStringList> parse(const QByteArray &bytes);

    // As parse, into the grid's form. Decodes the whole text in one pass, so a million lines
    // take well under a second. keepGoing, when given, is called every few thousand lines with
    // the number of bytes read so far; returning false stops the parse, which then returns
    // false and leaves content as it was. Throws std::bad_alloc when memory runs out.
    static bool parseContent(const QByteArray &bytes, CommentFileContent &content,
                             const std::function<bool(qsizetype)> &keepGoing = {});

    // Type, Number and Comment of a row text in CommentFileContent's form.
    static CommentRow rowFromText(QStringView text);

    // One field as it is written: bare when it reads back as itself, otherwise in double quotes
    // with inner quotes doubled.
    static QByteArray encodeField(const QString &field);

    // The file's bytes for the rows: one line per row, CR LF after every line; no rows, no bytes.
    // Look-alike characters are written in their code page 932 forms (CommentText); U+FFFD, the
    // mark of bytes that were no Shift-JIS when the file was read, is written as "?". Throws
    // EFCreateError naming the row (1 = first), the column and the character when a cell holds
    // a character Shift-JIS cannot carry.
    static QByteArray format(const QList<CommentRow> &rows);
    // The same for rows handed out one at a time, so that a large grid is never copied whole.
    using RowSource = std::function<CommentRow(qsizetype)>;
    static QByteArray format(qsizetype count, const RowSource &row);

    // The first cell of rows holding a character that cannot be written (after the look-alike
    // mapping, U+FFFD allowed): its row index, column (1 Type, 2 Number, 3 Comment) and the
    // index of the character; false when every cell can be written.
    static bool findUnencodable(qsizetype count, const RowSource &rows, qsizetype &row, int &column,
                                qsizetype &index);

    // Reads the file whole. Throws EFOpenError when it cannot be opened or read.
    static QByteArray read(const QString &path);

    // Writes a temporary file beside path and renames it over path, so a failed write leaves the
    // old file whole. Throws EFCreateError "ファイル <path> を作成できません".
    static void write(const QString &path, const QByteArray &bytes);

    // Compiles rows into tables. Every Number is read first, so a Number that is not an integer
    // throws EConvertError before tables is touched; its detail names the row (1 = first). Rows of
    // another type (case matters) or a number outside the table are ignored; the last row naming an
    // entry wins.
    static void compile(const QList<CommentRow> &rows, CommentTables &tables);
    static void compile(qsizetype count, const RowSource &row, CommentTables &tables);
};
