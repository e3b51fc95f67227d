#include "leftview.h"

#include "resources/qtstrings.h"

namespace kamelo {

CLeftView::CLeftView(QWidget* parent) : QTreeView(parent) {
    setWindowTitle(res::qtext(res::IDS_TREE_WINDOW_TEXT));
    setObjectName(QStringLiteral("CLeftView"));
    setHeaderHidden(true);
    setMinimumSize(0, 0);
}

} // namespace kamelo
