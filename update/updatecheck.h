#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace kamelo {
class SettingsStore;
}

namespace kamelo::update {

class HttpGetFile;

// What the check asks and tells the user; tests may drive the real dialogs.
class UpdatePrompt {
public:
    virtual ~UpdatePrompt() = default;
    // "카멜로를 업데이트합니다." with 예 / 아니오; true for 예.
    virtual bool confirmUpdate(QWidget* parent);
    virtual void message(QWidget* parent, const QString& text);
};

// The update check of the photo program: fetches the published file list,
// compares its version with the installed one and, with the user's consent,
// starts the updater and closes the program.
class UpdateCheck : public QObject {
    Q_OBJECT
public:
    struct Setup {
        QString url;               // the list's address
        std::string programFolder; // with a trailing '/'
        std::string programPath;   // the running program, absolute
        SettingsStore* store = nullptr;
        QWidget* frame = nullptr; // closed once the updater runs
        // Whether a package manager owns the program (PackageOwnership by
        // default): such a copy is told to update through it and never
        // starts the updater or the launcher.
        std::function<bool()> packageManaged;
    };

    UpdateCheck(Setup setup, QObject* parent = nullptr);
    ~UpdateCheck() override;

    void setPrompt(std::unique_ptr<UpdatePrompt> prompt);
    // Whether the machine has a network: an interface other than loopback
    // that is up and has an address. Replaceable for tests.
    void setConnectionTest(std::function<bool()> test) { connected_ = std::move(test); }
    static bool hasNetwork();
    // The current time in seconds since 1970; replaceable for tests.
    void setClock(std::function<double()> clock) { clock_ = std::move(clock); }

    // Starts the check; 1 when a download started, 0 when the connection
    // test or the throttle stopped it (or the download could not start).
    int check(bool testConnection, bool throttle);
    // The menu command: always checks, and says so when nothing is new.
    int checkOnRequest();
    // The launcher's result code (40-42 offer its update).
    void launcherResult(int code);

    bool userRequest() const { return userRequest_; }
    bool packageManaged() const { return packageManaged_; }
    // Where the downloaded list goes: the program folder, or the user's
    // cache folder when the package manager owns the program folder.
    std::string listPath() const;

signals:
    // The version comparison is over and no update started: the start-up
    // association check is due (when the settings ask for it).
    void associationCheckDue();
    // The updater runs and the frame is being closed.
    void updaterStarted();

private:
    void downloaded(int request, int result, int httpStatus);
    void compare();
    bool startUpdater();
    void writeCheckTime();
    void associationCheckIfDue();

    Setup setup_;
    std::unique_ptr<UpdatePrompt> prompt_;
    std::function<bool()> connected_;
    std::function<double()> clock_;
    HttpGetFile* fetcher_;
    int request_ = 0;
    bool userRequest_ = false;
    bool packageManaged_ = false;
};

} // namespace kamelo::update
