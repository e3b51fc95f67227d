#pragma once

#include "exif/jpegpropertyinfo.h"
#include "imaging/bitmap.h"

#include <QFileDialog>
#include <QStringList>

namespace kamelo::edit {

class SaveAsJpegPanel;

// The viewer's Save As (57604): a file dialog (drawn by Qt itself, so the
// JPEG panel can sit in it) opened on the picture's folder and name, whose
// OK writes the shown picture by the chosen extension. A JPEG, WebP or AVIF
// gets the panel's quality and the camera information of the picture's own
// file; the panel works only while one of those types is chosen, and its
// estimate is the size in the chosen one.
class CSaveAsDialog : public QFileDialog {
    Q_OBJECT
public:
    // The dialog keeps its own copy of picture: an animation of the viewer
    // goes on drawing into the shown one while the dialog is open.
    // modified: the picture differs from its file (whose size is then not
    // shown).
    CSaveAsDialog(imaging::Bitmap picture, const QString& sourcePath, bool modified,
                  QWidget* parent = nullptr);
    ~CSaveAsDialog() override;

    // The viewer's orientation mark: the picture was turned upright from its
    // EXIF orientation, so a JPEG is written with orientation 1. A
    // successful write clears it; the caller reads it back afterwards.
    void setOrientationMark(bool set) { orientationMark_ = set; }
    bool orientationMark() const { return orientationMark_; }

    SaveAsJpegPanel* jpegPanel() const { return panel_; }
    // The file written (empty until one is), and the result of the last
    // write tried: 1, 0 for an extension that is not written, or an error
    // code. After a failed write the dialog stays open.
    QString savedPath() const { return savedPath_; }
    int saveResult() const { return saveResult_; }

    // The "description|pattern|...||" list of the string table as Qt's
    // filters: the description shown as it is, patterns separated by
    // spaces, "*.*" as "*" (every name, with or without a dot).
    static QStringList qtFilters(const QString& filterText);
    // The dialog's types: the string table's, then WebP and AVIF before
    // "every file".
    static QStringList saveFilters();

protected:
    void done(int result) override;
    void showEvent(QShowEvent* event) override;

private:
    // index: of the chosen type in nameFilters().
    void typeChosen(int index);
    // Widens the details view's columns to what they show.
    void fitColumns();
    // The properties a JPEG written now carries.
    JpegPropertyInfo writtenProperties() const;

    const imaging::Bitmap picture_;
    JpegPropertyInfo sourceProps_;
    SaveAsJpegPanel* panel_;
    QString savedPath_;
    int saveResult_ = 0;
    bool orientationMark_ = false;
    bool estimated_ = false;
    int chosenFormat_ = -1; // the type the panel's quality is for (kJpegWriter)
};

} // namespace kamelo::edit
