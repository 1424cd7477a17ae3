// The comment file as the grid uses it: bytes are parsed into rows (Type, Number, Comment of
// each line), saved with format() and loaded again. A loaded grid must survive a save and a
// load unchanged, and compiling rows must either refuse a Number or fill only the tables.
#include "comments/CommentFile.h"
#include "platform/Exceptions.h"
#include "platform/SjisText.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace
{

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "comment file property failed: %s\n", what);
    std::abort();
}

// The grid's view of a file: cells 1 to 3 of each line, missing cells empty.
QList<CommentRow> load(const QByteArray &bytes)
{
    QList<CommentRow> rows;
    for (const QStringList &fields : CommentFile::parse(bytes)) {
        auto cell = [&fields](int c) { return c < fields.size() ? fields.at(c) : QString(); };
        rows.append({cell(1), cell(2), cell(3)});
    }
    return rows;
}

bool same(const QList<CommentRow> &a, const QList<CommentRow> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].type != b[i].type || a[i].number != b[i].number || a[i].comment != b[i].comment)
            return false;
    }
    return true;
}

// Text that Shift-JIS can carry: it encodes and decodes back to itself. A replacement character
// stands for bytes that were no Shift-JIS; the comment file writes it as "?" (after warning the
// user), so it is never carried as it was.
bool sjisSafe(const QString &s)
{
    return !s.contains(QChar::ReplacementCharacter) && fromSjis(toSjis(s)) == s;
}

void report(const QList<CommentRow> &a, const QList<CommentRow> &b)
{
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        const CommentRow x = i < a.size() ? a[i] : CommentRow{};
        const CommentRow y = i < b.size() ? b[i] : CommentRow{};
        std::fprintf(stderr, "row %lld: [%s|%s|%s] vs [%s|%s|%s]\n", static_cast<long long>(i),
                     x.type.toUtf8().toHex().constData(), x.number.toUtf8().toHex().constData(),
                     x.comment.toUtf8().toHex().constData(), y.type.toUtf8().toHex().constData(),
                     y.number.toUtf8().toHex().constData(), y.comment.toUtf8().toHex().constData());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<CommentRow> grid = load(bytes);

    bool carried = true;
    for (const CommentRow &r : grid)
        carried = carried && sjisSafe(r.type) && sjisSafe(r.number) && sjisSafe(r.comment);

    const QByteArray saved = CommentFile::format(grid);
    const QList<CommentRow> again = load(saved);
    // Bytes that are no Shift-JIS decode to a replacement character that cannot be written
    // back as they were; from the first save on, the file must be stable all the same.
    if (carried ? !same(again, grid) : !same(load(CommentFile::format(again)), again)) {
        report(grid, again);
        fail("a loaded grid does not survive a save and a load");
    }

    // Rows whose numbers read as integers compile; each row lands only inside its table.
    QList<CommentRow> numbered;
    for (const CommentRow &r : grid) {
        try {
            (void)StrToInt(r.number);
            numbered.append(r);
        } catch (const EConvertError &) {
        }
    }
    auto tables = std::make_unique<CommentTables>();
    try {
        CommentFile::compile(numbered, *tables);
    } catch (const Exception &) {
        fail("compile threw for rows whose numbers are integers");
    }
    // The last row naming an entry wins; anything else stays empty.
    auto expect = std::make_unique<CommentTables>();
    for (const CommentRow &r : numbered) {
        const int k = StrToInt(r.number);
        auto put = [k, &r](auto &table) {
            if (k >= 0 && k < int(table.size()))
                table[std::size_t(k)] = r.comment;
        };
        if (r.type == QLatin1String("BI"))
            put(expect->CommentBI);
        else if (r.type == QLatin1String("BO"))
            put(expect->CommentBO);
        else if (r.type == QLatin1String("WI"))
            put(expect->CommentWI);
        else if (r.type == QLatin1String("WO"))
            put(expect->CommentWO);
    }
    if (tables->CommentBI != expect->CommentBI || tables->CommentBO != expect->CommentBO ||
        tables->CommentWI != expect->CommentWI || tables->CommentWO != expect->CommentWO)
        fail("compiled tables differ from the rows");

    // A grid with a row whose number is no integer is refused before the tables change.
    if (numbered.size() != grid.size()) {
        try {
            CommentFile::compile(grid, *tables);
            fail("compile accepted a number that is no integer");
        } catch (const EConvertError &) {
        }
        if (tables->CommentBI != expect->CommentBI || tables->CommentWO != expect->CommentWO)
            fail("a refused compile changed the tables");
    }
    return 0;
}
