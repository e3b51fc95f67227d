#include "picturedeletion.h"

#include "chrome/fileui.h"
#include "platform/core/fileops.h"
#include "platform/core/trashcan.h"
#include "platform/fileerrortext.h"
#include "resources/qtstrings.h"

#include <QFileInfo>

#include <cerrno>

namespace kamelo {

bool PictureDeletion::confirmAndRemove(const std::string& path, bool permanent, FileUi& ui,
                                       QWidget* parent) {
    const QString qpath = QString::fromStdString(path);
    const QString question = QString::fromUtf8(
        res::format(permanent ? res::IDS_CONFIRM_DELETE_PERMANENTLY : res::IDS_CONFIRM_TRASH, 1));
    if (!ui.confirm(parent, question))
        return false;
    int error = 0;
    if (permanent) {
        error = FileOps::removePermanently(path).code;
    } else {
        const TrashCan::Result r = TrashCan::trash(path);
        error = r.ok ? 0 : r.error;
    }
    if (error || QFileInfo::exists(qpath)) {
        ui.error(parent,
                 FileErrorText::message(res::IDS_FAILED_DELETE, qpath, error ? error : EIO));
        return false;
    }
    return true;
}

} // namespace kamelo
