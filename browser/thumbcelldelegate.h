#pragma once

#include <QFont>
#include <QStyledItemDelegate>

namespace kamelo {

// Draws a thumbnail cell: the cell image in a width x height box centred in
// the item, the label in the box's bottom 15 pixels (white, then black one
// pixel up and left, cut with an ellipsis) and a 4-pixel frame in
// RGB(0, 0, 100) around a selected cell.
class ThumbCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    ThumbCellDelegate(QObject* parent = nullptr);

    void setGeometry(int width, int height, int horzSpace, int vertSpace);
    QSize cellSize() const { return {width_, height_}; }
    QSize gridSize() const { return {width_ + horzSpace_, height_ + vertSpace_}; }
    // The cell box of an item rectangle.
    QRect boxIn(const QRect& itemRect) const;
    // The label rectangle of an item rectangle.
    QRect labelIn(const QRect& itemRect) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // The label editor: a centred line over the label.
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

    static QColor selectionColour() { return QColor(0, 0, 100); }

private:
    int width_ = 120;
    int height_ = 100;
    int horzSpace_ = 10;
    int vertSpace_ = 10;
    QFont font_;
};

} // namespace kamelo
