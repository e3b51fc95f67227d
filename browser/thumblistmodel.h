#pragma once

#include "thumbfolder.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QSet>

#include <memory>

namespace kamelo {

// The thumbnail list's items as a table: name, size, type and modification
// date, with the cell image of each row for the thumbnail view.
class ThumbListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role { CellImageRole = Qt::UserRole + 1, CutRole };

    explicit ThumbListModel(QObject* parent = nullptr);

    // Takes a newly listed folder (or an empty model when null).
    void reset(std::unique_ptr<ThumbFolder> folder);
    ThumbFolder* folder() const { return folder_.get(); }
    const CThumbData* record(int row) const;
    // A finished thumbnail arrived for a row.
    void applyThumbnail(int row, const ThumbResult& result);
    void sortRecords(int column, bool ascending);
    void removeRow(int row);
    // Items shown dimmed because they are cut to the clipboard.
    void setCutPaths(const QSet<QString>& paths);
    // A file renamed on disk by someone else than the label editor: its
    // record takes the new path and name. False when no row has from.
    bool renameRecord(const QString& from, const QString& to);
    // What the label editor shows: files without their extension.
    QString editText(int row) const;

    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // "%dKB" with size / 1024 + 1, as the details view shows sizes.
    static QString sizeText(uint32_t bytes);
    // Local time as 2004-03-07 09:05:00.
    static QString dateText(int32_t seconds);

signals:
    // A label edit renamed an item on disk.
    void renamed(const QString& from, const QString& to);
    void renameFailed(const QString& message);

private:
    QIcon smallIcon(const CThumbData& d) const;

    std::unique_ptr<ThumbFolder> folder_;
    mutable QHash<QString, QIcon> typeIcons_;
    QSet<QString> cut_;
};

} // namespace kamelo
