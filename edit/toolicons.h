#pragma once

#include <QIcon>

namespace kamelo::edit {

// The edit panel's button pictures, drawn rather than loaded: the icon
// theme's picture when it has one, else a simple line drawing.
class ToolIcons {
public:
    // The button ids of EditPanel.
    static QIcon forButton(int id);
};

} // namespace kamelo::edit
