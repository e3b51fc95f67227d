#pragma once

#include <QImage>
#include <QTabWidget>

namespace kamelo {

class ExifList;

// The preview of the focused picture, drawn on white: larger pictures
// fitted, smaller ones at their own size, centred. Pictures are decoded in
// the background (JPEGs at the smallest scale that still fills the area)
// and converted from their colour profile to the screen's once scaled.
class PreviewPage : public QWidget {
    Q_OBJECT
public:
    explicit PreviewPage(QWidget* parent = nullptr);
    void load(const QString& path);
    void clear();
    // The picture's rectangle in the page (empty when there is none).
    QRect displayRect() const;
    bool hasPicture() const { return !image_.isNull(); }
    // As shown: upright when the picture is turned by its EXIF orientation.
    QSize pictureSize() const { return pictureSize_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void startLoad();

    QString path_;
    QImage image_;
    QSize pictureSize_;
    int orientation_ = 1; // how the file's rows are turned for showing
    quint64 generation_ = 0;
    // The colour state and screen the shown image was converted for: a
    // change makes it again.
    quint64 colourGeneration_ = 0;
    int screen_ = 0;
};

// The preview / image information pane of the browser frame (row 1 of the
// left column): tabs "미리보기" and "이미지정보" showing the list's focused
// item; the chosen tab is remembered in the settings.
class CInfoView : public QTabWidget {
    Q_OBJECT
public:
    explicit CInfoView(QWidget* parent = nullptr);

    PreviewPage* previewPage() const { return preview_; }
    ExifList* infoPage() const { return info_; }
    // The focused item changed: a picture path, or empty for a folder.
    void showItem(const QString& path);
    const QString& shownPath() const { return path_; }

private:
    void refresh();

    PreviewPage* preview_;
    ExifList* info_;
    QString path_;
};

} // namespace kamelo
