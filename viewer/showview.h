#pragma once

#include <QColor>
#include <QWidget>

namespace kamelo {

class CEyeDoc;

// The viewer's picture view: loads the document's current picture through the
// imaging module, fits it into the window (never enlarging it) and paints it
// centred on the viewer background colour.
class CShowView : public QWidget {
    Q_OBJECT
public:
    // Load results besides library error codes.
    static constexpr int kLoaded = 1;
    static constexpr int kFailedAndReported = 0;
    static constexpr int kNoPicture = -1;

    explicit CShowView(CEyeDoc& doc, QWidget* parent = nullptr);

    // Loads the picture at index; kNoPicture for an index outside the list.
    int loadPicture(int index);
    // Starts the view 10 ms after the frame's first update, as the frame asks.
    void startSoon();

    double zoomFactor() const { return zoom_; }
    bool hasPicture() const;
    // Whether the shown picture has changes not saved yet (the editing
    // commands set it).
    bool isModified() const { return modified_; }
    void setModified(bool modified) { modified_ = modified; }
    // The display rectangle of the current picture in the view.
    QRect displayRect() const;

signals:
    // After every change of the shown picture.
    void pictureChanged(const QString& path, int position, int count);
    // The first load found no picture at the current index.
    void nothingToShow();
    // A load failed; the text is ready to show.
    void loadFailed(const QString& message);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateZoom();

    CEyeDoc& doc_;
    QColor background_;
    double zoom_ = 1.0;
    bool modified_ = false;
};

} // namespace kamelo
