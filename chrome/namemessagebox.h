#pragma once

#include <QString>

class QFontMetrics;
class QMessageBox;
class QWidget;

namespace kamelo {

// Message boxes whose text holds file names or paths. A word wider than the
// box may be (a 255-byte name has nowhere to break) is shortened in the
// middle, so that the box stays narrower than its window; the whole text is
// then in the box's tooltip and in its details area.
class NameMessageBox {
public:
    // text with every word wider than width pixels elided in the middle.
    static QString elided(const QString& text, const QFontMetrics& metrics, int width);
    // Sets box's text to text fitted to parent's window.
    static void setText(QMessageBox& box, const QString& text, QWidget* parent);
    static void warning(QWidget* parent, const QString& title, const QString& text);
    static void information(QWidget* parent, const QString& title, const QString& text);
};

} // namespace kamelo
