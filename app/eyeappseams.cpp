#include "eyeappseams.h"

#include "app/eyeapp.h"
#include "resources/qtstrings.h"

#include <QMainWindow>
#include <QMessageBox>

namespace kamelo {

QMainWindow* BasicEyeAppSeams::createBrowserFrame(CEyeApp&) {
    auto* frame = new QMainWindow;
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->setWindowTitle(res::qtext(res::IDS_APP_TITLE));
    frame->resize(960, 640);
    return frame;
}

void BasicEyeAppSeams::openViewer(CEyeApp& app, int, int) {
    // No viewer yet: show the browser frame so that the program is usable.
    if (app.browserFrame())
        app.browserFrame()->show();
}

int BasicEyeAppSeams::runStartupUpdateCheck(CEyeApp&, bool, bool) {
    return 0;
}

void BasicEyeAppSeams::runFileAssociationCheck(CEyeApp&) {}

void BasicEyeAppSeams::showMessage(const QString& text) {
    QMessageBox::warning(nullptr, res::qtext(res::IDS_APP_TITLE), text);
}

} // namespace kamelo
