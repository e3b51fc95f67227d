#pragma once

#include <QString>

class QBoxLayout;
class QPushButton;
class QWidget;

namespace kamelo::edit {

// The pieces every tool panel shows the same way.
class PanelParts {
public:
    // "확인" and "취소" side by side at the bottom of layout, named
    // "okButton" and "cancelButton".
    static void addOkCancel(QBoxLayout* layout, QWidget* owner, QPushButton** ok,
                            QPushButton** cancel);
    // The folder of a path (the browser's current folder for its selection).
    static QString folderOf(const QString& path);
};

// Shows the wait cursor while it lives.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace kamelo::edit
