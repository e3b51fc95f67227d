#include "thumbcelldelegate.h"

#include "imaging/colour/displaycolour.h"
#include "resources/qtstrings.h"
#include "thumblistmodel.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>

namespace kamelo {

namespace {
constexpr int kLabelHeight = 15;

// The index of the screen a widget's window is on (0 without one).
int screenOf(const QWidget* widget) {
    const QScreen* screen = widget ? widget->screen() : nullptr;
    return screen ? std::max(0, int(QGuiApplication::screens().indexOf(screen))) : 0;
}
} // namespace

ThumbCellDelegate::ThumbCellDelegate(QObject* parent) : QStyledItemDelegate(parent) {
    // "굴림" where it is installed, else the desktop's Korean sans fonts.
    font_.setFamilies({res::qtext(res::IDS_FONT_GULIM), QStringLiteral("NanumGothic"),
                       QStringLiteral("Noto Sans CJK KR"), QStringLiteral("sans-serif")});
    font_.setPixelSize(12);
}

void ThumbCellDelegate::setGeometry(int width, int height, int horzSpace, int vertSpace) {
    width_ = width;
    height_ = height;
    horzSpace_ = horzSpace;
    vertSpace_ = vertSpace;
}

QRect ThumbCellDelegate::boxIn(const QRect& itemRect) const {
    return QRect(itemRect.x() + (itemRect.width() - width_) / 2,
                 itemRect.y() + (itemRect.height() - height_) / 2, width_, height_);
}

QRect ThumbCellDelegate::labelIn(const QRect& itemRect) const {
    const QRect box = boxIn(itemRect);
    return QRect(box.left() + 1, box.bottom() + 1 - kLabelHeight, box.width() - 2, kLabelHeight);
}

void ThumbCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const QRect box = boxIn(option.rect);
    const QImage cell = screenCell(index.data(ThumbListModel::CellImageRole).value<QImage>(),
                                   screenOf(option.widget));
    const bool cut = index.data(ThumbListModel::CutRole).toBool();
    if (!cell.isNull()) {
        // Cut items show dimmed until they are pasted.
        painter->setOpacity(cut ? 0.45 : 1.0);
        painter->drawImage(box.topLeft(), cell);
        painter->setOpacity(1.0);
    }

    painter->save();
    painter->setFont(font_);
    const QRect label = labelIn(option.rect);
    const QString text = painter->fontMetrics().elidedText(index.data(Qt::DisplayRole).toString(),
                                                           Qt::ElideRight, label.width());
    painter->setPen(Qt::white);
    painter->drawText(label, Qt::AlignCenter | Qt::TextSingleLine, text);
    painter->setPen(Qt::black);
    painter->drawText(label.translated(-1, -1), Qt::AlignCenter | Qt::TextSingleLine, text);
    if (option.state & QStyle::State_Selected) {
        QPen pen(selectionColour(), 4);
        pen.setJoinStyle(Qt::MiterJoin);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(box).adjusted(2, 2, -2, -2));
    }
    painter->restore();
}

QImage ThumbCellDelegate::screenCell(const QImage& cell, int screen) const {
    using imaging::colour::DisplayColour;
    if (cell.isNull())
        return cell;
    const imaging::colour::TransformPtr t = DisplayColour::srgbToScreen(screen);
    if (!t)
        return cell; // an sRGB screen, the usual one: nothing at all
    const quint64 generation = DisplayColour::generation();
    if (generation != convertedGeneration_ || screen != convertedScreen_) {
        converted_.clear();
        convertedGeneration_ = generation;
        convertedScreen_ = screen;
    }
    if (const QImage* done = converted_.object(cell.cacheKey()))
        return *done;
    auto* copy = new QImage(cell.convertToFormat(QImage::Format_RGB32));
    t->apply(*copy);
    const qint64 key = cell.cacheKey();
    const QImage shown = *copy;
    converted_.insert(key, copy, std::max<qsizetype>(1, copy->sizeInBytes() / 1024));
    return shown;
}

QWidget* ThumbCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                         const QModelIndex&) const {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QStringLiteral("labelEditor"));
    edit->setAlignment(Qt::AlignCenter);
    edit->setFrame(true);
    return edit;
}

void ThumbCellDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                             const QModelIndex&) const {
    const QRect label = labelIn(option.rect);
    const int h = std::max(label.height(), editor->sizeHint().height());
    editor->setGeometry(label.x(), label.bottom() + 1 - h, label.width(), h);
}

QSize ThumbCellDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return gridSize();
}

} // namespace kamelo
