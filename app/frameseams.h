#pragma once

#include "app/eyeappseams.h"

namespace kamelo {

// Start-up with the program's own frames: the browser frame, and the viewer
// frame when a picture was named. The update check and the association check
// take no action until their features exist.
class FrameSeams : public BasicEyeAppSeams {
public:
    QMainWindow* createBrowserFrame(CEyeApp& app) override;
    void openViewer(CEyeApp& app, int hideBrowser, int openFlag) override;
};

} // namespace kamelo
