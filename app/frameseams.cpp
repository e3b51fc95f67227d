#include "frameseams.h"

#include "app/eyeapp.h"
#include "app/mainframe.h"
#include "app/workarea.h"
#include "base/settingskeys.h"
#include "base/settingsstore.h"

namespace kamelo {

QMainWindow* FrameSeams::createBrowserFrame(CEyeApp& app) {
    auto* frame = new CMainFrame(app);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    if (!app.openedWithFile() && app.store()->getInt(keys::kPosition, keys::kBrowserMaximize,
                                                     keys::kBrowserMaximizeDefault)) {
        // Without a window manager nothing maximizes: cover the work area.
        frame->setGeometry(workArea());
        frame->setWindowState(Qt::WindowMaximized);
    }
    return frame;
}

void FrameSeams::openViewer(CEyeApp& app, int hideBrowser, int openFlag) {
    app.openViewer(hideBrowser, openFlag);
}

} // namespace kamelo
