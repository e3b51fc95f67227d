#include "editkeyguard.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace kamelo {

EditKeyGuard::EditKeyGuard(QWidget* frame) : QObject(frame), frame_(frame) {
    qApp->installEventFilter(this);
}

EditKeyGuard::~EditKeyGuard() {
    qApp->removeEventFilter(this);
}

bool EditKeyGuard::takesEnter(const QWidget* w) {
    if (!w)
        return false;
    if (const auto* edit = qobject_cast<const QLineEdit*>(w))
        return !edit->isReadOnly();
    if (const auto* combo = qobject_cast<const QComboBox*>(w))
        return combo->isEditable();
    return qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QTextEdit*>(w) ||
           qobject_cast<const QPlainTextEdit*>(w);
}

bool EditKeyGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ShortcutOverride || !watched->isWidgetType())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false; // Alt+Enter and the like stay commands
    auto* w = static_cast<QWidget*>(watched);
    if (!takesEnter(w) || !frame_->isAncestorOf(w))
        return false;
    // Accepted here, the key goes to the field as a key press.
    event->accept();
    return true;
}

} // namespace kamelo
