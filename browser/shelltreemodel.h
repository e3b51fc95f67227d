#pragma once

#include "platform/shellnamespace.h"

#include <QAbstractItemModel>
#include <QIcon>

#include <memory>
#include <vector>

namespace kamelo {

// The folder tree's items: the desktop at the root, the places under it,
// then folders, read when a branch is first opened (folders only, hidden
// ones left out, in the file manager's name order).
class ShellTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit ShellTreeModel(QObject* parent = nullptr);
    ~ShellTreeModel() override;

    QModelIndex root() const;
    QString pathOf(const QModelIndex& index) const;
    ShellNamespace::Kind kindOf(const QModelIndex& index) const;
    // 0 for the desktop, 1 for the places, 2 for their folders, ...
    int depthOf(const QModelIndex& index) const;
    // The labels from the root down, each followed by "\".
    QString labelChain(const QModelIndex& index) const;
    // The item reached by walking such a chain (invalid when a label is missing).
    QModelIndex indexForLabelChain(const QString& chain);
    // The item of a folder path, reading branches on the way (invalid when
    // the path is not a folder the tree shows).
    QModelIndex indexForPath(const QString& path);
    // Reads an item's children again.
    void refresh(const QModelIndex& index);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // A folder was renamed on disk from the tree.
    void folderRenamed(const QString& from, const QString& to);
    // A rename failed; the text says why.
    void renameFailed(const QString& message);

private:
    struct Node;
    Node* nodeOf(const QModelIndex& index) const;
    QModelIndex indexOf(Node* node) const;
    void load(Node* node) const;
    QIcon iconOf(const Node* node) const;

    std::unique_ptr<Node> root_;
};

} // namespace kamelo
