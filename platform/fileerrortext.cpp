#include "fileerrortext.h"

#include "resources/qtstrings.h"

#include <QFileInfo>

#include <cerrno>

namespace kamelo {

QString FileErrorText::reason(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return res::qtext(res::IDS_REASON_ACCESS);
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
        return res::qtext(res::IDS_REASON_NO_SPACE);
    case ENAMETOOLONG:
        return res::qtext(res::IDS_REASON_NAME_TOO_LONG);
    case ENOENT:
        return res::qtext(res::IDS_REASON_NOT_FOUND);
    case EEXIST:
        return res::qtext(res::IDS_REASON_EXISTS);
    case EROFS:
        return res::qtext(res::IDS_REASON_READ_ONLY);
    case EXDEV:
        return res::qtext(res::IDS_REASON_NO_TRASH);
    case EINVAL:
        return res::qtext(res::IDS_REASON_BAD_NAME);
    case ENOTEMPTY:
        return res::qtext(res::IDS_REASON_NOT_EMPTY);
    default:
        return QString::fromUtf8(res::format(res::IDS_REASON_OTHER, error));
    }
}

QString FileErrorText::message(int textId, const QString& path, int error) {
    const QString name = QFileInfo(path).fileName().isEmpty() ? path : QFileInfo(path).fileName();
    return QString::fromUtf8(res::format(textId, name.toUtf8().constData())) +
           QStringLiteral("\n") + reason(error);
}

QString FileErrorText::leftOut(const std::vector<std::string>& paths, bool move) {
    constexpr size_t kShown = 10;
    QStringList lines;
    for (size_t i = 0; i < paths.size() && i < kShown; ++i) {
        const QString name = QFileInfo(QString::fromStdString(paths[i])).fileName();
        lines << QString::fromUtf8(
            res::format(move ? res::IDS_SPECIAL_NOT_MOVED : res::IDS_SPECIAL_NOT_COPIED,
                        name.toUtf8().constData()));
    }
    if (paths.size() > kShown)
        lines << QString::fromUtf8(res::format(res::IDS_SPECIAL_MORE, int(paths.size() - kShown)));
    return lines.join(QLatin1Char('\n'));
}

} // namespace kamelo
