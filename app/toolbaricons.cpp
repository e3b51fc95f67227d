#include "toolbaricons.h"

#include "app/commandids.h"

#include <QAction>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>

namespace kamelo {

QStringList ToolBarIcons::namesFor(int commandId) {
    switch (commandId) {
    case cmd::kViewLarge:
        return {QStringLiteral("zoom-in")};
    case cmd::kPrint:
        return {QStringLiteral("document-print")};
    case cmd::kExif:
        return {QStringLiteral("camera-photo")};
    case cmd::kRotate:
        return {QStringLiteral("object-rotate-right")};
    case cmd::kResize:
        return {QStringLiteral("transform-scale"), QStringLiteral("zoom-fit-best")};
    case cmd::kBackToBrowser:
        return {QStringLiteral("view-list-icons"), QStringLiteral("go-previous")};
    case cmd::kFullScreen:
        return {QStringLiteral("view-fullscreen")};
    case cmd::kEditMode:
        return {QStringLiteral("document-edit")};
    default:
        return {};
    }
}

QStringList ToolBarIcons::wallpaperNames() {
    return {QStringLiteral("preferences-desktop-wallpaper")};
}

QIcon ToolBarIcons::bundled(const QString& name) {
    return QIcon(QStringLiteral(":/icons/%1.png").arg(name));
}

QIcon ToolBarIcons::icon(const QStringList& names) {
    if (names.isEmpty())
        return {};
    for (const QString& name : names)
        if (QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
    return bundled(names.last());
}

void ToolBarIcons::dress(QToolBar* bar) {
    for (QAction* action : bar->actions()) {
        if (auto* widgetAction = qobject_cast<QWidgetAction*>(action)) {
            auto* button = qobject_cast<QToolButton*>(widgetAction->defaultWidget());
            if (button && button->objectName() == QLatin1String("wallpaperButton")) {
                button->setIcon(icon(wallpaperNames()));
                button->setToolTip(button->text());
            }
            continue;
        }
        const QStringList names = namesFor(action->data().toInt());
        if (names.isEmpty())
            continue;
        action->setIcon(icon(names));
        action->setToolTip(action->iconText());
    }
}

} // namespace kamelo
