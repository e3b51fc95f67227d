#pragma once

#include <QIcon>
#include <QStringList>

class QToolBar;

namespace kamelo {

// The pictures of the tool bar buttons: the desktop icon theme's by their
// freedesktop names, else the program's own (drawn by scripts/make-skin.py
// into resources/icons). The buttons show the picture; their Korean text
// becomes the tool tip.
class ToolBarIcons {
public:
    // Theme names tried in turn for a command, the last one also naming the
    // bundled picture; empty for a command without a tool bar picture.
    static QStringList namesFor(int commandId);
    static QStringList wallpaperNames();
    // The theme's icon for the first name it has, else the bundled one.
    static QIcon icon(const QStringList& names);
    static QIcon bundled(const QString& name);
    // Gives every button of the bar its picture and tool tip: command
    // actions by their id, and the wallpaper menu button by its name.
    static void dress(QToolBar* bar);
};

} // namespace kamelo
