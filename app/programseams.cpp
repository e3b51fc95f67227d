#include "programseams.h"

#include "app/eyeapp.h"
#include "base/settingsstore.h"
#include "desktop/associationdialog.h"
#include "desktop/programpath.h"
#include "resources/qtstrings.h"
#include "update/updatecheck.h"

#include <QMainWindow>

namespace kamelo {

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
        desktop::AssociationDialog::runStartupCheck(*a->store(), a->browserFrame());
    });
    return check;
}

int ProgramSeams::runStartupUpdateCheck(CEyeApp& app, bool testConnection, bool throttle) {
    update::UpdateCheck* check = updateCheck(app);
    return check ? check->check(testConnection, throttle) : 0;
}

void ProgramSeams::runFileAssociationCheck(CEyeApp& app) {
    desktop::AssociationDialog::runStartupCheck(*app.store(), app.browserFrame());
}

} // namespace kamelo
