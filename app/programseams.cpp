#include "programseams.h"

#include "app/afterpictureload.h"
#include "app/eyeapp.h"
#include "app/showframe.h"
#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "desktop/associationdialog.h"
#include "desktop/programpath.h"
#include "resources/qtstrings.h"
#include "update/updatecheck.h"
#include "viewer/showview.h"

#include <QApplication>
#include <QMainWindow>


namespace kamelo {

namespace {
bool anyFrameVisible() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(w) && w->isVisible())
            return true;
    return false;
}

void associationCheck(CEyeApp& app) {
    CShowFrame* viewer = app.viewerFrame();
    CEyeApp* a = &app;
    afterPictureLoaded(viewer ? viewer->view() : nullptr, [a] {
        desktop::AssociationDialog::runStartupCheck(*a->store(), a->browserFrame());
    });
}

} // namespace

ProgramSeams::~ProgramSeams() {
    // A check still downloading at the end (no network, a slow server) is
    // stopped and waited for here: its thread must not outlive the
    // application it reports to.
    for (QWidget* w : QApplication::topLevelWidgets())
        qDeleteAll(w->findChildren<update::UpdateCheck*>(Qt::FindDirectChildrenOnly));
}

update::UpdateCheck* ProgramSeams::updateCheck(CEyeApp& app) {
    QMainWindow* frame = app.browserFrame();
    if (!frame)
        return nullptr;
    if (auto* existing = frame->findChild<update::UpdateCheck*>())
        return existing;
    update::UpdateCheck::Setup setup;
    setup.url = res::qtext(res::IDS_UPDATE_LIST_URL);
    setup.programFolder = app.folders().programFolder;
    setup.programPath = desktop::runningProgramPath();
    setup.store = app.store();
    setup.frame = frame;
    auto* check = new update::UpdateCheck(setup, frame);
    CEyeApp* a = &app;
    QObject::connect(check, &update::UpdateCheck::associationCheckDue, frame, [a] {
        CShowFrame* viewer = a->viewerFrame();
        afterPictureLoaded(viewer ? viewer->view() : nullptr, [a] {
            // Not once the program is ending (its windows closed, say by
            // SIGTERM, while the check was still running): the question
            // would hold it open with no window to answer from.
            if (anyFrameVisible())
                desktop::AssociationDialog::runStartupCheck(*a->store(), a->browserFrame());
        });
    });
    return check;
}

int ProgramSeams::runStartupUpdateCheck(CEyeApp& app, bool testConnection, bool throttle) {
    CShowFrame* viewer = app.viewerFrame();
    if (!viewer) {
        update::UpdateCheck* check = updateCheck(app);
        return check ? check->check(testConnection, throttle) : 0;
    }
    // Started with a picture: the check, and the HTTP library it opens,
    // wait until the picture is on screen and sharp (or will not be); the association
    // check follows it as it would have.
    CEyeApp* a = &app;
    afterFirstPicture(viewer->view(), [a, testConnection, throttle] {
        update::UpdateCheck* check = updateCheck(*a);
        if ((check ? check->check(testConnection, throttle) : 0) == 0 &&
            a->store()->getInt(keys::kGeneralLower, keys::kCheckFileAssociation,
                               keys::kCheckFileAssociationDefault) == 0)
            associationCheck(*a);
    });
    return 1;
}

void ProgramSeams::runFileAssociationCheck(CEyeApp& app) {
    associationCheck(app);
}

} // namespace kamelo
