#include "updatecheck.h"

#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "resources/qtstrings.h"
#include "update/core/instanceregistry.h"
#include "update/core/packageowned.h"
#include "update/core/updaterlaunch.h"
#include "update/core/updaterules.h"
#include "update/httpgetfile.h"

#include <QMessageBox>
#include <QNetworkInterface>
#include <QPushButton>
#include <QWidget>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <unistd.h>

namespace kamelo::update {

bool UpdatePrompt::confirmUpdate(QWidget* parent) {
    QMessageBox box(QMessageBox::Question, res::qtext(res::IDS_UPDATE_CAPTION),
                    res::qtext(res::IDS_UPDATE_AVAILABLE) + res::qtext(res::IDS_UPDATE_CLOSES_ALL) +
                        QStringLiteral("\n\n") + res::qtext(res::IDS_UPDATE_CONTINUE),
                    QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(res::qtext(res::IDS_YES), QMessageBox::YesRole);
    QPushButton* no = box.addButton(res::qtext(res::IDS_NO), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void UpdatePrompt::message(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, res::qtext(res::IDS_APP_TITLE), text);
}

UpdateCheck::UpdateCheck(Setup setup, QObject* parent)
    : QObject(parent), setup_(std::move(setup)), prompt_(std::make_unique<UpdatePrompt>()),
      connected_(&UpdateCheck::hasNetwork), clock_([] { return double(std::time(nullptr)); }),
      fetcher_(new HttpGetFile(this)) {
    packageManaged_ = setup_.packageManaged
                          ? setup_.packageManaged()
                          : PackageOwnership::managed(setup_.programFolder);
    connect(fetcher_, &HttpGetFile::httpGetFileResult, this,
            [this](int request, int result, const QString&, int httpStatus) {
                downloaded(request, result, httpStatus);
            });
}

std::string UpdateCheck::listPath() const {
    if (!packageManaged_)
        return setup_.programFolder + kListFile;
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    const std::string folder =
        (cache && cache[0] == '/' ? std::string(cache)
                                  : std::string(home ? home : "") + "/.cache") +
        "/kamelo";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder + "/" + kListFile;
}

UpdateCheck::~UpdateCheck() = default;

void UpdateCheck::setPrompt(std::unique_ptr<UpdatePrompt> prompt) {
    prompt_ = std::move(prompt);
}

bool UpdateCheck::hasNetwork() {
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& i : interfaces) {
        const auto flags = i.flags();
        if (!(flags & QNetworkInterface::IsUp) || (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& a : i.addressEntries())
            if (!a.ip().isNull() && !a.ip().isLoopback())
                return true;
    }
    return false;
}

int UpdateCheck::check(bool testConnection, bool throttle) {
    if (testConnection && !connected_())
        return 0;
    if (throttle) {
        const double last = UpdateRules::parseCheckTime(
            setup_.store->getString(keys::kGeneral, kLastCheckKey, std::string()));
        if (UpdateRules::throttled(clock_(), last))
            return 0;
    }
    request_ = fetcher_->start(setup_.url, QString::fromStdString(listPath()),
                               QString::fromLatin1(kAgent), kMaxListBytes);
    return request_ != 0 ? 1 : 0;
}

int UpdateCheck::checkOnRequest() {
    userRequest_ = true;
    const int started = check(false, false);
    if (!started) {
        userRequest_ = false;
        prompt_->message(setup_.frame, res::qtext(res::IDS_UPDATE_SERVER_UNREACHABLE));
    }
    return started;
}

void UpdateCheck::writeCheckTime() {
    setup_.store->setString(keys::kGeneral, kLastCheckKey, UpdateRules::formatCheckTime(clock_()));
}

void UpdateCheck::associationCheckIfDue() {
    if (setup_.store->getInt(keys::kGeneralLower, keys::kCheckFileAssociation,
                             keys::kCheckFileAssociationDefault) == 0)
        emit associationCheckDue();
}

void UpdateCheck::downloaded(int request, int result, int httpStatus) {
    if (request != request_)
        return;
    request_ = 0;
    if (result != 1 && httpStatus != 0) {
        // The server answered but has no list: a failed download, which
        // shows as the missing version (not as a server that is down).
        userRequest_ = false;
        prompt_->message(setup_.frame, res::qtext(res::IDS_MSG_UPDATE_NO_VERSION));
        return;
    }
    if (result != 1) {
        // Only the user who asked hears of it; a start-up check stays quiet.
        if (userRequest_)
            prompt_->message(setup_.frame, res::qtext(res::IDS_UPDATE_SERVER_UNREACHABLE));
        userRequest_ = false;
        associationCheckIfDue();
        return;
    }
    compare();
}

void UpdateCheck::compare() {
    const VersionComparison c =
        UpdateRules::compareVersions(listPath(), setup_.programFolder + kIniFile);
    if (c.outcome == VersionOutcome::Missing) {
        userRequest_ = false;
        prompt_->message(setup_.frame, res::qtext(res::IDS_MSG_UPDATE_NO_VERSION));
        return;
    }
    if (c.outcome == VersionOutcome::Different && packageManaged_) {
        // The updater would overwrite the package's files behind its back.
        prompt_->message(setup_.frame, res::qtext(res::IDS_UPDATE_USE_PACKAGE_MANAGER));
        writeCheckTime();
    } else if (c.outcome == VersionOutcome::Different) {
        if (prompt_->confirmUpdate(setup_.frame) && startUpdater())
            return;
    } else {
        if (userRequest_)
            prompt_->message(setup_.frame, res::qtext(res::IDS_MSG_NO_UPDATE));
        writeCheckTime();
    }
    userRequest_ = false;
    associationCheckIfDue();
}

bool UpdateCheck::startUpdater() {
    if (packageManaged_)
        return false;
    const std::string folder = setup_.programFolder;
    const std::string temp = folder + kTempUpdater;
    std::string error;
    // The copy first: when it fails nothing else has happened yet.
    if (!UpdaterLaunch::copyFile(folder + kUpdater, temp, error)) {
        prompt_->message(setup_.frame, QString::fromStdString(res::format(
                                           res::IDS_UPDATE_COPY_FAILED, error.c_str())));
        return false;
    }
    if (!UpdaterLaunch::startDetached(temp, {setup_.programPath, "/auto"}, folder, error)) {
        prompt_->message(setup_.frame, QString::fromStdString(res::format(
                                           res::IDS_UPDATE_START_FAILED, error.c_str())));
        return false;
    }
    InstanceRegistry().endOthers(::getpid(), InstanceRegistry::executableOf(::getpid()));
    writeCheckTime();
    userRequest_ = false;
    emit updaterStarted();
    if (setup_.frame)
        QMetaObject::invokeMethod(setup_.frame, &QWidget::close, Qt::QueuedConnection);
    return true;
}

void UpdateCheck::launcherResult(int code) {
    if (!UpdateRules::launcherCodeLeadsOn(code))
        return;
    if (packageManaged_) {
        prompt_->message(setup_.frame, res::qtext(res::IDS_UPDATE_USE_PACKAGE_MANAGER));
        associationCheckIfDue();
        return;
    }
    if (prompt_->confirmUpdate(setup_.frame)) {
        const std::string folder = setup_.programFolder;
        const std::string copy = folder + kLauncherCopy;
        std::string error;
        if (UpdaterLaunch::copyFile(folder + kLauncher, copy, error) &&
            UpdaterLaunch::startDetached(copy, {UpdateRules::launcherParameter("run")}, folder,
                                         error)) {
            if (setup_.frame)
                QMetaObject::invokeMethod(setup_.frame, &QWidget::close, Qt::QueuedConnection);
        } else {
            prompt_->message(setup_.frame, res::qtext(res::IDS_LAUNCHER_FAILED));
        }
    }
    associationCheckIfDue();
}

} // namespace kamelo::update
