#pragma once

#include <QTreeView>

#include <functional>

class QMenu;

namespace kamelo {

class FileUi;
class ShellTreeModel;

// The folder tree pane of the browser frame (row 0 of the left column): the
// desktop at the root, the places under it, then folders. Selecting a
// folder asks for it to be listed.
class CLeftView : public QTreeView {
    Q_OBJECT
public:
    // Tree context commands.
    static constexpr int kNewFolder = 1288;
    static constexpr int kDelete = 1287;
    static constexpr int kRename = 1285;
    static constexpr int kRefresh = 1286;

    explicit CLeftView(QWidget* parent = nullptr);

    ShellTreeModel* shellModel() const { return model_; }
    void setFileUi(FileUi* ui) { ui_ = ui; }
    // Asks for a new folder's name; empty when cancelled. Tests answer in code.
    void setNameAsker(std::function<QString()> ask) { askName_ = std::move(ask); }

    QString currentFolder() const;
    QString currentLabelChain() const;
    bool selectPath(const QString& path);
    bool selectLabelChain(const QString& chain);
    void selectRoot();
    void goParent();
    // Reads the children of the selected item (or of the folder's item) again.
    void refreshCurrent();
    void refreshFolder(const QString& path);
    // Selecting without listing (the list is being filled some other way).
    void setLoadSuppressed(bool suppressed) { suppressed_ = suppressed; }

    // Folders three levels below the desktop or deeper: never the desktop,
    // the places or their first level.
    bool canDelete(const QModelIndex& index) const;
    bool canDeleteSelection() const { return canDelete(currentIndex()); }
    bool deleteItem(const QModelIndex& index);
    bool newFolderIn(const QModelIndex& index);
    void renameItem(const QModelIndex& index);
    QMenu* contextMenu() const { return menu_; }

signals:
    void folderSelected(const QString& path);
    // Something changed inside this folder (a new folder, a deletion).
    void folderChanged(const QString& path);
    void folderRenamed(const QString& from, const QString& to);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void buildMenu();
    QModelIndex menuItem_;

    ShellTreeModel* model_;
    FileUi* ui_;
    QMenu* menu_ = nullptr;
    std::function<QString()> askName_;
    bool suppressed_ = false;
};

} // namespace kamelo
