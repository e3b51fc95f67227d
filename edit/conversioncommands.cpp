#include "conversioncommands.h"

#include "batchprogressdialog.h"
#include "chrome/fileui.h"
#include "convertformatdialog.h"
#include "edit/core/batchdestination.h"
#include "editwriter.h"
#include "platform/core/fileops.h"
#include "resources/qtstrings.h"
#include "resources/stringtable.h"

#include <QFileInfo>

#include <sys/stat.h>

namespace kamelo::edit {

namespace {

QString fileName(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).fileName();
}
} // namespace

void ConversionCommands::convertFiles(QWidget* parent, SettingsStore& store,
                                      std::vector<std::string> sources, bool upright,
                                      QObject* context, std::function<void(int)> onStopped) {
    ConvertFormatDialog dialog(ConvertSettings::read(store), parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const ConvertSettings chosen = dialog.settings();
    chosen.write(store);
    BatchJob job;
    job.sources = std::move(sources);
    job.convertTo = chosen.format();
    job.qualityFactor = chosen.qualityFactor();
    job.upright = upright;
    BatchProgressDialog progress(res::qtext(res::IDS_CONVERT_TITLE), std::move(job), parent);
    progress.setStopHandler(context, std::move(onStopped));
    progress.exec();
}

QString ConversionCommands::convertPicture(QWidget* parent, SettingsStore& store,
                                           const imaging::Bitmap& picture, const std::string& path,
                                           bool turnedUpright, FileUi& ui) {
    ConvertFormatDialog dialog(ConvertSettings::read(store), parent);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const ConvertSettings chosen = dialog.settings();
    chosen.write(store);
    const std::string destination = BatchDestination::forConversion(path, chosen.format().name);
    struct stat st {};
    if (::lstat(destination.c_str(), &st) == 0 && !FileOps::isSameFile(path, destination)) {
        // Another file of that name is there: it is the user's to replace.
        if (!ui.confirm(parent,
                        QString::fromUtf8(res::format(res::IDS_CLASH_QUESTION,
                                                      fileName(destination).toUtf8().constData()))))
            return {};
    }
    EditWriter::Request request;
    request.picture = &picture;
    request.source = path;
    request.destination = destination;
    request.convertTo = chosen.format();
    request.qualityFactor = chosen.qualityFactor();
    request.turnedUpright = turnedUpright;
    std::string reason;
    if (EditWriter::write(request, reason) < 1) {
        ui.error(parent, QString::fromUtf8(res::format(
                             res::IDS_FAILED_SAVE, fileName(destination).toUtf8().constData())) +
                             QStringLiteral("\n") + QString::fromStdString(reason));
        return {};
    }
    return QString::fromStdString(destination);
}

} // namespace kamelo::edit
