#pragma once

#include <QTreeWidget>

#include <functional>

namespace kamelo::desktop {

class Associations;

// The fourteen extensions with check boxes. The .tif and .tiff rows are one
// MIME type and are checked together.
class AssociationList : public QTreeWidget {
    Q_OBJECT
public:
    enum class Columns { Dialog, Page };
    AssociationList(Columns columns, Associations& associations, QWidget* parent = nullptr);

    bool isRowChecked(int row) const;
    void setRowChecked(int row, bool checked);
    // Rows checked when the program is their default.
    void showRealState();

signals:
    // A row changed by the user (once per click, not for its companion).
    void rowToggled(int row, bool checked);

private:
    Associations& associations_;
    bool syncing_ = false;
};

} // namespace kamelo::desktop
