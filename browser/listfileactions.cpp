#include "listfileactions.h"

#include "chrome/fileui.h"
#include "filejob.h"
#include "platform/core/trashcan.h"
#include "platform/fileclipboard.h"
#include "platform/fileerrortext.h"
#include "resources/qtstrings.h"
#include "thumblistctrl.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>

namespace kamelo {

ListFileActions::ListFileActions(CThumbListCtrl& list)
    : QObject(&list), list_(list), ui_(&FileUi::standard()) {}

QStringList ListFileActions::selectedPaths() const {
    QStringList paths;
    for (int i : list_.selectedIndexes())
        if (list_.kindAt(i) != CThumbListCtrl::Kind::Parent)
            paths.append(list_.pathAt(i));
    return paths;
}

bool ListFileActions::deleteSelection(bool permanent) {
    if (list_.isLoading())
        return false;
    const QStringList paths = selectedPaths();
    if (paths.isEmpty())
        return false;
    const QString question = QString::fromUtf8(
        res::format(permanent ? res::IDS_CONFIRM_DELETE_PERMANENTLY : res::IDS_CONFIRM_TRASH,
                    int(paths.size())));
    if (!ui_->confirm(&list_, question))
        return false;

    QString failure;
    FileJob job(&list_, *ui_, res::qtext(res::IDS_PROGRESS_DELETE));
    job.run([&](FileJob& j) {
        for (int i = 0; i < paths.size(); ++i) {
            if (!j.progress(uint64_t(i), uint64_t(paths.size())))
                break;
            const std::string p = paths[i].toStdString();
            int error = 0;
            if (permanent) {
                error = FileOps::removePermanently(p).code;
            } else {
                const TrashCan::Result r = TrashCan::trash(p);
                error = r.ok ? 0 : r.error;
            }
            if (error) {
                failure = FileErrorText::message(res::IDS_FAILED_DELETE, paths[i], error);
                break;
            }
        }
    });
    // Whatever is gone leaves the list, whatever stayed stays.
    bool any = false;
    for (const QString& p : paths)
        if (!QFileInfo::exists(p) && !QFileInfo(p).isSymLink()) {
            list_.removePath(p);
            cut_.remove(p);
            any = true;
        }
    if (!failure.isEmpty())
        ui_->error(&list_, failure);
    return any;
}

void ListFileActions::copySelection() {
    const QStringList paths = selectedPaths();
    if (paths.isEmpty())
        return;
    QGuiApplication::clipboard()->setMimeData(FileClipboard::make(paths, false));
    cut_.clear();
    emit cutChanged();
}

void ListFileActions::cutSelection() {
    const QStringList paths = selectedPaths();
    if (paths.isEmpty())
        return;
    QGuiApplication::clipboard()->setMimeData(FileClipboard::make(paths, true));
    cut_ = QSet<QString>(paths.begin(), paths.end());
    emit cutChanged();
}

bool ListFileActions::canPaste() const {
    return FileClipboard::hasFiles(QGuiApplication::clipboard()->mimeData());
}

bool ListFileActions::paste(const QString& folder) {
    const FileClipboard::Content c = FileClipboard::read(QGuiApplication::clipboard()->mimeData());
    if (c.paths.isEmpty() || folder.isEmpty())
        return false;
    const bool cut =
        c.cut || (!cut_.isEmpty() && QSet<QString>(c.paths.begin(), c.paths.end()) == cut_);
    const bool ok = transfer(c.paths, folder, cut);
    if (ok && cut) {
        // The cut files live elsewhere now: the clipboard no longer names them.
        cut_.clear();
        QGuiApplication::clipboard()->clear();
        emit cutChanged();
    }
    emit folderChanged(folder);
    return ok;
}

bool ListFileActions::drop(const QStringList& files, const QString& folder, DropEffect effect) {
    if (effect == DropEffect::None || files.isEmpty())
        return false;
    const bool ok = transfer(files, folder, effect == DropEffect::Move);
    emit folderChanged(list_.folder());
    if (QDir(folder).absolutePath() != QDir(list_.folder()).absolutePath())
        emit folderChanged(folder);
    return ok;
}

bool ListFileActions::transfer(const QStringList& files, const QString& folder, bool move) {
    std::vector<std::string> sources;
    for (const QString& f : files)
        sources.push_back(f.toStdString());
    FileOps::Outcome outcome;
    FileJob job(&list_, *ui_, res::qtext(move ? res::IDS_PROGRESS_MOVE : res::IDS_PROGRESS_COPY));
    job.run([&](FileJob& j) {
        outcome = FileOps::copyInto(sources, folder.toStdString(), move, j.callbacks());
    });
    if (!outcome.specialFiles.empty())
        ui_->error(&list_, FileErrorText::leftOut(outcome.specialFiles, move));
    if (outcome.error) {
        ui_->error(&list_, FileErrorText::message(
                               move ? res::IDS_FAILED_MOVE : res::IDS_FAILED_COPY,
                               QString::fromStdString(outcome.error.path), outcome.error.code));
        return false;
    }
    return !outcome.cancelled;
}

bool ListFileActions::newFolder(const QString& parent, const QString& name) {
    const QString path = QDir(parent).filePath(name.trimmed());
    if (QFileInfo(path).isDir())
        return false; // there already: nothing made, nothing said
    if (const FileOps::Error e = FileOps::makeFolder(path.toStdString())) {
        ui_->error(&list_, FileErrorText::message(res::IDS_FAILED_NEW_FOLDER, path, e.code));
        return false;
    }
    emit folderChanged(parent);
    return true;
}

} // namespace kamelo
