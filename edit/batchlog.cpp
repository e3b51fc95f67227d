#include "batchlog.h"

#include <QHelpEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QToolTip>

namespace kamelo::edit {

BatchLog::BatchLog(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    // Lines are fitted to the width: nothing to scroll sideways to.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

int BatchLog::lineWidth() const {
    const int margin = int(document()->documentMargin());
    return std::max(0, viewport()->width() - 2 * margin);
}

QString BatchLog::shownLine(int line) const {
    const QTextBlock block = document()->findBlockByNumber(line);
    if (!block.isValid())
        return {};
    return fontMetrics().elidedText(block.text(), Qt::ElideMiddle, lineWidth());
}

void BatchLog::paintEvent(QPaintEvent* event) {
    QPainter p(viewport());
    p.fillRect(event->rect(), palette().base());
    const QTextCursor cursor = textCursor();
    const int margin = int(document()->documentMargin());
    const QPointF offset = contentOffset();
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF r = blockBoundingGeometry(block).translated(offset);
        if (r.top() > event->rect().bottom())
            break;
        const QRect line(margin, int(r.top()), lineWidth(), int(r.height()));
        // A selection is shown by whole lines.
        const bool selected = cursor.hasSelection() &&
                              cursor.selectionStart() < block.position() + block.length() &&
                              cursor.selectionEnd() > block.position();
        if (selected)
            p.fillRect(line, palette().highlight());
        p.setPen(selected ? palette().highlightedText().color() : palette().text().color());
        p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                   fontMetrics().elidedText(block.text(), Qt::ElideMiddle, line.width()));
    }
}

bool BatchLog::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QTextBlock block = cursorForPosition(help->pos()).block();
        const QString shown = shownLine(block.blockNumber());
        if (block.isValid() && shown != block.text())
            QToolTip::showText(help->globalPos(), block.text(), viewport());
        else
            QToolTip::hideText();
        return true;
    }
    return QPlainTextEdit::viewportEvent(event);
}

} // namespace kamelo::edit
