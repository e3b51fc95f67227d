#pragma once

#include <QKeySequence>
#include <QList>
#include <QMap>
#include <QObject>

#include <functional>

class QAction;
class QMenu;
class QWidget;

namespace kamelo {

// The QActions of one frame, keyed by command id. An action is enabled only
// when it has a handler and its enabling rule (if any) holds, so a command
// whose feature is not built yet is shown but never silently does nothing.
class CommandTable : public QObject {
    Q_OBJECT
public:
    explicit CommandTable(QWidget* owner);

    // Creates the action with its menu text (string id) and keys.
    QAction* add(int id, int textId, const QList<QKeySequence>& keys = {});
    // An action without a menu entry (keys only).
    QAction* addHidden(int id, const QList<QKeySequence>& keys);
    QAction* action(int id) const { return actions_.value(id); }
    bool has(int id) const { return actions_.contains(id); }
    QList<int> ids() const { return actions_.keys(); }

    void setHandler(int id, std::function<void()> handler);
    void setRule(int id, std::function<bool()> rule);
    bool hasHandler(int id) const { return handlers_.contains(id); }
    // Re-evaluates every action's enabled state.
    void refresh();
    // The short label of a menu text for tool buttons.
    static QString toolText(const QString& menuText);
    // Adds the actions to a menu; 0 adds a separator.
    void fill(QMenu* menu, const QList<int>& ids);

private:
    QWidget* owner_;
    QMap<int, QAction*> actions_;
    QMap<int, std::function<void()>> handlers_;
    QMap<int, std::function<bool()>> rules_;
};

} // namespace kamelo
