#include "updater/updaterun.h"

#include "updater/beneath.h"
#include "updater/commandline.h"
#include "updater/downloadcheck.h"
#include "updater/fileplace.h"
#include "updater/gunzip.h"
#include "updater/paths.h"
#include "updater/updaterstrings.h"
#include "updater/updatetransfer.h"
#include "updater/webfiledownload.h"

#include <csignal>
#include <unistd.h>

namespace vela {

namespace {

QString q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString q(Str id) {
    return q(text(id));
}

} // namespace

QString sizeColumnText(int64_t bytes) {
    const int64_t kb = bytes < 1024 ? 1 : bytes / 1024;
    return QString::number(kb) + QStringLiteral("Kb ");
}

UpdateRun::UpdateRun(RunOptions options, RunView& view, SystemActions& system, QObject* parent)
    : QObject(parent), options_(std::move(options)), view_(view), system_(system),
      temp_(vela::tempFolder(options_.installFolder)) {
    timer1_.setSingleShot(true);
    connect(&timer1_, &QTimer::timeout, this, &UpdateRun::onTimer);
}

UpdateRun::~UpdateRun() = default;

void UpdateRun::open() {
    webFileAbortFlag().store(0);
    view_.setCurrentStep(1);
    phase_ = 1;
    // What a killed run left here is never installed: everything is fetched
    // and checked anew. A link in the folder's place is removed, never
    // followed.
    makeTempFolder(options_.installFolder);
    ::unlink(joinPath(options_.installFolder, updateScriptName(options_.dialect)).c_str());
}

void UpdateRun::start() {
    timer1_.start(500);
}

void UpdateRun::onTimer() {
    timer1_.stop();
    if (ended_)
        return;
    view_.setCurrentStep(phase_);
    if (phase_ == 1) {
        view_.setStatus(q(Str::STR_READING_SERVERS));
        server_ = readServerList(options_.installFolder, options_.mode);
        view_.setStatus(q(Str::STR_FETCHING_LIST));
        transfer_ =
            std::make_unique<UpdateTransfer>(options_.mode, server_, options_.installFolder);
        connect(transfer_.get(), &UpdateTransfer::progress, this, &UpdateRun::onProgress);
        connect(transfer_.get(), &UpdateTransfer::completed, this, &UpdateRun::onCompleted);
        connect(transfer_.get(), &UpdateTransfer::failed, this, &UpdateRun::onFailed);
        connect(transfer_.get(), &UpdateTransfer::connectResult, this, [this](bool ok) {
            if (!ok)
                fail(q(Str::STR_CONNECT_FAILED));
            else if (!transfer_->fetchList())
                fail(q(Str::STR_LIST_FETCH_FAILED));
        });
        if (options_.mode.http) {
            if (!transfer_->fetchList())
                fail(q(Str::STR_LIST_FETCH_FAILED));
        } else if (!transfer_->connectServer()) {
            fail(q(Str::STR_LIST_UNAVAILABLE));
        }
    } else if (phase_ == 2) {
        if (plan_.nextDownload < plan_.entries.size()) {
            startNextDownload();
        } else {
            view_.setStatus(q(Str::STR_TRANSFER_ENDED));
            phase_ = 3;
            timer1_.start(500);
        }
    } else if (phase_ == 3) {
        install();
    }
}

void UpdateRun::startNextDownload() {
    view_.setStatus(q(Str::STR_RECEIVING));
    const UpdateEntry& e = plan_.entries[plan_.nextDownload];
    const TransferTarget target = transferTarget(plan_, plan_.nextDownload, temp_);
    expected_ = target.expectedSize;
    // The old copy of the file, if a killed run left one, goes first.
    removeFileBeneath(options_.installFolder, target.localPath);
    removeFileBeneath(options_.installFolder, downloadedFileOf(temp_, e));
    if (!transfer_->fetchEntry(plan_, plan_.nextDownload)) {
        fail(q(Str::STR_TRANSFER_ERROR));
        return;
    }
    view_.setDownloadName(q(e.compressed() ? e.serverName : e.pathName));
    view_.setProgress(0);
}

void UpdateRun::onProgress(qint64 received, qint64) {
    if (expected_ != 0)
        view_.setProgress(static_cast<int>(received * 100 / expected_));
    if (phase_ == 2 && stopPoint_ == "download" && received > 0)
        ::raise(SIGSTOP);
}

void UpdateRun::onCompleted(const QString&) {
    if (ended_)
        return;
    if (phase_ == 1) {
        view_.setStatus(q(Str::STR_READING_LIST));
        const bool usable = buildPlan(transfer_->localFileList(), options_.installFolder,
                                      options_.mode, plan_, *this);
        if (ended_)
            return;
        if (!usable) {
            fail(q(Str::STR_LIST_READ_ERROR));
            return;
        }
        phase_ = 2;
        timer1_.start(500);
        return;
    }
    if (phase_ == 2)
        entryDownloaded();
}

void UpdateRun::entryDownloaded() {
    // A window that is going away stops the download at its next block and
    // still reports the file as complete: it is not a finished download.
    if (webFileAbortFlag().load() != 0)
        return;
    const UpdateEntry& e = plan_.entries[plan_.nextDownload];
    const std::string file = downloadedFileOf(temp_, e);
    if (e.compressed()) {
        view_.setStatus(q(Str::STR_UNZIPPING));
        const std::string packed = joinPath(temp_, e.serverName);
        std::string report;
        if (!decompressGzip(packed, file, report, e.fileSize, options_.installFolder)) {
            removeFileBeneath(options_.installFolder, packed);
            fail(QString::fromStdString(formatText(Str::STR_UNZIP_ERROR, {e.serverName, report})));
            return;
        }
        removeFileBeneath(options_.installFolder, packed);
    }
    if (!matchesEntry(file, e)) {
        removeFileBeneath(options_.installFolder, file);
        fail(QString::fromStdString(formatText(Str::STR_HASH_MISMATCH, {e.pathName})));
        return;
    }
    view_.addResultRow(q(e.pathName),
                       sizeColumnText(e.compressed() ? e.compressedSize : e.fileSize),
                       q(e.version));
    ++plan_.nextDownload;
    timer1_.start(500);
}

void UpdateRun::onFailed(const QString& message) {
    if (ended_)
        return;
    QString shown = q(phase_ == 1 ? Str::STR_LIST_FETCH_FAILED : Str::STR_TRANSFER_ERROR);
    // A body past its listed size says which file the server overfilled.
    if (transfer_ && transfer_->fault() == TransferFault::TooLarge)
        shown += QStringLiteral("\n") + message;
    fail(shown);
}

void UpdateRun::install() {
    InstallContext context{options_.installFolder, temp_, options_.dialect, {}};
    if (stopPoint_ == "install")
        context.afterEntry = [](size_t) { ::raise(SIGSTOP); };
    const InstallOutcome outcome = installAll(plan_, context, state_, *this);
    if (!outcome.completed) {
        std::string names;
        for (const auto& n : outcome.notUpdated)
            names += "\n" + n;
        fail(QString::fromStdString(formatText(Str::STR_NOT_UPDATED, {names})));
        return;
    }
    if (plan_.selfUpdate) {
        restartSelf();
        return;
    }
    view_.notify(q(Str::STR_UPDATE_DONE), options_.automatic);
    finish();
}

void UpdateRun::restartSelf() {
    view_.notify(q(Str::STR_RESTARTING), true);
    const auto argv = selfRestartCommand(plan_, options_.installFolder, options_.ownProgram,
                                         options_.ownArguments);
    restarted_ = true;
    end(true);
    if (!argv.empty())
        system_.startDetached(argv);
    deleteTildeFiles(options_.installFolder, argv.empty() ? std::string() : argv[0]);
}

void UpdateRun::end(bool ok) {
    if (ended_)
        return;
    ended_ = true;
    timer1_.stop();
    view_.closeView(ok);
}

void UpdateRun::fail(const QString& message) {
    if (ended_)
        return;
    view_.showFailure(message);
    end(false);
}

void UpdateRun::cleanup() {
    if (cleaned_)
        return;
    cleaned_ = true;
    if (options_.mode.http)
        webFileAbortFlag().store(1);
    else if (transfer_)
        transfer_->close();
    // The stored list goes with the folder.
    removeTempFolder(options_.installFolder);
}

void UpdateRun::cleanupOnClose() {
    timer1_.stop();
    ended_ = true;
    if (!restarted_)
        cleanup();
}

void UpdateRun::entryRefused(const std::string&, const std::string&) {}

void UpdateRun::setStepLabels(const std::string& first, const std::string& second,
                              const std::string& third) {
    view_.setStepLabels(q(first), q(second), q(third));
}

bool UpdateRun::askWriteRetry(const std::string& message) {
    return view_.askOkCancel(q(message));
}

void UpdateRun::endRun() {
    end(false);
}

void UpdateRun::showNoUpdateNotice(const std::string& message) {
    view_.notify(q(message), options_.automatic);
}

void UpdateRun::finish() {
    FinishContext context{options_.installFolder, options_.dialect,
                          transfer_ ? transfer_->localFileList() : std::string(),
                          options_.programToRestart};
    finishRun(context, state_, *this, system_);
}

void UpdateRun::runCommand(const std::string& commandLine) {
    const auto argv = splitCommandLine(commandLine);
    if (!argv.empty())
        system_.startDetached(argv);
}

bool UpdateRun::askRebootNow(const std::string& message) {
    return view_.askYesNo(q(message));
}

void UpdateRun::showMessage(const std::string& message) {
    view_.showMessage(q(message));
}

void UpdateRun::closeRun(bool ok) {
    end(ok);
}

} // namespace vela
