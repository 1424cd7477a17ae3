// The comment grid's load through the real grid: the bytes as a file, loaded by
// LoadCommentFile (its loading thread, its model, its tables), then saved and loaded again.
// Properties: a load either succeeds or refuses a Number, and never changes the grid when it
// fails; the grid holds exactly the file's lines and fields (the columns shown capped); a grid
// whose file reads back byte for byte survives a save and a load. Run with -rss_limit_mb and
// -timeout (scripts/fuzz): a load whose memory or time grows faster than the file fails them.
#include "comments/CommentGrid.h"
#include "comments/CommentModel.h"
#include "link/DisplayLineTexts.h"
#include "platform/Exceptions.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace
{

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "comment grid property failed: %s\n", what);
    std::abort();
}

class IdleLines : public DisplayLineTexts
{
public:
    QString kind(int) const override { return QStringLiteral("--"); }
    QString addr(int) const override { return QString(); }
    QString data(int) const override { return QString(); }
    int CurLine() const override { return 0; }
};

struct Rig {
    QTemporaryDir dir;
    QWidget form;
    IdleLines lines;
    CommentTables tables;
    std::unique_ptr<CommentGrid> grid;
    QString path() const { return dir.filePath(QStringLiteral("c.csv")); }
};

Rig &rig()
{
    static Rig *r = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "fuzz_commentgrid";
        static char *argv[] = {name, nullptr};
        new QApplication(argc, argv);
        auto *made = new Rig;
        made->grid = std::make_unique<CommentGrid>(new QWidget(&made->form), &made->form,
                                                   made->tables, made->lines, [] {});
        made->grid->setMessageBox([](const QString &, const QString &) {});
        // Every question is answered "save" / "load": nothing waits for a user.
        made->grid->setQuestion([](const QString &, const QStringList &) { return 0; });
        return made;
    }();
    return *r;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        fail("cannot write the input file");
}

QList<CommentRow> gridRows(const CommentGrid &grid)
{
    QList<CommentRow> out;
    for (int r = 1; r < grid.rowCount(); ++r)
        out.append({grid.cell(1, r), grid.cell(2, r), grid.cell(3, r)});
    return out;
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

// Loads path; false when a Number was refused (the grid is loaded all the same).
bool load(CommentGrid &grid, const QString &path)
{
    try {
        grid.LoadCommentFile(path);
        return true;
    } catch (const EConvertError &) {
        return false;
    } catch (const Exception &e) {
        std::fprintf(stderr, "%s / %s\n", qPrintable(e.message()), qPrintable(e.detail()));
        fail("a readable file failed to load");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Rig &r = rig();
    CommentGrid &grid = *r.grid;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    writeFile(r.path(), bytes);

    CommentFileContent expected;
    if (!CommentFile::parseContent(bytes, expected))
        fail("an uncancelled parse stopped");
    load(grid, r.path());

    if (grid.rowCount() != expected.rows.size() + 1)
        fail("the grid's rows are not the file's lines");
    if (grid.colCount() != std::clamp(expected.columns, 4, CommentModel::kMaxColumns))
        fail("the grid's columns are not the widest line's");
    const QList<QStringList> fields = CommentFile::parse(bytes);
    for (qsizetype n = 0; n < fields.size(); ++n) {
        const QStringList &line = fields.at(n);
        for (int c = 1; c < int(line.size()); ++c) {
            if (grid.cell(c, int(n) + 1) != line.at(c))
                fail("a cell is not its line's field");
        }
        if (grid.cell(int(line.size()), int(n) + 1) != QString())
            fail("a cell right of a line's last field is not empty");
    }

    // A failed load changes nothing.
    const QList<CommentRow> before = gridRows(grid);
    try {
        grid.LoadCommentFile(r.dir.filePath(QStringLiteral("missing.csv")));
        fail("a missing file loaded");
    } catch (const EFOpenError &) {
    }
    if (!same(gridRows(grid), before) || grid.CommentFileName() != r.path())
        fail("a failed load changed the grid");

    // Saved and loaded again, a file that read back byte for byte gives the same rows.
    bool savable = true;
    try {
        grid.SaveCommentFile(r.path());
    } catch (const EFCreateError &) {
        savable = false;
    }
    if (savable) {
        load(grid, r.path());
        if (expected.changedRow < 0 && !same(gridRows(grid), before))
            fail("a loaded grid does not survive a save and a load");
    }
    // Queued events (the loading thread's notices, deferred deletes) end with the input.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    return 0;
}
