#include "chrome/namemessagebox.h"

#include "resources/qtstrings.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>

namespace kamelo {

namespace {

// The widest a line of the text may be: well inside the window, so that the
// icon, the margins and the buttons still fit.
int textWidth(QWidget* parent) {
    const QWidget* window = parent ? parent->window() : nullptr;
    int room = window && window->width() > 0 ? window->width()
                                             : QGuiApplication::primaryScreen()->size().width();
    return std::clamp(room - 220, 160, 420);
}

} // namespace

QString NameMessageBox::elided(const QString& text, const QFontMetrics& metrics, int width) {
    QString out;
    qsizetype at = 0;
    while (at < text.size()) {
        qsizetype end = at;
        while (end < text.size() && !text[end].isSpace())
            ++end;
        const QString word = text.mid(at, end - at);
        out += metrics.horizontalAdvance(word) > width
                   ? metrics.elidedText(word, Qt::ElideMiddle, width)
                   : word;
        while (end < text.size() && text[end].isSpace())
            out += text[end++];
        at = end;
    }
    return out;
}

void NameMessageBox::setText(QMessageBox& box, const QString& text, QWidget* parent) {
    const QString shown = elided(text, QFontMetrics(box.font()), textWidth(parent));
    box.setText(shown);
    if (shown == text)
        return;
    box.setInformativeText(res::qtext(res::IDS_MSG_FULL_TEXT_NOTE));
    box.setDetailedText(text);
    box.setToolTip(text);
}

namespace {
void show(QMessageBox::Icon icon, QWidget* parent, const QString& title, const QString& text) {
    QMessageBox box(icon, title, QString(), QMessageBox::Ok, parent);
    NameMessageBox::setText(box, text, parent);
    box.exec();
}
} // namespace

void NameMessageBox::warning(QWidget* parent, const QString& title, const QString& text) {
    show(QMessageBox::Warning, parent, title, text);
}

void NameMessageBox::information(QWidget* parent, const QString& title, const QString& text) {
    show(QMessageBox::Information, parent, title, text);
}

} // namespace kamelo
