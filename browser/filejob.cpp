#include "filejob.h"

#include "chrome/fileui.h"
#include "resources/qtstrings.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

#include <thread>

namespace kamelo {

FileJob::FileJob(QWidget* parent, FileUi& ui, QString title)
    : parent_(parent), ui_(ui), title_(std::move(title)) {}

bool FileJob::progress(uint64_t done, uint64_t total) {
    done_.store(done);
    total_.store(total);
    return !cancelled_.load();
}

FileOps::Clash FileJob::askClash(const std::string& target) {
    std::unique_lock<std::mutex> lock(mutex_);
    question_ = target;
    asking_ = true;
    answered_.wait(lock, [this] { return !asking_; });
    return answer_;
}

FileOps::Callbacks FileJob::callbacks() {
    FileOps::Callbacks cb;
    cb.progress = [this](uint64_t done, uint64_t total) { return progress(done, total); };
    cb.clash = [this](const std::string& target) { return askClash(target); };
    return cb;
}

void FileJob::run(const std::function<void(FileJob&)>& work) {
    QProgressDialog dialog(title_, res::qtext(res::IDS_PROGRESS_CANCEL), 0, 1000, parent_);
    dialog.setWindowTitle(res::qtext(res::IDS_APP_TITLE));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(400); // short jobs show no dialog at all
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    QObject::connect(&dialog, &QProgressDialog::canceled, [this] { cancelled_.store(true); });

    std::thread worker([this, &work] {
        work(*this);
        finished_.store(true);
    });
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const uint64_t total = total_.load();
        if (total > 0)
            dialog.setValue(int(done_.load() * 1000 / total));
        bool ask = false;
        std::string target;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ask = asking_;
            target = question_;
        }
        if (ask) {
            poll.stop();
            FileOps::Clash a = ui_.clash(parent_, QString::fromStdString(target));
            {
                std::lock_guard<std::mutex> lock(mutex_);
                answer_ = a;
                asking_ = false;
            }
            answered_.notify_all();
            poll.start();
        }
        if (finished_.load())
            loop.quit();
    });
    poll.start(30);
    loop.exec();
    worker.join();
}

} // namespace kamelo
