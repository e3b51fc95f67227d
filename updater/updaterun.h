#pragma once

#include "updater/finishrun.h"
#include "updater/installer.h"
#include "updater/serverlist.h"
#include "updater/updateplan.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

namespace vela {

class UpdateTransfer;

// What the run flow shows; the updater's window implements it, the tests
// have their own.
class RunView {
public:
    virtual ~RunView() = default;
    virtual void setStatus(const QString& text) = 0;
    // The bold step label: 1, 2 or 3.
    virtual void setCurrentStep(int phase) = 0;
    virtual void setStepLabels(const QString& first, const QString& second,
                               const QString& third) = 0;
    virtual void setDownloadName(const QString& name) = 0;
    virtual void setProgress(int percent) = 0;
    virtual void addResultRow(const QString& name, const QString& size, const QString& version) = 0;
    // A notice: timed in automatic mode, else a message box with OK.
    virtual void notify(const QString& message, bool automatic) = 0;
    virtual void showMessage(const QString& message) = 0;
    // A failure that ends the run: a message box with the warning icon.
    virtual void showFailure(const QString& message) = 0;
    // A file cannot be written: OK tries again (warning icon).
    virtual bool askOkCancel(const QString& message) = 0;
    virtual bool askYesNo(const QString& message) = 0;
    // Ends the window: true for the OK result.
    virtual void closeView(bool ok) = 0;
};

struct RunOptions {
    std::string installFolder;
    TransportMode mode;
    bool automatic = false;
    std::string programToRestart;
    // How the updater restarts itself after it replaced itself.
    std::string ownProgram;
    std::vector<std::string> ownArguments;
    ScriptDialect dialect = nativeScriptDialect();
};

// The result list's size column: kilobytes and a blank, 1 below 1024 bytes.
QString sizeColumnText(int64_t bytes);

// The run: the file list (phase 1), the planned files one by one (phase 2),
// installation (phase 3), each step started by a 500 ms timer or a download
// notice. Every downloaded file is checked against the list's size and CRC
// before anything is installed.
class UpdateRun : public QObject, private PlanHost, private InstallHost, private FinishHost {
    Q_OBJECT
public:
    UpdateRun(RunOptions options, RunView& view, SystemActions& system, QObject* parent = nullptr);
    ~UpdateRun() override;

    const std::string& tempFolder() const { return temp_; }
    int phase() const { return phase_; }
    const UpdatePlan& plan() const { return plan_; }
    bool restartedSelf() const { return restarted_; }
    bool ended() const { return ended_; }

    // The dialog opened: the temporary folder is made (emptied of what a
    // killed run left) and the old update script deleted.
    void open();
    // The start button or the automatic start: timer 1 in 500 ms.
    void start();
    // Stops downloads and removes the temporary files (not after a
    // restart, which needs them).
    void cleanupOnClose();

    // Stops the process at a named point (crash-recovery tests only):
    // "download" after the first block of a planned file, "install" after
    // the first file is installed.
    void setStopPoint(const std::string& point) { stopPoint_ = point; }

private:
    void onTimer();
    void startNextDownload();
    void onProgress(qint64 received, qint64 expected);
    void onCompleted(const QString& localPath);
    void onFailed(const QString& message);
    void entryDownloaded();
    void install();
    void restartSelf();
    void end(bool ok);
    void fail(const QString& message);
    void cleanup() override;

    // PlanHost
    void entryRefused(const std::string& pathName, const std::string& message) override;
    void setStepLabels(const std::string& first, const std::string& second,
                       const std::string& third) override;
    bool askWriteRetry(const std::string& message) override;
    void endRun() override;
    void showNoUpdateNotice(const std::string& message) override;
    void finish() override;
    // InstallHost
    void runCommand(const std::string& commandLine) override;
    // FinishHost
    bool askRebootNow(const std::string& message) override;
    void showMessage(const std::string& message) override;
    void closeRun(bool ok) override;

    RunOptions options_;
    RunView& view_;
    SystemActions& system_;
    std::string temp_;
    int phase_ = 1;
    UpdatePlan plan_;
    InstallState state_;
    ServerSettings server_;
    std::unique_ptr<UpdateTransfer> transfer_;
    QTimer timer1_;
    int64_t expected_ = 0;
    bool restarted_ = false;
    bool ended_ = false;
    bool cleaned_ = false;
    std::string stopPoint_;
};

} // namespace vela
