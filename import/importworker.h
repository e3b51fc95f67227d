#pragma once

#include "importjob.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

class QThread;

namespace kamelo::acquire {

// Shared by the worker and the wizard; outlives both, so a wizard that is
// gone and a worker still finishing its file never meet freed memory.
class ImportControl {
public:
    // Ends the run after the current file (its partial copy is removed).
    void stop();
    // The wizard no longer waits: the run ends without deleting sources.
    void detach();
    bool stopped() const { return stop_.load(); }
    const std::atomic<bool>& stopFlag() const { return stop_; }
    const std::atomic<bool>& detachedFlag() const { return detached_; }

    // Worker side: clearAnswer() before the question is put, then
    // waitForAnswer() until answer() or stop() (which answers Stop).
    void clearAnswer();
    ClashChoice waitForAnswer();
    // User-interface side.
    void answer(ClashChoice choice);

    // Called by the worker as its last step; waitFinished() returns true
    // once it has, or false after ms milliseconds.
    void markFinished();
    bool waitFinished(int ms);
    bool finished() const { return finished_.load(); }

    void setSummary(ImportSummary s);
    ImportSummary summary() const;

private:
    std::atomic<bool> stop_{false};
    std::atomic<bool> detached_{false};
    std::atomic<bool> finished_{false};
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<ClashChoice> answer_;
    ImportSummary summary_;
};

// One import run on its own thread. Reports by queued signals only; the
// numbers of the messages they stand for are kept as constants.
class ImportWorker : public QObject {
    Q_OBJECT
public:
    static constexpr int kMsgCount = 0x0400 + 3;  // 1027: the progress range
    static constexpr int kMsgFile = 0x0400 + 4;   // 1028: the file being written
    static constexpr int kMsgDone = 0x0400 + 6;   // 1030: all done
    static constexpr int kMsgClashStopped = 1064; // stopped at a name clash

    // A run on a new thread, started by start() once the signals are
    // connected. The worker and its thread delete themselves when it ends.
    static ImportWorker* create(ImportJob job, std::shared_ptr<ImportControl> control);
    void start();
    // Waits for the runs still going (tests, program exit).
    static void waitForAll();

signals:
    void started(int count);
    void copying(const QString& source, const QString& destination);
    void fileFailed(const QString& source, const QString& reason);
    // The worker waits until ImportControl::answer() or stop().
    void clashAsked(const QString& existing, const QString& source);
    void stoppedAtClash();
    // The summary is in the control.
    void done();

private:
    ImportWorker(ImportJob job, std::shared_ptr<ImportControl> control);
    void run();

    QThread* thread_ = nullptr;
    ImportJob job_;
    std::shared_ptr<ImportControl> control_;
};

} // namespace kamelo::acquire
