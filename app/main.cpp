#include "app/endsignals.h"
#include "app/eyeapp.h"
#include "app/headstartdecode.h"
#include "app/programicon.h"
#include "app/programseams.h"
#include "app/startuptrace.h"
#include "base/programmemory.h"
#include "chrome/uilocale.h"
#include "edit/resizerotatetools.h"
#include "update/core/instanceregistry.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    kamelo::ProgramMemory::configure();
    QApplication qapp(argc, argv);
    kamelo::traceFirstExposure(&qapp);
    // Qt has taken its own options out of the arguments by now.
    kamelo::StartupOptions options;
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i)
        options.arguments.push_back(args[i].toStdString());
    // The picture named starts decoding on the other core while the
    // window is made.
    kamelo::HeadStartDecode::offerFor(options.arguments);
    QApplication::setApplicationName(QStringLiteral("Kamelo"));
    QApplication::setOrganizationName(QStringLiteral("Halvern"));
    // The desktop entry's name lets Wayland shells match windows to it.
    QGuiApplication::setDesktopFileName(QStringLiteral("kamelo"));
    QApplication::setWindowIcon(kamelo::programIcon());
    kamelo::endOnTerminationSignals();
    // Before any window: Qt's standard dialogs and buttons in Korean, and
    // one face for Hangul and digits alike.
    kamelo::UiLocale::installQtCatalogue(qapp);
    kamelo::UiLocale::applyUiFont();

    // Listed for the update, which ends every running copy.
    kamelo::update::InstanceRegistration registration;
    // The editing tools the panels and the browser's batch runs offer.
    kamelo::edit::registerResizeRotateTools();
    kamelo::CEyeApp app(std::move(options), std::make_unique<kamelo::ProgramSeams>());
    const int rc = app.initInstance() ? QApplication::exec() : 1;
    // A decode begun for a viewer that never asked for it ends with Qt.
    kamelo::HeadStartDecode::dropUnused();
    return app.exitInstance(rc);
}
