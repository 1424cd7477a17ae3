#pragma once

#include "comments/CommentGrid.h"
#include "tests/support/FakeDisplayLines.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <memory>

// A form as the window builds it: client area and File menu items; display line 1's kind text.
struct GridFixture {
    QWidget form;
    QWidget *client = new QWidget(&form);
    FakeDisplayLines lines;
    CommentTables tables;
    int refreshes = 0;
    QStringList messages;
    QStringList questions;
    // Answers to the questions, in order; once used up, the last button (cancel).
    QList<int> answers;
    QString nextFileName;
    std::unique_ptr<CommentGrid> grid;

    GridFixture()
    {
        for (const char *name : {"New1", "Open1", "Save1", "SaveAs1"})
            (new QAction(&form))->setObjectName(QLatin1String(name));
        grid = std::make_unique<CommentGrid>(client, &form, tables, lines, [this] { ++refreshes; });
        grid->setMessageBox([this](const QString &text, const QString &caption) {
            messages.append(caption + QLatin1Char(':') + text);
        });
        grid->setFileNamePrompt([this](QFileDialog &) { return nextFileName; });
        grid->setQuestion([this](const QString &text, const QStringList &buttons) {
            questions.append(text);
            return answers.isEmpty() ? int(buttons.size()) - 1 : answers.takeFirst();
        });
    }
    QAction *action(const char *name) { return form.findChild<QAction *>(QLatin1String(name)); }

    // Data rows as "Type|Number|Comment", checking that column 0 numbers them 1, 2, 3 ...
    QStringList rows() const
    {
        QStringList out;
        for (int r = 1; r < grid->rowCount(); ++r) {
            if (grid->cell(0, r) != QString::number(r))
                out.append(QStringLiteral("bad row number %1").arg(grid->cell(0, r)));
            out.append(grid->cell(1, r) + '|' + grid->cell(2, r) + '|' + grid->cell(3, r));
        }
        return out;
    }
    void setRows(const QStringList &rows)
    {
        if (grid->isModified())
            answers.prepend(1); // discard what an earlier setRows made
        grid->New1Click();
        while (grid->rowCount() > 1)
            grid->N7Click();
        for (const QString &row : rows) {
            grid->N8Click();
            const QStringList cells = row.split('|');
            for (int c = 0; c < 3; ++c)
                grid->setCell(c + 1, grid->rowCount() - 1, cells.value(c));
        }
    }
};

// Test files in a folder of the test's own.
class CommentGridTestBase : public QObject
{
protected:
    QTemporaryDir m_dir;
    int m_files = 0;

    QString file(const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(QStringLiteral("c%1.csv").arg(++m_files));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write test file");
        f.write(bytes);
        return path;
    }
    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};
