#include "ui/RecordControl.h"

#include "comm/CommX.h"
#include "link/LineRecording.h"
#include "platform/Exceptions.h"
#include "platform/widgets/ErrorGuard.h"
#include "record/LineRecorder.h"
#include "record/RecordingCsv.h"
#include "record/RecordingTap.h"
#include "record/ReplayPlayer.h"
#include "tools/ChannelMonitor.h"
#include "ui/DisplayLines.h"
#include "ui/FormContext.h"
#include "ui/PortControl.h"
#include "ui/ReplayBar.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QProgressDialog>
#include <QStatusBar>

#include <atomic>
#include <optional>
#include <thread>

namespace
{

const char *const kFilter =
    QT_TRANSLATE_NOOP("RecordControl", "記録 (*.pcap);;すべてのファイル (*)");

QString duration(qint64 us)
{
    const qint64 s = us / 1000000;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600, 2, 10, QLatin1Char('0'))
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

// What replay makes inactive: every key of the unit and what would open a port.
constexpr const char *kKeyWidgets[] = {"IOPanel", "TenKeyPanel", "CursorPanel",
                                       "btnDATA", "btnMODE",     "btnENB",
                                       "btnINIT", "btnIDScan",   "OpenButton"};
constexpr const char *kKeyActions[] = {"MenuFileConnect", "MenuMode", "GoTo1", "P1"};

} // namespace

RecordControl::RecordControl(FormContext &ctx, TCommX &comm, DisplayLines &lines,
                             ChannelMonitor &channels, PortControl &ports, QObject *parent)
    : QObject(parent), m_ctx(ctx), m_comm(comm), m_lines(lines), m_channels(channels),
      m_ports(ports)
{
    m_recorder = new LineRecorder(this);
    m_tap = std::make_unique<RecordingTap>(m_comm, *m_recorder);
    m_ctx.link.setPort(m_tap.get());
    m_lastFolder = QDir::homePath();
    connect(m_recorder, &LineRecorder::failed, this,
            [this](const QString &reason) { stopRecording(reason); });
    // After the port's own notice (connected first), which the status bar keeps showing.
    connect(&m_comm, &TCustomCommX::OnDeviceLost, this, [this] {
        if (!isRecording())
            return;
        const QString lost = m_ctx.statusBar ? m_ctx.statusBar->currentMessage() : QString();
        stopRecording(lost + tr(" 記録を終えました: %1").arg(m_recorder->path()));
    });
    m_tick.setInterval(500);
    connect(&m_tick, &QTimer::timeout, this, &RecordControl::tick);
    buildMenu();
    if (m_ctx.statusBar) {
        m_status = new QLabel(m_ctx.statusBar);
        m_status->setObjectName("RecordStatus");
        m_ctx.statusBar->addPermanentWidget(m_status);
        m_status->hide();
    }
}

RecordControl::~RecordControl()
{
    // The window's members (the context among them) are gone by now: only our own objects.
    m_recorder->stop();
}

void RecordControl::buildMenu()
{
    auto *file = m_ctx.form ? m_ctx.form->findChild<QMenu *>("File1") : nullptr;
    if (!file)
        return;
    QAction *before = nullptr;
    for (QAction *a : file->actions())
        if (a->objectName() == QLatin1String("N2"))
            before = a;
    auto add = [&](const char *name, const QString &caption) {
        auto *a = new QAction(caption, file);
        a->setObjectName(name);
        file->insertAction(before, a);
        return a;
    };
    QAction *sep = new QAction(file);
    sep->setSeparator(true);
    sep->setObjectName("N6");
    file->insertAction(before, sep);
    m_recordItem = add("MenuFileRecord", tr("記録(&L)…"));
    m_recordItem->setCheckable(true);
    m_recordItem->setStatusTip(tr("接続中の回線をファイルに記録します"));
    connect(m_recordItem, &QAction::triggered, this,
            [this](bool on) { runGuarded([&] { recordTriggered(on); }); });
    m_replayItem = add("MenuFileReplay", tr("再生(&P)…"));
    m_replayItem->setStatusTip(tr("記録した回線を再生します (切断中のみ)"));
    connect(m_replayItem, &QAction::triggered, this,
            guarded(this, &RecordControl::replayTriggered));
    m_exportItem = add("MenuFileExportCsv", tr("記録をCSVに書き出す(&E)…"));
    connect(m_exportItem, &QAction::triggered, this,
            guarded(this, &RecordControl::exportTriggered));
}

bool RecordControl::isRecording() const
{
    return m_recorder->isRecording();
}

void RecordControl::startRecording(const QString &path)
{
    if (!m_comm.isOpen())
        throw Exception(tr("記録するには先にポートを接続してください"));
    m_recorder->start(path);
    m_lastFolder = QFileInfo(path).absolutePath();
    if (m_recordItem)
        m_recordItem->setChecked(true);
    if (m_ctx.statusBar)
        m_ctx.statusBar->showMessage(tr("%1 に記録しています").arg(path));
    m_tick.start();
    tick();
}

