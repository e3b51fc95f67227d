#pragma once

#include <QTreeView>

namespace kamelo {

// The folder tree pane of the browser frame (row 0 of the left column).
class CLeftView : public QTreeView {
    Q_OBJECT
public:
    explicit CLeftView(QWidget* parent = nullptr);

    // Whether the tree can delete its selected folder now.
    virtual bool canDeleteSelection() const { return false; }
};

} // namespace kamelo
