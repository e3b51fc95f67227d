#include "commandtable.h"

#include "resources/qtstrings.h"

#include <QAction>
#include <QMenu>
#include <QRegularExpression>
#include <QWidget>

namespace kamelo {

CommandTable::CommandTable(QWidget* owner) : QObject(owner), owner_(owner) {}

QString CommandTable::toolText(const QString& menuText) {
    // "목록보기(&B)\tEnter" -> "목록보기": no key part, no mnemonic.
    QString t = menuText.section(QLatin1Char('\t'), 0, 0);
    static const QRegularExpression mnemonic(QStringLiteral("\\(&.\\)"));
    t.remove(mnemonic);
    t.remove(QStringLiteral("..."));
    t.remove(QLatin1Char('&'));
    return t.trimmed();
}

QAction* CommandTable::add(int id, int textId, const QList<QKeySequence>& keys) {
    // The text keeps its "\t" key part, which the menu shows as written.
    auto* a = new QAction(res::qtext(textId), owner_);
    a->setIconText(toolText(a->text()));
    a->setData(id);
    a->setShortcuts(keys);
    a->setShortcutContext(Qt::WindowShortcut);
    owner_->addAction(a);
    connect(a, &QAction::triggered, this, [this, id] {
        refresh();
        QAction* act = actions_.value(id);
        if (act && act->isEnabled() && handlers_.contains(id))
            handlers_[id]();
    });
    actions_.insert(id, a);
    a->setEnabled(false);
    return a;
}

QAction* CommandTable::addHidden(int id, const QList<QKeySequence>& keys) {
    QAction* a = add(id, 0, keys);
    a->setText(QString());
    return a;
}

void CommandTable::setHandler(int id, std::function<void()> handler) {
    handlers_[id] = std::move(handler);
    refresh();
}

void CommandTable::setRule(int id, std::function<bool()> rule) {
    rules_[id] = std::move(rule);
    refresh();
}

void CommandTable::refresh() {
    for (auto it = actions_.begin(); it != actions_.end(); ++it) {
        const int id = it.key();
        const bool enabled = handlers_.contains(id) && (!rules_.contains(id) || rules_[id]());
        it.value()->setEnabled(enabled);
    }
}

void CommandTable::fill(QMenu* menu, const QList<int>& ids) {
    for (int id : ids) {
        if (id == 0)
            menu->addSeparator();
        else if (QAction* a = actions_.value(id))
            menu->addAction(a);
    }
    // Menus show the state of the moment they open.
    connect(menu, &QMenu::aboutToShow, this, &CommandTable::refresh);
}

} // namespace kamelo
