#pragma once

#include "browser/core/droprule.h"

#include <QObject>
#include <QSet>
#include <QStringList>

namespace kamelo {

class CThumbListCtrl;
class FileUi;

// The file operations of the thumbnail list: delete to the trash or for
// good, copy / cut / paste through the desktop clipboard, drops, new
// folders. Long work runs with a progress dialog; failures are reported in
// Korean and lose nothing.
class ListFileActions : public QObject {
    Q_OBJECT
public:
    explicit ListFileActions(CThumbListCtrl& list);

    void setUi(FileUi* ui) { ui_ = ui; }
    FileUi& ui() const { return *ui_; }

    // The selected items but the parent entry.
    QStringList selectedPaths() const;
    bool deleteSelection(bool permanent);
    void copySelection();
    void cutSelection();
    bool canPaste() const;
    // Pastes the clipboard's files into folder.
    bool paste(const QString& folder);
    bool drop(const QStringList& files, const QString& folder, DropEffect effect);
    // False (and nothing reported) when a folder of that name exists.
    bool newFolder(const QString& parent, const QString& name);

    const QSet<QString>& cutPaths() const { return cut_; }

signals:
    // Files in this folder changed: it should be listed again (quickly).
    void folderChanged(const QString& folder);
    void cutChanged();

private:
    bool transfer(const QStringList& files, const QString& folder, bool move);

    CThumbListCtrl& list_;
    FileUi* ui_;
    QSet<QString> cut_;
};

} // namespace kamelo
