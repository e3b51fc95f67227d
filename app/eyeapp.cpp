#include "eyeapp.h"

#include "app/folderlisting.h"

#include "app/afterpictureload.h"
#include "app/displaycolourlink.h"
#include "app/eyeappseams.h"
#include "app/mainframe.h"
#include "app/settingsexit.h"
#include "base/commandline.h"
#include "base/pictureextensions.h"
#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "base/thumbcachereset.h"
#include "browser/browseview.h"
#include "browser/thumblistctrl.h"
#include "edit/batchhandover.h"
#include "edit/batchworker.h"
#include "edit/picturetools.h"
#include "frames/ui/frametools.h"
#include "imaging/core/filebytes.h"
#include "import/importworker.h"
#include "platform/nameorder.h"
#include "prefs/preferencessheet.h"
#include "resources/qtstrings.h"
#include "viewer/eyedoc.h"
#include "viewer/showview.h"
#include "viewer/slideshowpage.h"

#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QTimer>

#include <unistd.h>

namespace kamelo {

namespace {
CEyeApp* g_eyeApp = nullptr;
}

CEyeApp* eyeApp() {
    return g_eyeApp;
}

CEyeApp::CEyeApp(StartupOptions options, std::unique_ptr<EyeAppSeams> seams)
    : options_(std::move(options)), seams_(std::move(seams)), doc_(std::make_unique<CEyeDoc>()),
      handOver_(std::make_unique<edit::BatchHandOver>()) {
    g_eyeApp = this;
    handOver_->setDocument(doc_.get());
}

CEyeApp::~CEyeApp() {
    if (!exited_)
        exitInstance(0);
    if (g_eyeApp == this)
        g_eyeApp = nullptr;
}

void CEyeApp::openSettings() {
    std::string path =
        options_.settingsPath.empty() ? SettingsStore::defaultPath() : options_.settingsPath;
    store_ = std::make_unique<SettingsStore>(path);
}

void CEyeApp::saveSettings() {
    const QStringList lost =
        SettingsExit::save(*store_, settings_, loadedSettings_, options_.settingsRetryMs);
    // Told once: the exit runs once.
    if (!lost.isEmpty())
        seams_->showMessage(SettingsExit::message(lost));
}

void CEyeApp::reportStoreProblem() {
    QString shownPath;
    int id = 0;
    switch (store_->openStatus()) {
    case StoreOpenStatus::Ok:
        return;
    case StoreOpenStatus::RecoveredFromDamage:
        id = res::IDS_MSG_SETTINGS_DAMAGED;
        shownPath = QString::fromStdString(store_->damagedCopyPath());
        break;
    case StoreOpenStatus::ReadOnly:
        id = res::IDS_MSG_SETTINGS_READ_ONLY;
        shownPath = QString::fromStdString(store_->path());
        break;
    case StoreOpenStatus::InMemoryOnly:
        id = store_->lockedAtOpen() ? res::IDS_MSG_SETTINGS_LOCKED
                                    : res::IDS_MSG_SETTINGS_UNAVAILABLE;
        shownPath = QString::fromStdString(store_->path());
        break;
    }
    seams_->showMessage(res::qtext(id).replace(QLatin1String("%s"), shownPath));
}

bool CEyeApp::initInstance() {
    // The preferences sheet's slide-show page is the viewer's.
    prefs::setSlideShowPageFactory([](SettingsStore& store, QWidget* parent) {
        auto* page = new CSlideShowPage(store, parent);
        return prefs::ForeignPage{page, [page] { page->apply(); }};
    });
    // The edit panel's tools and their batch runs.
    edit::registerPictureTools();
    // The settings store comes first: everything after it reads settings.
    openSettings();
    reportStoreProblem();

    settings_.load(*store_);
    loadedSettings_ = settings_;
    setUiSettings(&settings_);
    setSettingsStore(store_.get());
    // Before any window paints: pictures come out in their colours at once.
    DisplayColourLink::applySettings(settings_);
    colourLink_ = std::make_unique<DisplayColourLink>();

    folders_ = ProgramFolders::prepare(
        options_.programFolder.empty() ? ProgramFolders::executableFolder()
                                       : options_.programFolder,
        options_.userDataFolder.empty() ? ProgramFolders::defaultUserDataFolder()
                                        : options_.userDataFolder);

    // The frame tool lists the skins of the program's skin folder.
    frames::registerFrameTool(folders_.skin);

    cacheInvalidated_ = ThumbCacheReset::clearIfStale(*store_, folders_.cache);

    commandLinePicture_ = CommandLine::picturePath(options_.arguments);
    openedWithFile_ = commandLinePicture_.empty() ? 0 : 1;

    if (openedWithFile_) {
        // Opened for reading only, to refuse a name that cannot be opened
        // before any window appears; a folder, FIFO or device is refused
        // without waiting on it.
        int fd = -1;
        const bool readable = imaging::openRegularFile(commandLinePicture_, fd) >= 1;
        if (fd >= 0)
            ::close(fd);
        if (!readable) {
            seams_->showMessage(
                res::qtext(res::IDS_MSG_OPEN_DOCUMENT_FAILED)
                    .replace(QLatin1String("%s"), QString::fromStdString(commandLinePicture_)));
            return false;
        }
    }
    if (openedWithFile_) {
        // The viewer first: the hidden browser would hold its window back.
        seams_->openViewer(*this, 1, 1);
        CShowFrame* viewer = viewerFrame_;
        afterFirstPicture(viewer ? viewer->view() : nullptr, [this] { browserFrame(); });
    } else {
        if (!makeBrowserFrame())
            return false;
        browserFrame_->show();
        browserFrame_->repaint();
    }

    if (seams_->runStartupUpdateCheck(*this, true, true) == 0 &&
        store_->getInt(keys::kGeneralLower, keys::kCheckFileAssociation,
                       keys::kCheckFileAssociationDefault) == 0)
        seams_->runFileAssociationCheck(*this);
    return true;
}

int CEyeApp::exitInstance(int exitCode) {
    if (exited_)
        return exitCode;
    exited_ = true;
    // A cancelled batch run may still be finishing its current file.
    edit::BatchWorker::waitForAll();
    acquire::ImportWorker::waitForAll();
    if (store_)
        saveSettings();
    colourLink_.reset();
    if (uiSettings() == &settings_)
        setUiSettings(nullptr);
    if (settingsStore() == store_.get())
        setSettingsStore(nullptr);
    return exitCode;
}

} // namespace kamelo