void RecordControl::stopRecording(const QString &reason)
{
    const bool was = m_recorder->isRecording();
    const QString path = m_recorder->path();
    const quint64 bytes = m_recorder->bytesRecorded();
    m_recorder->stop();
    if (m_recordItem)
        m_recordItem->setChecked(false);
    if (!m_player)
        m_tick.stop();
    if (m_status && !m_player)
        m_status->hide();
    if ((!was && reason.isEmpty()) || !m_ctx.statusBar)
        return;
    m_ctx.statusBar->showMessage(
        reason.isEmpty() ? tr("記録を終えました: %1 (%2 バイト)").arg(path).arg(bytes) : reason);
}

void RecordControl::recordTriggered(bool on)
{
    if (!on) {
        stopRecording();
        return;
    }
    m_recordItem->setChecked(false);
    if (!m_comm.isOpen()) {
        if (m_ctx.statusBar)
            m_ctx.statusBar->showMessage(tr("記録するには先にポートを接続してください"));
        return;
    }
    const QString suggested =
        QDir(m_lastFolder)
            .filePath(QDateTime::currentDateTime().toString("'qx-'yyyyMMdd-HHmmss'.pcap'"));
    const QString path =
        QFileDialog::getSaveFileName(m_ctx.form, tr("記録の保存先"), suggested, tr(kFilter));
    if (path.isEmpty())
        return;
    startRecording(path);
}

void RecordControl::tick()
{
    if (m_recorder->isRecording() && !m_comm.isOpen()) {
        stopRecording(tr("切断したため記録を終えました: %1 (%2 バイト)")
                          .arg(m_recorder->path())
                          .arg(m_recorder->bytesRecorded()));
        return;
    }
    if (!m_status)
        return;
    if (m_recorder->isRecording()) {
        m_status->setText(tr("● 記録中 %1").arg(duration(m_recorder->recordedUs())));
        m_status->setStyleSheet(QStringLiteral("color: #c00000"));
        m_status->show();
    }
}

std::shared_ptr<LineRecording> RecordControl::loadRecording(const QString &path)
{
    struct Job {
        std::atomic<bool> cancel{false};
        std::atomic<bool> done{false};
        std::atomic<int> percent{0};
        std::optional<LineRecording> result;
        QString error, detail;
    };
    auto job = std::make_shared<Job>();
    std::thread([job, path] {
        try {
            job->result =
                LineRecording::load(path, &job->cancel, [&job](int p) { job->percent = p; });
        } catch (const Exception &e) {
            job->error = e.message();
            job->detail = e.detail();
        } catch (const LineRecording::Cancelled &) {
        } catch (const std::bad_alloc &) {
            job->error = tr("%1 を読むメモリが足りません").arg(path);
        }
        job->done = true;
    }).detach();

    QProgressDialog progress(tr("%1 を読んでいます…").arg(QFileInfo(path).fileName()), tr("中止"),
                             0, 100, m_ctx.form);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(30);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (job->done)
            loop.quit();
        else if (!progress.wasCanceled())
            progress.setValue(job->percent);
    });
    connect(&progress, &QProgressDialog::canceled, &loop, [&] { job->cancel = true; });
    poll.start();
    if (!job->done)
        loop.exec();
    if (!job->error.isEmpty())
        throw EFOpenError(job->error, job->detail);
    if (!job->result)
        return nullptr;
    auto rec = std::make_shared<LineRecording>(std::move(*job->result));
    if (!rec->damage().isEmpty() && m_ctx.statusBar)
        m_ctx.statusBar->showMessage(
            tr("%1 の終わりが欠けていたため、その手前までを読みました (%2)")
                .arg(path, rec->damage()));
    return rec;
}

QString RecordControl::askRecordingToOpen(const QString &caption)
{
    const QString path =
        QFileDialog::getOpenFileName(m_ctx.form, caption, m_lastFolder, tr(kFilter));
    if (!path.isEmpty())
        m_lastFolder = QFileInfo(path).absolutePath();
    return path;
}

void RecordControl::replayTriggered()
{
    if (m_comm.isOpen()) {
        if (m_ctx.statusBar)
            m_ctx.statusBar->showMessage(tr("再生するには先に切断してください"));
        return;
    }
    const QString path = askRecordingToOpen(tr("再生する記録"));
    if (!path.isEmpty())
        openReplay(path);
}

void RecordControl::openReplay(const QString &path)
{
    std::shared_ptr<LineRecording> rec = loadRecording(path);
    if (rec)
        startReplay(std::move(rec), QFileInfo(path).fileName());
}

void RecordControl::resetDisplay()
{
    emit displayReset();
    m_lines.resetReceiver();
    m_lines.resetForConnect();
    m_lines.blankLines();
    m_channels.Button1Click();
}

