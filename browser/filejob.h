#pragma once

#include "platform/core/fileops.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

class QWidget;

namespace kamelo {

class FileUi;

// Runs file work on a worker thread while the window stays responsive and a
// progress dialog with a cancel button shows for anything that takes long.
// Questions the work asks (name clashes) are put to the user on the window's
// thread while the work waits.
class FileJob {
public:
    FileJob(QWidget* parent, FileUi& ui, QString title);

    // Returns when the work has ended.
    void run(const std::function<void(FileJob&)>& work);

    // For the work: progress (false once the user cancelled) and questions.
    bool progress(uint64_t done, uint64_t total);
    FileOps::Clash askClash(const std::string& target);
    FileOps::Callbacks callbacks();
    bool cancelled() const { return cancelled_.load(); }

private:
    QWidget* parent_;
    FileUi& ui_;
    QString title_;
    std::atomic<uint64_t> done_{0};
    std::atomic<uint64_t> total_{0};
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> finished_{false};
    std::mutex mutex_;
    std::condition_variable answered_;
    bool asking_ = false;
    std::string question_;
    FileOps::Clash answer_ = FileOps::Clash::Skip;
};

} // namespace kamelo
