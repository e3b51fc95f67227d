#pragma once

#include <QString>

class QMainWindow;

namespace kamelo {

class CEyeApp;

// The steps of start-up that belong to the frames, the update client and the
// file associations. CEyeApp calls them in its fixed order; each feature plugs
// its own implementation in here.
class EyeAppSeams {
public:
    virtual ~EyeAppSeams() = default;

    // Creates the browser frame, hidden. Null ends the program.
    virtual QMainWindow* createBrowserFrame(CEyeApp& app) = 0;
    // Opens the viewer frame on the application's command-line picture.
    virtual void openViewer(CEyeApp& app, int hideBrowser, int openFlag) = 0;
    // Start-up update check; returns 0 when it took no action.
    virtual int runStartupUpdateCheck(CEyeApp& app, bool testConnection, bool throttle) = 0;
    virtual void runFileAssociationCheck(CEyeApp& app) = 0;
    // A modal message box with the program's caption.
    virtual void showMessage(const QString& text) = 0;
};

// What the program does before the frames, update client and associations
// exist: an empty main window titled "Kamelo", no update check and no
// association check.
class BasicEyeAppSeams : public EyeAppSeams {
public:
    QMainWindow* createBrowserFrame(CEyeApp& app) override;
    void openViewer(CEyeApp& app, int hideBrowser, int openFlag) override;
    int runStartupUpdateCheck(CEyeApp& app, bool testConnection, bool throttle) override;
    void runFileAssociationCheck(CEyeApp& app) override;
    void showMessage(const QString& text) override;
};

} // namespace kamelo