void RecordControl::startReplay(std::shared_ptr<const LineRecording> recording, const QString &name)
{
    if (m_comm.isOpen())
        throw Exception(tr("再生するには先に切断してください"));
    if (recording->chunks().empty())
        throw Exception(tr("%1 には受信した記録がありません").arg(name));
    stopReplay();
    m_player = new ReplayPlayer(std::move(recording), this);
    connect(m_player, &ReplayPlayer::receive, &m_lines, &DisplayLines::RecPkt);
    connect(m_player, &ReplayPlayer::receive, this, &RecordControl::holdKeys);
    connect(m_player, &ReplayPlayer::rewound, this, &RecordControl::resetDisplay);
    m_ctx.link.setPort(&m_player->port());
    setKeysInactive(true);
    resetDisplay();
    m_lines.titleMark = tr("[再生]");
    if (m_ctx.form)
        m_ctx.form->setWindowTitle(tr("QXモニター[再生] %1").arg(name));

    auto *bar = new ReplayBar(*m_player, name, m_ctx.form);
    connect(bar, &ReplayBar::stopRequested, this, &RecordControl::stopReplay);
    m_bar = bar;
    if (m_ctx.form) {
        const QRect f = m_ctx.form->frameGeometry();
        bar->move(f.left(), f.bottom() + 4);
    }
    bar->show();
    if (m_ctx.statusBar)
        m_ctx.statusBar->showMessage(tr("%1 を再生しています").arg(name));
    m_player->play();
}

void RecordControl::stopReplay()
{
    if (!m_player)
        return;
    m_player->pause();
    m_player->disconnect(this);
    m_player->disconnect(&m_lines);
    m_player->deleteLater();
    m_player = nullptr;
    // The bar may be the one asking (its stop button, its window closed).
    m_bar->hide();
    m_bar->deleteLater();
    m_bar = nullptr;
    m_ctx.link.setPort(m_tap.get());
    m_lines.titleMark.clear();
    m_lines.hideIndicator();
    m_lines.clearKinds();
    setKeysInactive(false);
    m_ports.applySavedPort(m_ports.SelectedPort());
    if (m_ctx.statusBar)
        m_ctx.statusBar->showMessage(tr("再生を終えました"));
}

void RecordControl::holdKeys()
{
    // The receiver switches DATA with the unit's state; during a replay it stays inactive.
    if (auto *data = m_ctx.element<QWidget>("btnDATA"); data && data->isEnabled())
        data->setEnabled(false);
}

void RecordControl::setKeysInactive(bool inactive)
{
    if (inactive) {
        m_savedStates.clear();
        for (const char *name : kKeyWidgets) {
            QWidget *w = m_ctx.element<QWidget>(QLatin1String(name));
            if (!w && m_ctx.form)
                w = m_ctx.form->findChild<QWidget *>(QLatin1String(name));
            if (w) {
                m_savedStates.append({w, w->isEnabled()});
                w->setEnabled(false);
            }
        }
        for (const char *name : kKeyActions) {
            if (auto *a =
                    m_ctx.form ? m_ctx.form->findChild<QAction *>(QLatin1String(name)) : nullptr) {
                m_savedStates.append({a, a->isEnabled()});
                a->setEnabled(false);
            }
        }
        for (QAction *a : {m_recordItem, m_replayItem})
            if (a) {
                m_savedStates.append({a, a->isEnabled()});
                a->setEnabled(false);
            }
        return;
    }
    for (const auto &[object, enabled] : m_savedStates) {
        if (auto *w = qobject_cast<QWidget *>(object.data()))
            w->setEnabled(enabled);
        else if (auto *a = qobject_cast<QAction *>(object.data()))
            a->setEnabled(enabled);
    }
    m_savedStates.clear();
}

qsizetype RecordControl::exportCsv(const QString &recordingPath, const QString &csvPath)
{
    std::shared_ptr<LineRecording> rec = loadRecording(recordingPath);
    if (!rec)
        return -1;
    const qsizetype rows = RecordingCsv::write(*rec, csvPath);
    if (m_ctx.statusBar)
        m_ctx.statusBar->showMessage(tr("%1 行を %2 に書き出しました").arg(rows).arg(csvPath));
    return rows;
}

void RecordControl::exportTriggered()
{
    const QString from = askRecordingToOpen(tr("CSVに書き出す記録"));
    if (from.isEmpty())
        return;
    const QFileInfo info(from);
    const QString to = QFileDialog::getSaveFileName(
        m_ctx.form, tr("CSVの保存先"),
        info.absoluteDir().filePath(info.completeBaseName() + QStringLiteral(".csv")),
        tr("CSV (*.csv);;すべてのファイル (*)"));
    if (!to.isEmpty())
        exportCsv(from, to);
}
