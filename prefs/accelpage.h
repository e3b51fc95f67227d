#pragma once

#include <QWidget>

class QLabel;
class QTreeWidget;

namespace kamelo::prefs {

// The keyboard shortcut list of the program's resources in two aligned
// columns, key and what it does, under the list's mode headings. A line is
// split at its first tab or run of two or more spaces.
class CAccelPage : public QWidget {
    Q_OBJECT
public:
    CAccelPage(const QString& text, const QString& title, QWidget* parent = nullptr);
    QTreeWidget* list() const { return list_; }

private:
    QLabel* heading_;
    QTreeWidget* list_;
};

} // namespace kamelo::prefs
