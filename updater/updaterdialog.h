#pragma once

#include "updater/systemactions.h"
#include "updater/updaterun.h"

#include <QDialog>
#include <QFont>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace vela {

// The updater's window: the three steps, the file being fetched, the
// progress, the status and the result list. Object name "VelaUpdate1.x";
// each control carries its id as "ctl<id>".
class UpdaterDialog : public QDialog, public RunView {
    Q_OBJECT
public:
    UpdaterDialog(const std::vector<std::string>& arguments, SystemActions& system,
                  std::string installFolder, QWidget* parent = nullptr);
    ~UpdaterDialog() override;

    UpdateRun& run() { return *run_; }
    bool automatic() const { return automatic_; }
    const std::string& programToRestart() const { return programToRestart_; }

    // RunView
    void setStatus(const QString& text) override;
    void setCurrentStep(int phase) override;
    void setStepLabels(const QString& first, const QString& second, const QString& third) override;
    void setDownloadName(const QString& name) override;
    void setProgress(int percent) override;
    void addResultRow(const QString& name, const QString& size, const QString& version) override;
    void notify(const QString& message, bool automatic) override;
    void showMessage(const QString& message) override;
    void showFailure(const QString& message) override;
    bool askOkCancel(const QString& message) override;
    bool askYesNo(const QString& message) override;
    void closeView(bool ok) override;

    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    QWidget* modalParent();
    // How long a box waits for an answer: unbounded unless automatic.
    int unattendedMs() const;

    bool automatic_ = false;
    std::string programToRestart_;
    std::unique_ptr<UpdateRun> run_;
    QFont normalFont_;
    QFont boldFont_;
    QPushButton* startButton_ = nullptr;
    QPushButton* exitButton_ = nullptr;
    QPushButton* testButton_ = nullptr;
    QLabel* steps_[3] = {nullptr, nullptr, nullptr};
    QLabel* fileName_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QTimer autoStart_;
    bool closing_ = false;
};

} // namespace vela