namespace kamelo {

bool CEyeApp::makeBrowserFrame() {
    if (!browserMade_) {
        browserMade_ = true;
        browserFrame_ = seams_->createBrowserFrame(*this);
    }
    return browserFrame_;
}

QMainWindow* CEyeApp::browserFrame() {
    // Not again once closed: the program is ending.
    if (!exited_)
        makeBrowserFrame();
    return browserFrame_;
}

CMainFrame* CEyeApp::mainFrame() {
    return qobject_cast<CMainFrame*>(browserFrame());
}

CMainFrame* CEyeApp::madeMainFrame() const {
    return qobject_cast<CMainFrame*>(browserFrame_.data());
}

void CEyeApp::fillDocumentFromFolder(const std::string& path) {
    PictureList& list = doc_->list();
    list.clear();
    listedPicture_ = QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString();
    if (!PictureExtensions::isPicturePath(listedPicture_)) {
        // Not a picture itself: the folder's first picture is shown, so the
        // list is needed before anything can be.
        for (const std::string& p : FolderListing::list(path).paths)
            list.append(p);
        return;
    }
    list.append(listedPicture_);
    listing_ = std::make_unique<FolderListing>(path);
    QObject::connect(listing_.get(), &FolderListing::ready, listing_.get(),
                     [this] { applyFolderListing(false); });
    doc_->setListCompleter([this] { applyFolderListing(true); });
}

void CEyeApp::applyFolderListing(bool now) {
    if (!listing_)
        return;
    CShowView* view = viewerFrame_ ? viewerFrame_->view() : nullptr;
    if (!now && view && view->isLoading()) {
        // Not under a decode that is reading its place in the list.
        QTimer::singleShot(15, listing_.get(), [this] { applyFolderListing(false); });
        return;
    }
    const FolderListing::Result r = listing_->take();
    // Gone after this call: this may run inside its own notice.
    listing_.release()->deleteLater();
    doc_->setListCompleter(nullptr);
    PictureList& list = doc_->list();
    // Only the list this listing was started for is replaced.
    if (list.count() != 1 || list.pathAt(0) != listedPicture_)
        return;
    list.clear();
    for (const std::string& p : r.paths)
        list.append(p);
    // A picture that went meanwhile leaves the position at the first.
    list.setCurrent(std::max(0, r.current));
    if (view)
        view->listChanged();
}

void CEyeApp::openViewer(int hideBrowser, int openFlag) {
    if (openedWithFile_)
        fillDocumentFromFolder(commandLinePicture_);
    auto* frame = new CShowFrame(*this, openFlag);
    viewerFrame_ = frame;
    frame->initialUpdate();
    if (!openedWithFile_)
        if (CMainFrame* m = mainFrame())
            m->storePlacement();
    if (hideBrowser && browserFrame_)
        browserFrame_->hide();
}

void CEyeApp::returnToBrowser() {
    CShowFrame* viewer = viewerFrame_;
    if (!viewer)
        return;
    // Unsaved changes first: Cancel keeps the viewer.
    if (!viewer->view()->settleChanges())
        return;
    viewer->setCloseApplication(0);
    // Made as a browser started with a picture would be, if not yet made.
    CMainFrame* m = mainFrame();
    // The first return makes the program one that was started without a file.
    openedWithFile_ = 0;
    if (m)
        m->showBrowserAgain(QString::fromStdString(doc_->list().currentPath()));
    else if (browserFrame_)
        browserFrame_->show();
    viewer->close();
}

void CEyeApp::viewerClosed(CShowFrame* frame, bool closeApplication) {
    if (viewerFrame_ == frame)
        viewerFrame_ = nullptr;
    if (closeApplication && browserFrame_)
        QTimer::singleShot(0, browserFrame_.data(), &QWidget::close);
}

} // namespace kamelo
