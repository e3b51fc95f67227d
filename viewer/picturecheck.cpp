#include "picturecheck.h"

#include "chrome/namemessagebox.h"
#include "resources/qtstrings.h"
#include "viewer/eyedoc.h"

#include <QFileInfo>
#include <QMessageBox>

namespace kamelo {

bool PictureCheck::isOwn(const CEyeDoc& doc, const std::string& path, QWidget* parent,
                         int notOfFileId) {
    const PictureSource::Match match = doc.pictureMatches(path);
    if (match == PictureSource::Match::Same)
        return true;
    const QByteArray name = QFileInfo(QString::fromStdString(path)).fileName().toUtf8();
    const int id =
        match == PictureSource::Match::Changed ? res::IDS_MSG_PICTURE_FILE_CHANGED : notOfFileId;
    NameMessageBox::warning(parent, res::qtext(res::IDS_APP_TITLE),
                            QString::fromUtf8(res::format(id, name.constData())));
    return false;
}

} // namespace kamelo
