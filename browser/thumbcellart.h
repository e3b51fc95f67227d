#pragma once

#include <QIcon>
#include <QImage>

namespace kamelo {

// The pictures the thumbnail list is drawn from: the empty cell of each cell
// design, cells with an icon at their centre, and the list background tiles.
class ThumbCellArt {
public:
    // Design 0: button face with a shadow frame; 1: white with a black frame;
    // 2-6: the bundled pieces P00-P04 (corners and edges 7 x 7, a 4 x 4 tile).
    static QImage cellTemplate(int design, int width, int height);
    // The cell with a 32 x 32 icon at its centre (folders, placeholders).
    static QImage iconCell(const QImage& cellTemplate, const QIcon& icon);
    // The list background tile of a design 1-5; null for 0 and unknown designs.
    static QImage backgroundTile(int design);

    // Icons from the desktop's theme, with the style's own as fallback.
    static QIcon folderIcon();
    static QIcon parentIcon();
    static QIcon fileIcon(const QString& path);
};

} // namespace kamelo
