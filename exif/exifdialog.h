#pragma once

#include <QDialog>

namespace kamelo {

class ExifList;

// "디지털 카메라 정보 (EXIF)": the 21 camera information rows of one file.
class CExifDlg : public QDialog {
    Q_OBJECT
public:
    CExifDlg(const QString& path, QWidget* parent = nullptr);
    ExifList* list() const { return list_; }
    // Shows the dialog for a file, modally.
    static void open(const QString& path, QWidget* parent);

private:
    ExifList* list_;
};

} // namespace kamelo
