#pragma once

#include "base/programfolders.h"
#include "base/uisettings.h"

#include <QPointer>

#include "app/showframe.h"
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

#include <QMainWindow>

namespace kamelo {

class FolderListing;

namespace edit {
class BatchHandOver;
}

class CEyeDoc;
class CMainFrame;
class DisplayColourLink;
class CShowFrame;
class EyeAppSeams;
class SettingsStore;

// Where the program finds its folders and settings; tests point these at
// scratch folders.
struct StartupOptions {
    std::string programFolder;          // empty: the folder of the running executable
    std::string settingsPath;           // empty: SettingsStore::defaultPath()
    std::string userDataFolder;         // empty: ProgramFolders::defaultUserDataFolder()
    std::vector<std::string> arguments; // command line after the program name
    // How long the exit waits for another program's lock on the settings.
    int settingsRetryMs = 3000;
};

// The application object: starts the program in a fixed order, holds the
// application-wide state and releases it at exit.
class CEyeApp {
public:
    CEyeApp(StartupOptions options, std::unique_ptr<EyeAppSeams> seams);
    ~CEyeApp();
    CEyeApp(const CEyeApp&) = delete;
    CEyeApp& operator=(const CEyeApp&) = delete;

    // Returns true when the program runs on, false to end it at once.
    bool initInstance();
    // Saves the settings and releases what start-up took; returns exitCode.
    int exitInstance(int exitCode);

    // Application state, in the order of the original application object.
    const std::string& skinFolder() const { return folders_.skin; }
    const std::string& tempFolder() const { return folders_.temp; }
    const std::string& commandLinePicture() const { return commandLinePicture_; }
    int openedWithFile() const { return openedWithFile_; }
    void setOpenedWithFile(int flag) { openedWithFile_ = flag; }
    const std::string& cacheFolder() const { return folders_.cache; }
    CUiSettings& settings() { return settings_; }
    CShowFrame* viewerFrame() const { return viewerFrame_; }
    std::vector<std::string>& printFileList() { return printFileList_; }
    int userRequestedUpdate() const { return userRequestedUpdate_; }
    void setUserRequestedUpdate(int flag) { userRequestedUpdate_ = flag; }

    CEyeDoc& doc() { return *doc_; }
    // A batch a browser command hands to the viewer's edit panel.
    edit::BatchHandOver& batchHandOver() { return *handOver_; }
    // The browser frame when it is the program's own (not a stand-in window).
    // Started on a picture, the program makes it once the picture is on
    // screen, or when it is needed before.
    CMainFrame* mainFrame();
    // The same only when made already: for news it takes when it lists them.
    CMainFrame* madeMainFrame() const;

    // Opens the viewer frame on the document (filled from the command-line
    // picture's folder when the program runs on one) and hides the browser
    // when asked.
    void openViewer(int hideBrowser, int openFlag);
    // Command 1293: back from the viewer to the browser.
    void returnToBrowser();
    // The viewer frame tells the application it is closing.
    void viewerClosed(CShowFrame* frame, bool closeApplication);
    // Fills the document with the pictures of the path's folder, in name
    // order, the path's own position current.
    // The document's list for a picture given on the command line: the
    // picture at once, its folder's other pictures once they are listed.
    void fillDocumentFromFolder(const std::string& path);

    const ProgramFolders& folders() const { return folders_; }
    SettingsStore* store() const { return store_.get(); }
    QMainWindow* browserFrame();
    bool cacheWasInvalidated() const { return cacheInvalidated_; }
    // The colour state's link to the settings and the screens' profiles.
    DisplayColourLink* colourLink() const { return colourLink_.get(); }

private:
    void openSettings();
    void reportStoreProblem();
    void saveSettings();
    // Puts the folder listing into the document's list (waiting for it when
    // now; else later when the viewer is decoding).
    void applyFolderListing(bool now);
    // Makes the browser frame once; false when it could not be made.
    bool makeBrowserFrame();

    StartupOptions options_;
    std::unique_ptr<EyeAppSeams> seams_;
    std::unique_ptr<SettingsStore> store_;
    std::unique_ptr<CEyeDoc> doc_;
    std::unique_ptr<edit::BatchHandOver> handOver_;
    std::unique_ptr<DisplayColourLink> colourLink_;

    ProgramFolders folders_;
    std::string commandLinePicture_;
    std::unique_ptr<FolderListing> listing_;
    std::string listedPicture_;
    int openedWithFile_ = 0;
    CUiSettings settings_;
    CUiSettings loadedSettings_; // as read at start, to see what changed
    QPointer<CShowFrame> viewerFrame_;
    std::vector<std::string> printFileList_;
    int userRequestedUpdate_ = 0;

    QPointer<QMainWindow> browserFrame_;
    bool browserMade_ = false;
    bool cacheInvalidated_ = false;
    bool exited_ = false;
};

// The one application object of the running program.
CEyeApp* eyeApp();

} // namespace kamelo
