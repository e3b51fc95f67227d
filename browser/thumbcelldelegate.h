#pragma once

#include <QCache>
#include <QFont>
#include <QImage>
#include <QStyledItemDelegate>

namespace kamelo {

// Draws a thumbnail cell: the cell image in a width x height box centred in
// the item, the label in the box's bottom 15 pixels (white, then black one
// pixel up and left, cut with an ellipsis) and a 4-pixel frame in
// RGB(0, 0, 100) around a selected cell. Cells are sRGB: on a screen with a
// colour profile each is converted once and the copy painted from then on.
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

    // The cell as painted on screen n: the cell itself on an sRGB screen.
    QImage screenCell(const QImage& cell, int screen) const;

private:
    int width_ = 120;
    int height_ = 100;
    int horzSpace_ = 10;
    int vertSpace_ = 10;
    QFont font_;
    // Converted cells by the cell's cacheKey, for one screen and one state
    // of the colour settings.
    mutable QCache<qint64, QImage> converted_{32 * 1024}; // cost in KiB
    mutable quint64 convertedGeneration_ = 0;
    mutable int convertedScreen_ = -1;
};

} // namespace kamelo
