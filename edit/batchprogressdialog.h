#pragma once

#include "batchjob.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kamelo::edit {

class BatchControl;
class BatchLog;
class BatchWorker;

// The log, the file in work, the bar and one button of a batch run. Opening
// it starts the run; the button cancels a running one (the worker finishes
// its current file) and closes a finished one. The bar counts files and
// moves within a file as far as its decode and write report.
class BatchProgressDialog : public QDialog {
    Q_OBJECT
public:
    BatchProgressDialog(const QString& title, BatchJob job, QWidget* parent = nullptr);
    ~BatchProgressDialog() override;

    // Called on context's thread when the run has stopped, also after the
    // dialog is gone (the browser lists the folder again).
    void setStopHandler(QObject* context, std::function<void(int count)> handler);

    int exec() override;
    bool running() const { return running_; }
    int failures() const { return failures_; }

    static constexpr int kFileSteps = 100;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void reject() override;

private:
    void startRun();
    void append(const QString& line);
    void step();
    void fileBegun(int index, const QString& source);
    void showInWork();
    void onCompleted(int failures);
    void onOverwriteAsked(const QString& destination);
    void onButton();

    BatchJob job_;
    std::shared_ptr<BatchControl> control_;
    QObject* stopContext_ = nullptr;
    std::function<void(int)> stopHandler_;
    BatchLog* log_;
    QLabel* inWork_;
    QProgressBar* bar_;
    QPushButton* button_;
    int count_ = 0;
    int done_ = 0; // files reported, each worth kFileSteps on the bar
    QString inWorkPath_;
    QString inWorkText_;
    bool started_ = false;
    bool running_ = false;
    int failures_ = 0;
};

} // namespace kamelo::edit
