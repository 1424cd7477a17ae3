#include "comments/CommentGrid.h"

#include "comments/CommentModel.h"

#include "platform/Exceptions.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

// Loading a comment file into the grid: read and parsed off the window thread with progress and
// a way to cancel, and only then put in the grid, so that a failed load changes nothing.

namespace
{

const QString kIdleIo1 = QStringLiteral("--");

QString sizeText(qint64 bytes)
{
    if (bytes < 10 * 1024)
        return QCoreApplication::translate("CommentGrid", "%1 バイト").arg(bytes);
    if (bytes < 10 * 1024 * 1024)
        return QStringLiteral("%1 KB").arg(bytes / 1024);
    return QStringLiteral("%1 MB").arg(bytes / (1024 * 1024));
}

} // namespace

void CommentGrid::LoadCommentFile(const QString &path)
{
    load(path, true);
}

void CommentGrid::loadCommandLineFile(const QStringList &arguments)
{
    if (!arguments.isEmpty()) {
        if (!load(arguments.constFirst(), false))
            return;
    }
    offerRecovery(recoveryPath());
}

bool CommentGrid::readContent(const QString &path, CommentFileContent &content,
                              std::unique_ptr<CommentTables> &tables, QString &convertMessage,
                              QString &convertDetail)
{
    auto failed = [&path](const QString &why) {
        return EFOpenError(tr("ファイル %1 を読み込めません").arg(path), why);
    };
    const QFileInfo info(path);
    if (info.exists() && info.isFile() && info.size() > m_maxFileBytes) {
        throw failed(tr("ファイルの大きさ %1 が読み込める上限 %2 を超えています")
                         .arg(sizeText(info.size()), sizeText(m_maxFileBytes)));
    }

    // Read and parsed on a thread of its own, so that the window goes on while a large file
    // loads; the window thread waits in a local event loop, showing the progress.
    enum class Outcome { Running, Done, Cancelled, Failed, OutOfMemory };
    std::atomic<Outcome> outcome{Outcome::Running};
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{info.size()};
    QString failure;
    CommentFileContent parsed;
    m_cancelLoad = false;
    QEventLoop loop;
    auto work = [&] {
        try {
            if (m_workerHook)
                m_workerHook();
            const QByteArray bytes = CommentFile::read(path);
            total = bytes.size();
            const bool complete = CommentFile::parseContent(bytes, parsed, [&](qsizetype at) {
                done = at;
                return !m_cancelLoad.load();
            });
            if (complete) {
                // The tables too are compiled here; the window thread only takes them.
                try {
                    auto fresh = std::make_unique<CommentTables>();
                    CommentFile::compile(
                        parsed.rows.size(),
                        [&parsed](qsizetype r) { return CommentFile::rowFromText(parsed.row(r)); },
                        *fresh);
                    tables = std::move(fresh);
                } catch (const EConvertError &e) {
                    convertMessage = e.message();
                    convertDetail = e.detail();
                }
            }
            outcome = complete ? Outcome::Done : Outcome::Cancelled;
        } catch (const Exception &e) {
            failure = e.message();
            outcome = Outcome::Failed;
        } catch (const std::bad_alloc &) {
            parsed = CommentFileContent();
            outcome = Outcome::OutOfMemory;
        } catch (const std::exception &e) {
            failure = QString::fromLocal8Bit(e.what());
            outcome = Outcome::Failed;
        }
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    };
    std::thread worker;
    try {
        worker = std::thread(work);
    } catch (const std::system_error &) {
        throw failed(tr("読み込み用のスレッドを作れません (メモリが足りません)"));
    }

    QTimer poll;
    poll.setInterval(50);
    QPointer<QProgressDialog> dialog;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (outcome != Outcome::Running)
            return;
        bool goOn = true;
        if (m_progress) {
            goOn = m_progress(done, total);
        } else {
            if (!dialog) {
                dialog = new QProgressDialog(tr("%1 を読み込んでいます").arg(info.fileName()),
                                             tr("キャンセル"), 0, 1000, m_window);
                dialog->setWindowTitle(tr("コメントファイル"));
                dialog->setWindowModality(Qt::WindowModal);
                dialog->setMinimumDuration(400);
                dialog->setAutoClose(false);
                dialog->setAutoReset(false);
            }
            const qint64 all = std::max<qint64>(total, 1);
            dialog->setValue(int(std::min<qint64>(1000, done * 1000 / all)));
            goOn = !dialog->wasCanceled();
        }
        if (!goOn)
            m_cancelLoad = true;
    });
    m_loading = true;
    poll.start();
    // Ends when the worker is done; also when the application quits (every loop of the window
    // thread ends then), in which case the load is stopped.
    if (outcome == Outcome::Running)
        loop.exec();
    if (outcome == Outcome::Running)
        m_cancelLoad = true;
    worker.join();
    poll.stop();
    m_loading = false;
    delete dialog;

    switch (outcome.load()) {
    case Outcome::Done:
        content = std::move(parsed);
        return true;
    case Outcome::Cancelled:
    case Outcome::Running:
        return false;
    case Outcome::OutOfMemory:
        throw failed(tr("%1 のファイルを読み込むにはメモリが足りません。"
                        "グリッドは元のままです")
                         .arg(sizeText(total)));
    case Outcome::Failed:
        break;
    }
    throw failed(failure);
}

bool CommentGrid::load(const QString &path, bool refresh)
{
    if (m_loading)
        return false;
    CommentFileContent content;
    std::unique_ptr<CommentTables> tables;
    QString convertMessage;
    QString convertDetail;
    if (!readContent(path, content, tables, convertMessage, convertDetail))
        return false;

    try {
        m_model->replaceRows(std::move(content));
    } catch (const std::bad_alloc &) {
        // The model is left empty rather than half made; the file itself is unchanged.
        m_model->replaceRows(QStringList());
        throw EFOpenError(tr("ファイル %1 を読み込めません").arg(path),
                          tr("グリッドを作るにはメモリが足りません"));
    }
    setDesignWidths();
    m_fileName = path;
    m_modified = false;
    m_save->setEnabled(true);
    m_saveAs->setEnabled(true);

    QStringList losses;
    if (content.changedRow >= 0) {
        losses.append(tr("%1 行目に Shift-JIS として読めないバイトか、保存すると別の"
                         "バイトになる文字があります")
                          .arg(content.changedRow + 1));
    }
    if (content.bytesAfterEnd > 0) {
        losses.append(tr("ファイルの終わりを示す Ctrl-Z の後に %1 バイトのテキストが"
                         "あり、読み込んでいません")
                          .arg(content.bytesAfterEnd));
    }
    m_lossNotice = losses.join(QLatin1Char('\n'));
    if (!m_lossNotice.isEmpty() && m_messageBox) {
        m_messageBox(
            tr("%1:\n%2\n保存するとファイルのこの部分は変わります").arg(path, m_lossNotice),
            tr("警告"));
    }

    // As RebuildCommentTables, compiled already on the loading thread.
    if (!tables)
        throw EConvertError(convertMessage, convertDetail);
    m_tables = std::move(*tables);
    if (refresh && io1Text() != kIdleIo1 && m_refresh)
        m_refresh();
    return true;
}
