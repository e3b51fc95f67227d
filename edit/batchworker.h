#pragma once

#include "batchjob.h"
#include "edit/core/overwritestate.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

class QThread;

namespace kamelo::edit {

// Shared by the worker and whoever started it; outlives both, so a dialog
// that is gone and a worker that still finishes its file never meet freed
// memory.
class BatchControl {
public:
    void stop();
    bool stopped() const { return stop_.load(); }
    const std::atomic<bool>& flag() const { return stop_; }

    // Worker side: clearAnswer() before the question is put, then
    // waitForAnswer() until answer() or stop().
    void clearAnswer();
    OverwriteAnswer waitForAnswer();
    // User-interface side.
    void answer(OverwriteAnswer a);

private:
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<OverwriteAnswer> answer_;
};

// One batch run on its own thread. Reports by queued signals only; the
// numbers of the messages they stand for are kept as constants.
class BatchWorker : public QObject {
    Q_OBJECT
public:
    static constexpr int kMsgCount = 0x0400 + 3;    // range of the progress bar
    static constexpr int kMsgFile = 0x0400 + 4;     // one file written
    static constexpr int kMsgStopped = 0x0400 + 5;  // to the browser: list the folder again
    static constexpr int kMsgComplete = 0x0400 + 6; // "완료"

    // A run on a new thread, started by start() once the signals are
    // connected. The worker and its thread delete themselves when it ends.
    static BatchWorker* create(BatchJob job, std::shared_ptr<BatchControl> control);
    void start();
    // Waits for every run still finishing a file (at program exit).
    static void waitForAll();

signals:
    void started(int count);
    // The file at index (0-based) is in work; percent: how far it has come.
    void fileBegun(int index, const QString& source);
    void fileProgress(int percent);
    void fileWritten(const QString& source, const QString& destination);
    void fileFailed(const QString& source, const QString& reason);
    // A remark on the file just written (a turn that had to compress again).
    void fileNoted(const QString& source, const QString& note);
    void folderFailed(const QString& folder, const QString& reason);
    // The worker waits until BatchControl::answer() or stop().
    void overwriteAsked(const QString& destination);
    void completed(int failures);
    void stopped(int count);

private:
    BatchWorker(BatchJob job, std::shared_ptr<BatchControl> control);
    void run();

    QThread* thread_ = nullptr;
    BatchJob job_;
    std::shared_ptr<BatchControl> control_;
};

} // namespace kamelo::edit
